#include "protocol/device_panel.h"

#include "app/panel_adapter.h"
#include "support/sim_world.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

using testing::board;
using testing::SimWorld;

class Panel : public ::testing::Test {
protected:
    SimWorld world;

    // Starts the window with one board plugged in.
    void load(SimDeviceInfo info) {
        world.bus.addDevice(info);
        world.app->start();
    }
    const DeviceSession& session() const { return world.app->session(); }
};

TEST_F(Panel, ALoadedRefreshReadsEverySettingAndWritesNothing) {
    load(board(u"KX", 0x0114, {0x05, 0x04, 6, 1}));

    EXPECT_EQ(world.featureTraffic(), "S8 G S9 G S10 G S1 G");
    EXPECT_TRUE(session().settingsLoaded());
    EXPECT_EQ(world.form.lblManuf.caption(), " Korvex");
    EXPECT_EQ(world.form.lblProduct.caption(), " Rotary Encoders Interface");
    EXPECT_EQ(world.form.lblVersion.caption(), " 1.14");
    EXPECT_EQ(world.encoderSelections(), (std::vector<int>{1, 0, 3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(world.form.ModeCh1.text(), "24 ms");
    EXPECT_EQ(world.form.NoJoy.value(), 1);
    EXPECT_TRUE(world.form.Frame1.enabled());
    EXPECT_TRUE(world.form.Frame3.enabled());
    EXPECT_TRUE(world.form.Label1.enabled());
    EXPECT_TRUE(world.form.pairLabel[7].enabled());

    // A second refresh (the same serial chosen again) rebuilds the lists rather than adding to them.
    world.bus.clearCalls();
    world.app->onSerialChosen();
    EXPECT_EQ(world.featureTraffic(), "S8 G S9 G S10 G S1 G");
    for (const auto& list : world.form.Enc)
        EXPECT_EQ(list.items(), (std::vector<std::string>{"OFF", "1:1", "1:2", "1:4"}));
    EXPECT_EQ(world.form.ModeCh1.listCount(), 25);
    EXPECT_EQ(world.form.ModeCh1.itemText(0), "4 ms");
    EXPECT_EQ(world.form.ModeCh1.itemText(24), "100 ms");
}

TEST_F(Panel, ShowsTheReleaseNumberAndRefusesFirmwareBeforeZeroFourteen) {
    struct Case {
        std::uint16_t version;
        const char* caption;
        bool accepted;
    };
    for (const Case& c :
         {Case{0x0114, " 1.14", true}, Case{0x0105, " 1.5", true}, Case{0x010A, " 1.A", true},
          Case{0x0100, " 1.0", true}, Case{0x0014, " 0.14", true}, Case{0x001A, " 0.1A", true},
          Case{0x0013, " 0.13 - upgrade firmware!", false}, Case{0x000F, " 0.F - upgrade firmware!", false}}) {
        SCOPED_TRACE(c.caption);
        SimWorld w;
        w.bus.addDevice(board(u"KX", c.version));
        w.app->start();
        EXPECT_EQ(w.form.lblVersion.caption(), c.caption);
        EXPECT_EQ(w.app->session().settingsLoaded(), c.accepted);
        EXPECT_TRUE(w.form.Frame1.enabled());
        if (!c.accepted) {
            EXPECT_EQ(w.featureTraffic(), "");  // the gate stops before any select or get
            EXPECT_TRUE(w.settingsEmptyAndDisabled());
        }
    }
}

TEST_F(Panel, UnreadableStringsLeaveTheirLabelsEmpty) {
    SimDeviceInfo info = board(u"KX", 0x0114);
    info.manufacturer.reset();
    load(info);
    // The release number was read when the board was opened: no reason to call it old.
    EXPECT_EQ(world.form.lblManuf.caption(), "");
    EXPECT_EQ(world.form.lblVersion.caption(), " 1.14");
    EXPECT_TRUE(session().settingsLoaded());
    EXPECT_EQ(world.featureTraffic(), "S8 G S9 G S10 G S1 G");

    SimWorld other;
    SimDeviceInfo noProduct = board(u"KX", 0x0114);
    noProduct.product.reset();
    noProduct.manufacturer = u"";
    other.bus.addDevice(noProduct);
    other.app->start();
    EXPECT_EQ(other.form.lblManuf.caption(), " ");
    EXPECT_EQ(other.form.lblProduct.caption(), "");
    EXPECT_TRUE(other.app->session().settingsLoaded());
}

TEST_F(Panel, ValuesWithoutAnEntryShowNothingFalse) {
    // Pulse code 0 or above 25 selects no entry; a hide flag other than 0 or 1 shows greyed.
    for (const std::uint8_t pulse : {0, 26, 255}) {
        SimWorld w;
        w.bus.addDevice(board(u"KX", 0x0114, {0xFF, 0xFF, pulse, 7}));
        w.app->start();
        EXPECT_TRUE(w.app->session().settingsLoaded());
        EXPECT_EQ(w.form.ModeCh1.listIndex(), -1) << int(pulse);
        EXPECT_EQ(w.form.NoJoy.value(), 2);
        EXPECT_EQ(w.encoderSelections(), std::vector<int>(8, 3));
        EXPECT_TRUE(w.writes().empty());
    }
}

TEST_F(Panel, ABoardWhoseFeatureLengthCannotCarryTheProtocolIsShownButNotConfigured) {
    for (const std::uint16_t length : {0, 3, 67}) {
        SimWorld w;
        SimDeviceInfo info = board(u"KX", 0x0114);
        info.caps.featureReportLength = length;
        w.bus.addDevice(info);
        w.app->start();
        EXPECT_EQ(w.form.lblVersion.caption(), " 1.14");
        EXPECT_TRUE(w.app->session().boardOpen());
        EXPECT_FALSE(w.app->session().settingsLoaded());
        EXPECT_TRUE(w.settingsEmptyAndDisabled());
        EXPECT_TRUE(w.sent().empty()) << length;
        // It stays open and supervised: not dropped and reopened on every tick.
        w.tick();
        EXPECT_EQ(w.form.Timer.interval(), app::kConnectedInterval);
        EXPECT_EQ(w.bus.openHandleCount(), 1u);
    }
}

TEST_F(Panel, WithNoBoardTheRefreshTouchesNoDevice) {
    world.bus.addDevice(testing::otherHid(0x046D, 0xC52B));
    world.app->start();
    world.bus.clearCalls();
    app::showPanel(readPanel(world.bus, world.session()), world.form.controls());
    EXPECT_TRUE(world.bus.calls().empty());
    EXPECT_TRUE(world.settingsEmptyAndDisabled());
    EXPECT_EQ(world.form.lblManuf.caption(), "");
    EXPECT_FALSE(world.form.Frame1.enabled());
}

// Each of the eight read-back requests in turn keeps failing. Whatever the failure, the window
// must not claim a setting it did not read, and no write may carry one; the board stays open and
// is read back after 1 tick, then 2, 4 ... until a read-back succeeds.
TEST_F(Panel, AFailingReadBackLoadsNothingAndTheBoardIsReadAgainInPlace) {
    constexpr std::uint8_t kCodes[] = {8, 9, 10, 1};
    for (int failing = 0; failing < 8; ++failing) {
        SCOPED_TRACE(failing);
        SimWorld w;
        const BoardSettings onBoard{0xAA, 0xCC, 9, 1};
        w.bus.addDevice(board(u"KX", 0x0114, onBoard));
        // Fails the select (even) or the get-feature (odd) of one command, every time.
        const std::uint8_t code = kCodes[failing / 2];
        std::uint8_t selected = 0;
        w.bus.failWhen([&](const SimCall& call) {
            if (call.op == SimOp::SetFeature) selected = call.bytes.at(1);
            if (selected != code) return false;
            return failing % 2 == 0 ? call.op == SimOp::SetFeature : call.op == SimOp::GetFeature;
        });
        // A response that a failed get-feature would have left behind: must never be taken.
        w.session().featureResponse.fill(0x55);
        w.app->start();

        EXPECT_EQ(w.app->session().connection, Connection::Faulted);
        EXPECT_TRUE(w.settingsEmptyAndDisabled());
        EXPECT_EQ(w.form.lblVersion.caption(), " 1.14");
        w.bus.clearCalls();
        for (int tick = 0; tick < 3; ++tick) w.tick();
        EXPECT_EQ(w.callsOf(SimOp::Open).size(), 0u);  // read again on the same handle
        EXPECT_EQ(w.callsOf(SimOp::Close).size(), 0u);
        EXPECT_EQ(w.form.Timer.interval(), app::kConnectedInterval);
        // Asked again on the first tick and the third: a board that fails is not asked every tick.
        EXPECT_EQ(w.sent().size(), 2u * static_cast<std::size_t>(failing / 2 + 1));
        // The user's attempts reach nothing.
        w.form.Enc[0].choose(0);
        w.form.NoJoy.click();
        EXPECT_TRUE(w.writes().empty());

        w.bus.failWhen(nullptr);
        for (int tick = 0; tick < 3; ++tick) w.tick();  // the next try is 4 ticks after the last
        EXPECT_FALSE(w.app->session().settingsLoaded());
        w.tick();
        EXPECT_TRUE(w.app->session().settingsLoaded());
        EXPECT_EQ(w.encoderSelections(), (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3}));
        EXPECT_EQ(w.form.ModeCh1.text(), "36 ms");
        EXPECT_EQ(w.callsOf(SimOp::Open).size(), 0u);
        EXPECT_EQ(w.bus.firmware(0).settings(), onBoard);
    }
}

}  // namespace
}  // namespace korvex
