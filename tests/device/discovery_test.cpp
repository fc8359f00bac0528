#include "device/discovery.h"

#include "support/sim_world.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

using testing::board;
using testing::otherHid;

class Discovery : public ::testing::Test {
protected:
    SimulatedBus bus;
    DeviceSession session;

    // The serial numbers listed for choosing, in enumeration order.
    std::vector<std::string> scan() {
        std::vector<std::string> serials;
        for (const BoardRecord& record : scanBoards(bus, session))
            if (record.usable()) serials.push_back(record.serial);
        return serials;
    }
    bool find(const std::string& serial) { return openBoard(bus, session, serial); }
    std::size_t openIndex() const { return *bus.deviceOf(session.deviceHandle); }
};

TEST_F(Discovery, NoInterfacesListsNothingAndOpensNothing) {
    EXPECT_TRUE(scan().empty());
    EXPECT_EQ(bus.calls().size(), 2u);  // the walk and one enumeration call, which fails
    EXPECT_FALSE(find(""));
    EXPECT_EQ(session.connection, Connection::Closed);
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

TEST_F(Discovery, BoardsAreListedInEnumerationOrderAndOpenedBySerial) {
    bus.addDevice(otherHid(0x046D, 0xC52B));
    bus.addDevice(board(u"C", 0x0114));
    bus.addDevice(board(u"A", 0x0120));
    EXPECT_EQ(scan(), (std::vector<std::string>{"C", "A"}));
    EXPECT_EQ(bus.openHandleCount(), 0u);

    ASSERT_TRUE(find("C"));
    EXPECT_EQ(openIndex(), 1u);
    EXPECT_EQ(session.connection, Connection::Open);
    EXPECT_EQ(bus.openHandleCount(), 1u);
    EXPECT_EQ(session.attributes.releaseNumber, 0x0114);
    EXPECT_EQ(session.capabilities.featureReportLength, 9);
    EXPECT_EQ(session.capabilities.inputReportLength, 3);
}

TEST_F(Discovery, InterfacesThatAreNoBoardsAreNeitherListedNorKeptOpen) {
    bus.addDevice(otherHid(kBoardVendorId, 0x0103));  // our vendor, another product
    bus.addDevice(otherHid(0x1234, kBoardProductId));
    SimDeviceInfo noSerial = board(u"");
    noSerial.serial.reset();
    bus.addDevice(noSerial);
    SimDeviceInfo locked = board(u"LOCKED");
    locked.openable = false;
    bus.addDevice(locked);
    bus.addDevice(board(u"GOOD"));

    const auto records = scanBoards(bus, session);
    ASSERT_EQ(records.size(), 2u);
    // The board that refused the open is reported with its reason, never listed for choosing.
    EXPECT_EQ(records[0].path, bus.path(3));
    EXPECT_TRUE(records[0].accessDenied());
    EXPECT_FALSE(records[0].usable());
    EXPECT_EQ(records[1].serial, "GOOD");
    EXPECT_TRUE(records[1].usable());
    EXPECT_EQ(bus.openHandleCount(), 0u);
    // Every handle opened during the walk was closed again.
    std::size_t opens = 0, closes = 0;
    for (const SimCall& call : bus.calls()) {
        opens += call.op == SimOp::Open && call.ok;
        closes += call.op == SimOp::Close && call.ok;
    }
    EXPECT_EQ(opens, 4u);
    EXPECT_EQ(closes, 4u);
}

TEST_F(Discovery, MatchingIsExactAndDuplicatesOpenTheFirst) {
    bus.addDevice(board(u"kx-7"));
    bus.addDevice(board(u"KX-7"));
    bus.addDevice(board(u"KX-7"));
    EXPECT_EQ(scan(), (std::vector<std::string>{"kx-7", "KX-7", "KX-7"}));
    ASSERT_TRUE(find("KX-7"));
    EXPECT_EQ(openIndex(), 1u);  // not the one differing in case, and the first of the two equal

    bus.close(session.deviceHandle);
    ASSERT_TRUE(find("kx-7"));
    EXPECT_EQ(openIndex(), 0u);
}

TEST_F(Discovery, ABoardIsOpenedAtItsPathOnlyWhileThatNodeStillHoldsIt) {
    bus.addDevice(board(u"KX-7"));
    bus.addDevice(board(u"KX-7"));
    bus.addDevice(otherHid(0x5A17, 0x0103));
    const auto records = scanBoards(bus, session);
    ASSERT_TRUE(openBoardAt(bus, session, records[1].path, "KX-7"));
    EXPECT_EQ(openIndex(), 1u);
    EXPECT_EQ(session.connection, Connection::Open);
    EXPECT_EQ(session.capabilities.featureReportLength, 9);
    bus.close(session.deviceHandle);

    // Another serial, another product, or a node gone since the scan: nothing is left open.
    EXPECT_FALSE(openBoardAt(bus, session, records[1].path, "KX-8"));
    EXPECT_FALSE(openBoardAt(bus, session, bus.path(2), "OTHER"));
    bus.unplug(0);
    EXPECT_FALSE(openBoardAt(bus, session, records[0].path, "KX-7"));
    EXPECT_EQ(session.connection, Connection::Closed);
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

TEST_F(Discovery, AFailedFindLeavesNothingOpenAndCapabilitiesUnchanged) {
    bus.addDevice(board(u"A"));
    bus.addDevice(board(u"B"));
    bus.unplug(0);
    session.capabilities = HidCaps{7, 7};
    EXPECT_FALSE(find("A"));
    EXPECT_EQ(bus.openHandleCount(), 0u);
    EXPECT_EQ(session.capabilities.featureReportLength, 7);
    EXPECT_EQ(session.deviceHandle, kInvalidHandle);
    EXPECT_EQ(session.connection, Connection::Closed);
}

TEST_F(Discovery, AnInterfaceFailingMidWalkIsSkipped) {
    bus.addDevice(board(u"A"));
    bus.addDevice(board(u"B"));
    // The attributes of the first board cannot be read: it is no candidate, and is closed.
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::Attributes && call.device == 0; });
    EXPECT_EQ(scan(), std::vector<std::string>{"B"});
    EXPECT_EQ(bus.openHandleCount(), 0u);

    // A capabilities read that fails keeps the former values.
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::Caps; });
    session.capabilities = HidCaps{};
    ASSERT_TRUE(find("B"));
    EXPECT_EQ(session.capabilities.featureReportLength, 0);
}

}  // namespace
}  // namespace korvex
