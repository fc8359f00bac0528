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
    ui::MemoryList SerNo;
    int serNoClicks = 0;
    bool clickSawListReady = false;

    void SetUp() override {
        SerNo.onClick([this] {
            ++serNoClicks;
            clickSawListReady |= session.serialListReady;
        });
    }
    void scan() { Scan_USB_devices(bus, session, SerNo); }
    bool find() { return session.deviceDetected = FindTheHid(bus, session, SerNo); }
    std::size_t openBoard() const { return *bus.deviceOf(session.deviceHandle); }
};

TEST_F(Discovery, NoInterfacesGivesAnEmptyDisabledListAndNothingOpen) {
    scan();
    EXPECT_EQ(bus.calls().size(), 2u);  // the walk and one enumeration call, which fails
    EXPECT_EQ(SerNo.listCount(), 0);
    EXPECT_FALSE(SerNo.enabled());
    EXPECT_TRUE(session.serialListReady);
    EXPECT_TRUE(session.enumerationEnded);
    EXPECT_FALSE(find());
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

TEST_F(Discovery, OneBoardIsListedSelectedAndOpened) {
    bus.addDevice(otherHid(0x046D, 0xC52B));
    bus.addDevice(board(u"KX-1", 0x0114));
    scan();
    EXPECT_EQ(SerNo.items(), std::vector<std::string>{"KX-1"});
    EXPECT_EQ(SerNo.listIndex(), 0);
    EXPECT_FALSE(SerNo.enabled());  // one board leaves nothing to choose
    EXPECT_EQ(bus.openHandleCount(), 0u);

    ASSERT_TRUE(find());
    EXPECT_EQ(openBoard(), 1u);
    EXPECT_EQ(bus.openHandleCount(), 1u);
    EXPECT_EQ(session.attributes.VersionNumber, 0x0114);
    EXPECT_EQ(session.capabilities.FeatureReportByteLength, 9);
    EXPECT_EQ(session.capabilities.InputReportByteLength, 3);
}

TEST_F(Discovery, ThreeBoardsKeepEnumerationOrderAndTheLastIsSelected) {
    bus.addDevice(board(u"C"));
    bus.addDevice(board(u"A"));
    bus.addDevice(board(u"B"));
    scan();
    EXPECT_EQ(SerNo.items(), (std::vector<std::string>{"C", "A", "B"}));
    EXPECT_EQ(SerNo.text(), "B");
    EXPECT_TRUE(SerNo.enabled());
    // The scan's own selections raise clicks, all while the list is not ready.
    EXPECT_EQ(serNoClicks, 3);
    EXPECT_FALSE(clickSawListReady);

    ASSERT_TRUE(find());
    EXPECT_EQ(openBoard(), 2u);
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

    scan();
    EXPECT_EQ(SerNo.items(), std::vector<std::string>{"GOOD"});
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
    scan();
    EXPECT_EQ(SerNo.items(), (std::vector<std::string>{"kx-7", "KX-7", "KX-7"}));
    ASSERT_TRUE(find());
    EXPECT_EQ(openBoard(), 1u);  // not the one differing in case, and the first of the two equal

    SerNo.choose(0);
    bus.close(session.deviceHandle);
    ASSERT_TRUE(find());
    EXPECT_EQ(openBoard(), 0u);
}

TEST_F(Discovery, AFailedFindLeavesNothingOpenAndCapabilitiesUnchanged) {
    bus.addDevice(board(u"A"));
    bus.addDevice(board(u"B"));
    scan();
    SerNo.choose(0);
    bus.unplug(0);
    session.capabilities = HidCaps{7, 7};
    EXPECT_FALSE(find());
    EXPECT_EQ(bus.openHandleCount(), 0u);
    EXPECT_TRUE(session.enumerationEnded);
    EXPECT_EQ(session.capabilities.FeatureReportByteLength, 7);
    EXPECT_EQ(session.deviceHandle, kInvalidHandle);
}

TEST_F(Discovery, AnInterfaceFailingMidWalkIsSkipped) {
    bus.addDevice(board(u"A"));
    bus.addDevice(board(u"B"));
    // The attributes of the first board cannot be read: it is no candidate, and is closed.
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::Attributes && call.device == 0; });
    scan();
    EXPECT_EQ(SerNo.items(), std::vector<std::string>{"B"});
    EXPECT_EQ(bus.openHandleCount(), 0u);

    // A capabilities read that fails keeps the former values.
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::Caps; });
    session.capabilities = HidCaps{};
    ASSERT_TRUE(find());
    EXPECT_EQ(session.capabilities.FeatureReportByteLength, 0);
}

}  // namespace
}  // namespace korvex
