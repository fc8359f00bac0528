// Thousands of random steps on the simulated bus: boards come and go, fall silent, calls fail, the
// user picks things. After every step the invariants that protect the user's boards must hold.
#include "app/configurator.h"

#include "protocol/settings.h"
#include "support/sim_world.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

namespace korvex {
namespace {

using testing::SimWorld;

class Chaos {
public:
    explicit Chaos(unsigned seed) : random_(seed) {
        world_.bus.failWhen([this](const SimCall& call) { return observe(call); });
        for (int i = 0; i < 2; ++i) addBoard();
        world_.app->start();
    }

    void run(int steps) {
        for (int step = 0; step < steps && !::testing::Test::HasFailure(); ++step) {
            act();
            checkHandles();
            if (step % 50 == 49) checkFoundAgain();
        }
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool chance(int percent) { return pick(100) < percent; }

    void addBoard() {
        const auto n = world_.bus.deviceCount();
        const BoardSettings settings{static_cast<std::uint8_t>(pick(256)), static_cast<std::uint8_t>(pick(256)),
                                     static_cast<std::uint8_t>(pick(28)), static_cast<std::uint8_t>(pick(3))};
        world_.bus.addDevice(testing::board(u"KX-" + std::u16string(1, static_cast<char16_t>(u'A' + n)),
                                            static_cast<std::uint16_t>(0x0014 + pick(0x200)), settings));
    }

    void act() {
        auto& bus = world_.bus;
        auto& form = world_.form;
        const auto board = static_cast<std::size_t>(pick(static_cast<int>(bus.deviceCount())));
        switch (pick(10)) {
        case 0: bus.plugged(board) ? bus.unplug(board) : bus.replug(board); break;
        case 1: bus.setSilent(board, !bus.silent(board)); break;
        case 2: failurePercent_ = pick(4) == 0 ? 30 : 0; break;
        case 3:
            if (bus.deviceCount() < 5 && chance(20)) addBoard();
            form.SerNo.choose(pick(std::max(1, form.SerNo.listCount())));
            break;
        case 4:
        case 5: {
            const int pair = pick(kPairCount);
            const int code = pick(4);
            if (form.Enc[static_cast<std::size_t>(pair)].enabled()) userEncoder_[static_cast<std::size_t>(pair)] = code;
            form.Enc[static_cast<std::size_t>(pair)].choose(code);
            break;
        }
        case 6: {
            const int index = pick(25);
            if (form.ModeCh1.enabled()) userPulse_ = index + 1;
            form.ModeCh1.choose(index);
            break;
        }
        case 7:
            if (form.NoJoy.enabled()) userHide_ = form.NoJoy.value() == 1 ? 0 : 1;
            form.NoJoy.click();
            break;
        default: world_.tick(); break;
        }
    }

    // Every call passes here before the board sees it; decides whether it fails.
    bool observe(const SimCall& call) {
        // A feature request on another handle: a board opened anew, whose values are read back.
        const bool feature = call.op == SimOp::SetFeature || call.op == SimOp::GetFeature;
        if (feature && call.handle != lastHandle_) forgetUserChoices(call.handle);
        if (call.op == SimOp::SetFeature && call.bytes.size() >= 4 &&
            (call.bytes[1] == 0xEE || call.bytes[1] == 0xB0)) {
            checkWrite(call);
        }
        return failurePercent_ > 0 && chance(failurePercent_);
    }

    void forgetUserChoices(HidHandle handle) {
        lastHandle_ = handle;
        userEncoder_.fill(-1);
        userPulse_ = -1;
        userHide_ = -1;
    }

    // A write may carry, for each setting, only what the board holds or what the user chose last.
    void checkWrite(const SimCall& call) {
        const DeviceSession& session = world_.app->session();
        ASSERT_TRUE(session.boardOpen() && session.settingsLoaded()) << "write while the settings are not loaded";
        ASSERT_EQ(*world_.bus.deviceOf(call.handle), *world_.bus.deviceOf(session.deviceHandle));
        const BoardSettings held = world_.bus.firmware(call.device).settings();
        const std::uint8_t value = call.bytes[3];
        if (call.bytes[1] == 0xB0) {
            EXPECT_EQ(value, lastHideWrite_);
            return;
        }
        switch (call.bytes[2]) {
        case 8:
        case 9: {
            const int bit = call.bytes[2] == 8 ? 0 : 1;
            const std::uint8_t heldBits = bit == 0 ? held.modesLow : held.modesHigh;
            for (int k = 0; k < kPairCount; ++k) {
                const int sent = (value >> k) & 1;
                const int user = userEncoder_[static_cast<std::size_t>(k)];
                const bool fromUser = user >= 0 && ((user >> bit) & 1) == sent;
                EXPECT_TRUE(sent == ((heldBits >> k) & 1) || fromUser)
                    << "pair " << k + 1 << " command " << int(call.bytes[2]);
            }
            break;
        }
        case 10: EXPECT_TRUE(value == held.pulseCode || value == userPulse_) << int(value); break;
        case 1:
            EXPECT_TRUE(value == held.hideFlag || value == userHide_) << int(value);
            lastHideWrite_ = value;
            break;
        default: ADD_FAILURE() << "unknown command " << int(call.bytes[2]);
        }
    }

    void checkHandles() {
        const DeviceSession& session = world_.app->session();
        ASSERT_LE(world_.bus.openHandleCount(), 1u);
        ASSERT_EQ(world_.bus.openHandleCount(), session.boardOpen() ? 1u : 0u);
        ASSERT_TRUE(!session.settingsLoaded() || session.boardOpen());
    }

    // With the calls behaving, any board present is found, opened and loaded within two ticks.
    void checkFoundAgain() {
        const int saved = failurePercent_;
        failurePercent_ = 0;
        world_.tick();
        world_.tick();
        bool anyPlugged = false;
        for (std::size_t i = 0; i < world_.bus.deviceCount(); ++i) anyPlugged |= world_.bus.plugged(i);
        const DeviceSession& session = world_.app->session();
        EXPECT_EQ(session.boardOpen(), anyPlugged);
        // Every board here has current firmware: one present is loaded, whatever failed before.
        EXPECT_EQ(session.settingsLoaded(), anyPlugged) << world_.form.lblVersion.caption();
        failurePercent_ = saved;
    }

    SimWorld world_;
    std::mt19937 random_;
    int failurePercent_ = 0;
    HidHandle lastHandle_ = kInvalidHandle;
    std::array<int, kPairCount> userEncoder_{-1, -1, -1, -1, -1, -1, -1, -1};
    int userPulse_ = -1;
    int userHide_ = -1;
    std::uint8_t lastHideWrite_ = 0;
};

TEST(Chaos, RandomPlugsFailuresAndChoicesNeverWriteAnUnchosenValue) {
    for (const unsigned seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        Chaos chaos(seed);
        chaos.run(3000);
    }
}

}  // namespace
}  // namespace korvex
