#include "protocol/command_reports.h"

#include "support/sim_world.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

using testing::Bytes;
using testing::report;

TEST(CommandReports, LayoutsAreExactForEveryAcceptedLength) {
    for (const int length : {4, 8, 9, 66}) {
        SCOPED_TRACE(length);
        const auto n = static_cast<std::size_t>(length);
        EXPECT_EQ(writeReport(length, 10, 3), report(n, {0x00, 0xEE, 0x0A, 0x03}));
        EXPECT_EQ(selectReport(length, 9), report(n, {0x00, 0x09}));
        Bytes followUp = writeReport(length, 1, 1);
        makeFollowUp(followUp);
        EXPECT_EQ(followUp, report(n, {0x00, 0xB0, 0x01, 0x01}));
    }
}

// A board connected over the simulated bus with a chosen feature length.
class Exchange : public ::testing::TestWithParam<int> {
protected:
    SimulatedBus bus;
    DeviceSession session;

    void open(int featureLength, BoardSettings settings = {0x05, 0x04, 6, 1}) {
        SimDeviceInfo info = testing::board(u"KX", 0x0114, settings);
        info.caps.featureReportLength = static_cast<std::uint16_t>(featureLength);
        bus.addDevice(info);
        session.deviceHandle = bus.open(bus.path(0));
        session.capabilities = info.caps;
        session.connection = Connection::Loaded;
        bus.clearCalls();
    }
};

TEST_F(Exchange, QueryAsksForTheResponseWithReportIdZeroAndTakesByteTwo) {
    open(8);
    session.featureResponse.fill(0x77);  // a previous response left other bytes behind
    bus.failWhen([&](const SimCall& call) {
        // The request leaves with report ID 0 in the buffer it will fill.
        if (call.op == SimOp::GetFeature) {
            EXPECT_EQ(session.featureResponse[0], 0);
        }
        return false;
    });
    EXPECT_EQ(queryCommand(bus, session, kCommandPulse), 6);
    ASSERT_EQ(bus.calls().size(), 2u);
    EXPECT_EQ(bus.calls()[0].bytes, report(8, {0x00, 0x0A}));
    // Nothing of a previous response is left anywhere in the buffer to pass for this one.
    EXPECT_EQ(session.featureResponse[8], 0);
    EXPECT_EQ(session.featureResponse[65], 0);
}

TEST_F(Exchange, AFailedRequestYieldsNoValue) {
    open(9);
    EXPECT_EQ(queryCommand(bus, session, kCommandModesLow), 5);
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::GetFeature; });
    // The previous response's 5 still sits at byte 2; it must not come back as the board's value.
    EXPECT_EQ(queryCommand(bus, session, kCommandModesHigh), std::nullopt);
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::SetFeature; });
    EXPECT_EQ(queryCommand(bus, session, kCommandModesHigh), std::nullopt);
    EXPECT_FALSE(sendCommand(bus, session, kCommandHide, 1));
}

TEST_P(Exchange, LengthsOutsideTheBuffersSendNothing) {
    open(GetParam());
    EXPECT_FALSE(featureLengthSupported(session.capabilities));
    EXPECT_FALSE(sendCommand(bus, session, kCommandPulse, 3));
    EXPECT_EQ(queryCommand(bus, session, kCommandPulse), std::nullopt);
    EXPECT_TRUE(bus.calls().empty());
}
INSTANTIATE_TEST_SUITE_P(TooShortOrTooLong, Exchange, ::testing::Values(0, 1, 3, 67, 65535));

TEST_F(Exchange, LongestAcceptedLengthFillsTheWholeResponseBuffer) {
    open(66);
    EXPECT_TRUE(sendCommand(bus, session, kCommandPulse, 3));
    EXPECT_EQ(bus.calls()[0].bytes, report(66, {0x00, 0xEE, 0x0A, 0x03}));
    EXPECT_EQ(queryCommand(bus, session, kCommandPulse), 3);
}

}  // namespace
}  // namespace korvex
