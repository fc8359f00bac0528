#include "app/configurator.h"

#include "app/control_texts.h"
#include "support/sim_world.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace korvex {
namespace {

using testing::board;
using testing::SimWorld;

class Supervision : public ::testing::Test {
protected:
    SimWorld world;
    const DeviceSession& session() const { return world.app->session(); }
    std::optional<std::size_t> openBoard() const { return world.bus.deviceOf(session().deviceHandle); }
    std::size_t walks() const { return world.callsOf(SimOp::Walk).size(); }
};

TEST_F(Supervision, StartingWithNoBoardRescansEveryTickUntilOneIsPlugged) {
    world.app->start();
    EXPECT_EQ(world.form.shown, 1);
    EXPECT_EQ(world.form.SerNo.listCount(), 0);
    EXPECT_FALSE(world.form.SerNo.enabled());
    EXPECT_TRUE(world.form.Timer.enabled());
    EXPECT_EQ(world.form.Timer.interval(), app::kStartInterval);

    world.bus.clearCalls();
    world.tick();
    world.tick();
    EXPECT_EQ(walks(), 4u);  // scan and find on each tick
    EXPECT_EQ(world.form.Timer.interval(), app::kStartInterval);

    world.bus.addDevice(board(u"KX"));
    world.tick();  // finds it; the interval stays until a read proves it present
    EXPECT_EQ(openBoard(), 0u);
    EXPECT_TRUE(session().settingsLoaded());
    EXPECT_EQ(world.form.Timer.interval(), app::kStartInterval);
    world.bus.clearCalls();
    world.tick();
    EXPECT_EQ(world.form.Timer.interval(), app::kConnectedInterval);
    EXPECT_EQ(walks(), 0u);
    EXPECT_EQ(world.callsOf(SimOp::Read).size(), 1u);
}

// The empty list says which of the two empty cases it is, and never holds an item for it.
TEST_F(Supervision, TheEmptyListTellsNoBoardFromABoardWeMayNotOpen) {
    world.app->start();
    EXPECT_EQ(world.form.SerNo.placeholder(), app::texts::kNoBoard);
    EXPECT_EQ(world.form.SerNo.placeholderTooltip(), app::texts::kNoBoardTip);

    SimDeviceInfo locked = board(u"LOCKED");
    locked.openable = false;  // as a node without the udev rule refuses the open
    world.bus.addDevice(locked);
    world.tick();
    EXPECT_EQ(world.form.SerNo.placeholder(), app::texts::kNoAccess);
    EXPECT_EQ(world.form.SerNo.placeholderTooltip(), app::texts::kNoAccessTip);
    EXPECT_EQ(world.form.SerNo.listCount(), 0);
    EXPECT_FALSE(world.form.SerNo.enabled());
    EXPECT_FALSE(session().boardOpen());

    world.bus.addDevice(board(u"KX"));
    world.tick();
    EXPECT_EQ(world.form.SerNo.items(), std::vector<std::string>{"KX"});
    EXPECT_EQ(world.form.SerNo.placeholderTooltip(), "");  // the list's own tooltip again
    world.bus.unplug(1);
    world.tick();
    EXPECT_EQ(world.form.SerNo.placeholder(), app::texts::kNoAccess);
}

TEST_F(Supervision, UnplugClosesInTheSameTickAndReplugIsFoundAgain) {
    world.bus.addDevice(board(u"KX", 0x0114, {0x0F, 0x00, 3, 0}));
    world.app->start();
    world.tick();
    ASSERT_EQ(world.form.Timer.interval(), app::kConnectedInterval);

    world.bus.unplug(0);
    world.bus.clearCalls();
    world.tick();
    EXPECT_FALSE(session().boardOpen());
    EXPECT_EQ(world.bus.openHandleCount(), 0u);
    EXPECT_EQ(world.callsOf(SimOp::Close).size(), 1u);
    EXPECT_EQ(walks(), 2u);  // the same tick rescans
    EXPECT_EQ(world.form.Timer.interval(), app::kLostInterval);
    EXPECT_TRUE(world.settingsEmptyAndDisabled());
    EXPECT_EQ(world.form.lblManuf.caption(), "");

    world.bus.replug(0);
    world.tick();
    EXPECT_EQ(openBoard(), 0u);
    EXPECT_TRUE(session().settingsLoaded());
    EXPECT_EQ(world.encoderSelections(), (std::vector<int>{1, 1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(world.form.Timer.interval(), app::kLostInterval);
    world.tick();
    EXPECT_EQ(world.form.Timer.interval(), app::kConnectedInterval);
}

TEST_F(Supervision, ASilentBoardStaysConnected) {
    world.bus.addDevice(board(u"KX"));
    world.bus.setSilent(0, true);
    world.app->start();
    world.bus.clearCalls();
    for (int i = 0; i < 5; ++i) world.tick();
    EXPECT_TRUE(session().boardOpen());
    EXPECT_TRUE(session().settingsLoaded());
    EXPECT_EQ(world.form.Timer.interval(), app::kConnectedInterval);
    EXPECT_EQ(world.callsOf(SimOp::Close).size(), 0u);
}

TEST_F(Supervision, PickingAnotherSerialReopensWithoutRescanning) {
    world.bus.addDevice(board(u"A", 0x0114, {0x01, 0x00, 2, 0}));
    world.bus.addDevice(board(u"B", 0x0114, {0x00, 0x01, 5, 1}));
    world.app->start();
    ASSERT_EQ(openBoard(), 1u);
    ASSERT_TRUE(world.form.SerNo.enabled());

    bool timerOffDuringReselect = true;
    world.bus.failWhen([&](const SimCall&) {
        timerOffDuringReselect &= !world.form.Timer.enabled();
        return false;
    });
    world.bus.clearCalls();
    world.form.SerNo.choose(0);
    world.bus.failWhen(nullptr);

    EXPECT_TRUE(timerOffDuringReselect);
    EXPECT_TRUE(world.form.Timer.enabled());
    EXPECT_EQ(walks(), 1u);  // the find only
    EXPECT_EQ(world.form.SerNo.items(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(openBoard(), 0u);
    EXPECT_EQ(world.bus.openHandleCount(), 1u);
    EXPECT_EQ(world.form.Timer.interval(), app::kLostInterval);
    EXPECT_EQ(world.encoderSelections()[0], 1);
    EXPECT_EQ(world.form.ModeCh1.text(), "8 ms");
    EXPECT_TRUE(world.writes().empty());
}

TEST_F(Supervision, PickingAnUnpluggedSerialFallsBackToTheLastListed) {
    world.bus.addDevice(board(u"A"));
    world.bus.addDevice(board(u"B"));
    world.bus.addDevice(board(u"C"));
    SimDeviceInfo locked = board(u"D");
    locked.openable = false;  // found, but never offered for choosing
    world.bus.addDevice(locked);
    world.app->start();
    ASSERT_EQ(world.form.SerNo.items(), (std::vector<std::string>{"A", "B", "C"}));
    world.bus.unplug(0);
    world.form.SerNo.choose(0);
    EXPECT_FALSE(session().boardOpen());
    EXPECT_EQ(world.bus.openHandleCount(), 0u);

    world.tick();
    EXPECT_EQ(world.form.SerNo.items(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(openBoard(), 2u);
}

// One fault on the board the user picked, at any read-back request or any write, reopens that
// board by its serial number and reads it back: never a rescan that would open the last listed.
TEST_F(Supervision, AFaultKeepsTheChosenBoard) {
    struct Fault {
        const char* name;
        int request;                         // the feature request, counted from the user's action, that fails
        std::function<void(SimWorld&)> act;  // the user's action after picking A
    };
    std::vector<Fault> faults;
    for (int request = 0; request < 8; ++request) faults.push_back({"read-back", request, nullptr});
    faults.push_back({"W8", 0, [](SimWorld& w) { w.form.Enc[4].choose(2); }});
    faults.push_back({"W9", 1, [](SimWorld& w) { w.form.Enc[4].choose(2); }});
    faults.push_back({"W10", 0, [](SimWorld& w) { w.form.ModeCh1.choose(3); }});
    faults.push_back({"W1", 0, [](SimWorld& w) { w.form.NoJoy.click(); }});
    faults.push_back({"F", 1, [](SimWorld& w) { w.form.NoJoy.click(); }});
    for (const Fault& fault : faults) {
        SCOPED_TRACE(std::string(fault.name) + " " + std::to_string(fault.request));
        SimWorld w;
        for (const char16_t* serial : {u"A", u"B", u"C"}) w.bus.addDevice(board(serial, 0x0114, {0x03, 0x00, 2, 0}));
        w.app->start();
        int request = 0;
        auto failOnce = [&](const SimCall& call) {
            const bool feature = call.op == SimOp::SetFeature || call.op == SimOp::GetFeature;
            return feature && request++ == fault.request;
        };
        w.bus.clearCalls();
        if (!fault.act) w.bus.failWhen(failOnce);  // the fault hits the read-back of the pick itself
        w.form.SerNo.choose(0);
        if (fault.act) {
            ASSERT_TRUE(w.app->session().settingsLoaded());
            w.bus.failWhen(failOnce);
            fault.act(w);
        }
        w.bus.failWhen(nullptr);
        EXPECT_EQ(w.bus.deviceOf(w.app->session().deviceHandle), 0u);
        EXPECT_TRUE(w.app->session().settingsLoaded());
        EXPECT_EQ(w.form.SerNo.text(), "A");
        EXPECT_EQ(w.callsOf(SimOp::Walk).size(), 2u);  // the pick's find and the reopen's: no scan
        w.tick();
        w.tick();
        EXPECT_EQ(w.bus.deviceOf(w.app->session().deviceHandle), 0u);
        EXPECT_EQ(w.bus.openHandleCount(), 1u);
    }
}

// A board unplugged a moment before a write: the write fails, the reopen finds nothing, and the
// window shows no board rather than one with old firmware.
TEST_F(Supervision, ABoardGoneMidWriteIsShownLost) {
    world.bus.addDevice(board(u"KX"));
    world.app->start();
    world.tick();
    world.bus.unplug(0);
    world.form.Enc[0].choose(1);
    EXPECT_FALSE(session().boardOpen());
    EXPECT_EQ(world.bus.openHandleCount(), 0u);
    EXPECT_EQ(world.form.lblVersion.caption(), "");
    EXPECT_EQ(world.form.lblManuf.caption(), "");
    EXPECT_TRUE(world.settingsEmptyAndDisabled());
    EXPECT_EQ(world.form.Timer.interval(), app::kLostInterval);
    world.bus.replug(0);
    world.tick();
    EXPECT_TRUE(session().settingsLoaded());
}

TEST_F(Supervision, TheScansOwnSelectionsNeverCloseOrReopen) {
    world.bus.addDevice(board(u"A"));
    world.bus.addDevice(board(u"B"));
    world.app->start();
    world.bus.unplug(1);
    world.bus.clearCalls();
    world.tick();            // loss and rescan: the scan lists and selects A, raising SerNo's click
    EXPECT_EQ(walks(), 2u);  // the scan and the find of the tick, no re-selection's own find
    EXPECT_EQ(world.callsOf(SimOp::Open).size(), 2u);
    EXPECT_EQ(openBoard(), 0u);
    EXPECT_EQ(world.bus.openHandleCount(), 1u);
}

TEST_F(Supervision, UnloadClosesExactlyWhatIsOpenOnce) {
    world.app->start();
    world.app->stop();
    EXPECT_EQ(world.callsOf(SimOp::Close).size(), 0u);
    EXPECT_FALSE(world.form.Timer.enabled());
    EXPECT_FALSE(world.form.Timer.fire());  // no further tick runs

    SimWorld other;
    other.bus.addDevice(board(u"KX"));
    other.app->start();
    other.bus.clearCalls();
    other.app->stop();
    other.app.reset();
    EXPECT_EQ(other.callsOf(SimOp::Close).size(), 1u);
    EXPECT_EQ(other.bus.openHandleCount(), 0u);
    EXPECT_FALSE(other.form.Timer.enabled());
}

}  // namespace
}  // namespace korvex
