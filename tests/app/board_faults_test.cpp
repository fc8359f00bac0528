// Boards with a firmware fault, as users meet them: an answer too short to hold a value, a board
// that never answers, two boards that share a serial number. None of them may freeze the window
// or bring about a write the user did not choose.
#include "app/configurator.h"

#include "device/board_commands.h"
#include "support/sim_world.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace korvex {
namespace {

using namespace std::chrono_literals;
using testing::board;
using testing::SimWorld;
using Clock = std::chrono::steady_clock;

const BoardSettings kHeld{0x0F, 0x04, 9, 1};  // pair 5-6 (bit 2 of the high byte) at "1:4"

// A short answer at any of the four read-backs: nothing is shown, and a click on what the window
// does show writes nothing, so pair 5-6 keeps its "1:4".
TEST(BoardFaults, AShortAnswerIsNeverShownNorWrittenBack) {
    for (const std::uint8_t code : {kCommandModesLow, kCommandModesHigh, kCommandPulse, kCommandHide}) {
        SCOPED_TRACE(static_cast<int>(code));
        SimWorld w;
        w.bus.addDevice(board(u"KX", 0x0114, kHeld));
        std::uint8_t selected = 0;
        bool answerShort = true;
        // The board answers short only to the select of `code`, as a firmware fault would.
        w.bus.failWhen([&](const SimCall& call) {
            if (call.op == SimOp::SetFeature && call.bytes.size() > 1) {
                selected = call.bytes[1];
                w.bus.firmware(0).setFault(selected == code && answerShort ? FeatureFault::Short : FeatureFault::None);
            }
            return false;
        });
        w.app->start();
        EXPECT_EQ(w.app->session().connection, Connection::Faulted);
        EXPECT_TRUE(w.settingsEmptyAndDisabled());
        w.form.Enc[0].choose(2);
        w.form.NoJoy.click();
        EXPECT_TRUE(w.writes().empty());

        // A whole answer on the next try loads the board as it is, and the user's "1:2" for pair
        // 1-2 leaves pair 5-6 at "1:4".
        answerShort = false;
        for (int tick = 0; tick < 4 && !w.app->session().settingsLoaded(); ++tick) w.tick();
        ASSERT_TRUE(w.app->session().settingsLoaded());
        w.form.Enc[0].choose(2);
        EXPECT_EQ(w.bus.firmware(0).settings().modesHigh, 0x05);
        EXPECT_EQ(w.bus.firmware(0).settings().modesLow, 0x0E);
    }
}

// Two boards with one serial number: each list entry reaches its own board.
TEST(BoardFaults, EachEntryOfASharedSerialOpensItsOwnBoard) {
    SimWorld w;
    w.bus.addDevice(board(u"KX", 0x0114, {0x01, 0x00, 2, 0}));
    w.bus.addDevice(board(u"KX", 0x0114, {0x02, 0x00, 7, 1}));
    w.app->start();
    ASSERT_EQ(w.form.SerNo.items(), (std::vector<std::string>{"KX", "KX"}));
    EXPECT_EQ(w.bus.deviceOf(w.app->session().deviceHandle), 1u);  // the last listed, selected at start
    EXPECT_EQ(w.form.ModeCh1.text(), "28 ms");

    w.form.SerNo.choose(0);
    EXPECT_EQ(w.bus.deviceOf(w.app->session().deviceHandle), 0u);
    EXPECT_EQ(w.form.ModeCh1.text(), "8 ms");
    w.form.ModeCh1.choose(4);
    EXPECT_EQ(w.bus.firmware(0).settings().pulseCode, 5);
    EXPECT_EQ(w.bus.firmware(1).settings().pulseCode, 7);
    // A fault on the first board's write reopens that board, not its twin.
    w.bus.failWhen([](const SimCall& call) { return call.op == SimOp::SetFeature && call.bytes[1] == kWriteMarker; });
    w.form.ModeCh1.choose(5);
    w.bus.failWhen(nullptr);
    EXPECT_EQ(w.bus.deviceOf(w.app->session().deviceHandle), 0u);
    EXPECT_TRUE(w.app->session().settingsLoaded());
}

// The window's logic on real worker threads, beside a board that never answers a read.
class HangingBoard : public ::testing::Test {
protected:
    HangingBoard() {
        bus.addDevice(board(u"GOOD", 0x0114, kHeld));
        bus.addDevice(board(u"HANGS"));
        bus.setFault(1, FeatureFault::Hang);
        bus.setHangTimeout(20s);  // longer than any test: only the end of the fault releases it
    }
    ~HangingBoard() override {
        // The sim bus must outlive the workers still waiting on it.
        bus.setFault(1, FeatureFault::None);
        for (int i = 0; i < 2000 && app::DeviceWorker::stillRunning() > 0; ++i) std::this_thread::sleep_for(1ms);
    }
    // Delivers results until `done`, for at most `limit`; how long it took.
    template <typename Done>
    std::chrono::milliseconds until(app::Configurator& app, Done done, std::chrono::milliseconds limit = 2s) {
        const auto start = Clock::now();
        while (!done() && Clock::now() - start < limit) {
            app.deliverResults();
            std::this_thread::sleep_for(1ms);
        }
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    }

    SimulatedBus bus;
    testing::MemoryForm form;
};

TEST_F(HangingBoard, ChoosingAnotherBoardReadsItAtOnceAndClosingDoesNotWait) {
    auto app = std::make_unique<app::Configurator>(bus, form.controls(), app::DeviceThreads::Worker);
    app->start();
    // The last board listed, selected at start, hangs on its first read: the list is there.
    until(*app, [&] { return bus.hungRequests() > 0 && form.SerNo.listCount() == 2; });
    ASSERT_EQ(form.SerNo.items(), (std::vector<std::string>{"GOOD", "HANGS"}));
    EXPECT_TRUE(app->deviceBusy());
    EXPECT_FALSE(form.Timer.fire());  // nothing to tick while the start-up read waits

    form.SerNo.choose(0);
    const auto reached = until(*app, [&] { return app->session().settingsLoaded(); });
    EXPECT_LT(reached, 1s);
    ASSERT_TRUE(app->session().settingsLoaded());
    EXPECT_EQ(bus.deviceOf(app->session().deviceHandle), 0u);
    EXPECT_EQ(form.Enc[2].text(), "1:4");
    EXPECT_EQ(bus.hungRequests(), 1u);  // the hanging read is left to end on its own

    // The good board is set as usual while the other still hangs.
    form.Enc[0].choose(2);
    until(*app, [&] { return !app->deviceBusy(); });
    EXPECT_EQ(bus.firmware(0).settings().modesLow, 0x0E);

    const auto closing = Clock::now();
    app->stop();
    app.reset();
    EXPECT_LT(Clock::now() - closing, 1s);

    // The hanging board's handle is closed once its read returns; nothing was ever written to it.
    bus.setFault(1, FeatureFault::None);
    for (int i = 0; i < 2000 && bus.openHandleCount() > 0; ++i) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(bus.openHandleCount(), 0u);
    for (const SimCall& call : bus.calls())
        EXPECT_FALSE(call.device == 1 && call.op == SimOp::SetFeature && call.bytes[1] == kWriteMarker);
}

// A board whose read-back timed out is not asked again on every tick, but at once when the user
// picks it again.
TEST_F(HangingBoard, AFailedReadBackBacksOffUntilTheUserPicksTheBoardAgain) {
    bus.setHangTimeout(5ms);  // as a system's timeout, shortened
    app::Configurator app(bus, form.controls(), app::DeviceThreads::Worker);
    app.start();
    ASSERT_TRUE(app.settle(2s));
    ASSERT_EQ(app.session().connection, Connection::Faulted);
    const auto reads = [&] {
        std::size_t n = 0;
        for (const SimCall& call : bus.calls()) n += call.device == 1 && call.op == SimOp::GetFeature;
        return n;
    };
    const std::size_t before = reads();
    for (int tick = 0; tick < 15; ++tick) {
        form.Timer.fire();
        ASSERT_TRUE(app.settle(2s));
    }
    EXPECT_EQ(reads() - before, 4u);  // after 1, 2, 4 and 8 ticks
    form.SerNo.choose(1);
    ASSERT_TRUE(app.settle(2s));
    EXPECT_GT(reads() - before, 4u);
}

}  // namespace
}  // namespace korvex
