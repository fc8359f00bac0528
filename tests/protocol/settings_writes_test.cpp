#include "protocol/settings_writes.h"

#include "support/sim_world.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

using testing::board;
using testing::report;
using testing::SimWorld;

// A loaded window on one board with all pairs "OFF", "4 ms", shown.
class Writes : public ::testing::Test {
protected:
    SimWorld world;
    void SetUp() override {
        world.bus.addDevice(board(u"KX", 0x0114, {0, 0, 1, 0}));
        world.app->start();
        ASSERT_TRUE(world.app->session().settingsLoaded());
        world.bus.clearCalls();
    }
    std::size_t L() const { return world.app->session().capabilities.featureReportLength; }
};

TEST_F(Writes, AnyEncoderListWritesTheModesOfAllEightPairs) {
    world.form.Enc[4].choose(2);  // "1:2" for pair 9-10
    EXPECT_EQ(world.sent(), (std::vector<testing::Bytes>{report(L(), {0x00, 0xEE, 0x08, 0x00}),
                                                         report(L(), {0x00, 0xEE, 0x09, 0x10})}));
    world.bus.clearCalls();
    world.form.Enc[2].choose(3);  // "1:4" for pair 5-6: both bits, and pair 9-10 goes again
    EXPECT_EQ(world.sent(), (std::vector<testing::Bytes>{report(L(), {0x00, 0xEE, 0x08, 0x04}),
                                                         report(L(), {0x00, 0xEE, 0x09, 0x14})}));
    EXPECT_EQ(world.bus.firmware(0).settings().modesHigh, 0x14);
}

TEST_F(Writes, PulseSendsTheCodeAndHideSendsTheFollowUp) {
    world.form.ModeCh1.choose(24);
    world.form.ModeCh1.choose(0);
    world.form.NoJoy.click();
    world.form.NoJoy.click();
    EXPECT_EQ(world.sent(), (std::vector<testing::Bytes>{
                                report(L(), {0x00, 0xEE, 0x0A, 0x19}), report(L(), {0x00, 0xEE, 0x0A, 0x01}),
                                report(L(), {0x00, 0xEE, 0x01, 0x01}), report(L(), {0x00, 0xB0, 0x01, 0x01}),
                                report(L(), {0x00, 0xEE, 0x01, 0x00}), report(L(), {0x00, 0xB0, 0x01, 0x00})}));
}

TEST_F(Writes, TheSecondReportGoesEvenWhenTheFirstIsRefused) {
    bool refuseNext = true;
    world.bus.failWhen(
        [&](const SimCall& call) { return call.op == SimOp::SetFeature && std::exchange(refuseNext, false); });
    world.form.NoJoy.click();
    const auto traffic = world.featureTraffic();
    // Command 1 refused, its follow-up sent all the same; then the board is read back so the box
    // shows what the board holds, not the refused choice.
    EXPECT_EQ(traffic, "W1 F S8 G S9 G S10 G S1 G");
    EXPECT_EQ(world.form.NoJoy.value(), 0);
    EXPECT_TRUE(world.app->session().settingsLoaded());

    refuseNext = true;
    world.bus.clearCalls();
    world.form.Enc[0].choose(1);
    EXPECT_EQ(world.featureTraffic(), "W8 W9 S8 G S9 G S10 G S1 G");
    EXPECT_EQ(world.encoderSelections()[0], 0);
}

TEST_F(Writes, AWriteToAVanishedBoardShutsTheGatesUntilItIsFoundAgain) {
    world.bus.unplug(0);
    world.form.ModeCh1.choose(5);
    EXPECT_FALSE(world.app->session().settingsLoaded());
    EXPECT_TRUE(world.settingsEmptyAndDisabled());
    world.bus.clearCalls();
    world.form.NoJoy.click();  // disabled now: nothing goes
    EXPECT_TRUE(world.sent().empty());
}

TEST_F(Writes, NothingIsSentWhileAGateIsShut) {
    // During a refresh: covered by every loaded refresh sending no write. With no board, or an
    // old firmware:
    DeviceSession& session = world.session();
    const std::array<int, kPairCount> modes{1, 1, 1, 1, 1, 1, 1, 1};
    session.connection = Connection::Open;
    EXPECT_EQ(writeEncoderModes(world.bus, session, modes), WriteOutcome::NotSent);
    EXPECT_EQ(writePulseCode(world.bus, session, 2), WriteOutcome::NotSent);
    EXPECT_EQ(writeHideFlag(world.bus, session, 1), WriteOutcome::NotSent);
    // Loaded, but a value out of range goes nowhere either.
    session.connection = Connection::Loaded;
    EXPECT_EQ(writeEncoderModes(world.bus, session, {0, 0, 0, 0, 0, 0, 0, 4}), WriteOutcome::NotSent);
    EXPECT_EQ(writePulseCode(world.bus, session, 26), WriteOutcome::NotSent);
    EXPECT_EQ(writeHideFlag(world.bus, session, 3), WriteOutcome::NotSent);
    EXPECT_TRUE(world.sent().empty());

    SimWorld old;
    old.bus.addDevice(board(u"OLD", 0x0013));
    old.app->start();
    old.form.Enc[0].setEnabled(true);  // even a control that could be reached sends nothing
    old.form.Enc[0].addItem("OFF", 0);
    old.form.Enc[0].choose(0);
    EXPECT_TRUE(old.sent().empty());

    SimWorld none;
    none.app->start();
    none.form.NoJoy.setEnabled(true);
    none.form.NoJoy.click();
    EXPECT_TRUE(none.sent().empty());
}

}  // namespace
}  // namespace korvex
