// The main window's logic: start-up, the poll timer, re-selection, shutdown, and the settings
// controls' clicks. It reaches the controls only through the toolkit-free control interface, so it
// runs the same in the window, the tests and the benchmark.
//
// The window never waits on a board: every device call runs on a worker, in the order the window
// asked for it, and what it found comes back to the window's thread as a result to show. Each
// board opened gets a worker of its own; a worker whose board stops answering is given up (its
// handle is closed when the waiting call returns) and the next choice starts on a new one.
#pragma once

#include "app/device_worker.h"
#include "app/form_controls.h"
#include "device/device_session.h"
#include "device/discovery.h"
#include "device/hid_platform.h"
#include "protocol/device_panel.h"
#include "protocol/input_decoder.h"
#include "protocol/settings_writes.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvex::app {

// Timer intervals of the supervision, in milliseconds.
inline constexpr int kStartInterval = app::kTimerStartInterval;  // at creation, until the first change
inline constexpr int kConnectedInterval = 500;                   // after every tick whose read proves the board present
inline constexpr int kLostInterval = 250;  // after a loss, and after a re-selection that closed a board

// The longest a worker waits for an input report in one tick. A report that arrives in time, or
// none within the bound on a still valid handle, proves the board present; only a failed read or
// a vanished device counts as lost. 10 ms lets a board polled every 1 to 10 ms (the usual USB
// interrupt intervals) deliver a queued report.
inline constexpr std::chrono::milliseconds kLivenessBound{10};

// A board present whose read-back failed is read again after 1 tick, then 2, 4 ... up to 60 ticks
// (30 s at the connected interval): a board that does not answer costs the system's timeout on
// every try, and trying every tick would keep its worker waiting for ever.
inline constexpr int kMaxRetryTicks = 60;

// How long one input read waits while the input test reads: short, so that the window's own calls
// queued behind the reading wait at most this long.
inline constexpr std::chrono::milliseconds kInputReadBound{10};

// The board whose details the window shows, as the input test follows it.
struct BoardInView {
    std::string serial;
    std::optional<BoardSettings> settings;  // what the board holds, once read back whole
    bool operator==(const BoardInView&) const = default;
};

// How the configurator runs its device calls.
enum class DeviceThreads {
    Inline,  // on the caller's thread, each call to its end: tests that drive it step by step
    Worker,  // on workers; `wake` asks the window's thread to call deliverResults()
};

class Configurator {
public:
    // Wires the controls' clicks and the timer's tick to the handlers below. With Worker threads,
    // `wake` is called from a worker's thread whenever results wait; it must only post a call of
    // deliverResults() to the window's thread.
    Configurator(HidPlatform& platform, app::FormControls& controls, DeviceThreads threads = DeviceThreads::Inline,
                 std::function<void()> wake = {});
    Configurator(const Configurator&) = delete;
    Configurator& operator=(const Configurator&) = delete;
    ~Configurator();

    void start();
    void stop();
    void onTimerTick();
    void onSerialChosen();
    void onEncoderChosen(int pair, int code);  // pair 1 ... 8, the list Enc1 ... Enc8
    void onPulseChosen(int pulseCode);
    void onHideToggled(int state);

    // Shows on the window's thread what the workers found, in the order they found it.
    void deliverResults();
    // Delivers results until no device call is under way or waiting, or `limit` passes; true when
    // it settled. For tests and measurements.
    bool settle(std::chrono::milliseconds limit);
    // A device call is under way or waiting.
    bool deviceBusy() const { return pending_ > 0; }

    // The connection as the window knows it: the open board's handle, details and state.
    const DeviceSession& session() const { return session_; }

    // The input test. While a listener is set, the open board's worker reads every input report
    // between the window's own calls, and hands the buttons down in each, with the time it
    // arrived, to the listener on the window's thread. Reading writes nothing to the board.
    using InputListener = std::function<void(std::uint16_t down, InputClock::time_point arrived)>;
    void watchInput(InputListener listener);
    // Called on the window's thread whenever the board shown, or what it holds, changes.
    void onBoardChanged(std::function<void()> observer) { boardChanged_ = std::move(observer); }
    // The open board; nothing while none is open.
    std::optional<BoardInView> boardInView() const;

private:
    struct Link;  // one board's worker and what it knows of the board
    struct Mailbox;
    using Apply = std::function<void()>;
    // A job's way to hand what it found to the window's thread.
    using Deliver = std::function<void(Apply)>;

    // What a job on a worker of `epoch` delivers goes to the mailbox.
    static Deliver deliveryTo(const std::shared_ptr<Mailbox>& mailbox, unsigned epoch);
    // Runs `job` on the current board's worker; what it delivers is applied on the window's thread
    // unless the worker was given up meanwhile.
    void runOnBoard(std::function<void(Link&, const Deliver&)> job);
    // Gives up the current worker: its board is closed when its last call returns. A new worker
    // takes its place when `replace`.
    void abandonWorker(bool replace);
    std::unique_ptr<DeviceWorker> makeWorker() const;

    // One tick of supervision: prove the open board present, or look for boards again.
    void pollDevice();
    // On a worker. These never touch `self`: they hand it only to the results they deliver.
    // Scans, lists, opens the last board listed and reads it back.
    static void searchBoards(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver);
    // Opens `chosen` (by path when its serial is not unique among `listed`), reads its panel, and
    // after a failed read-back opens the same board once more and reads it again.
    static void loadBoard(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver,
                          const BoardRecord& chosen, const std::vector<BoardRecord>& listed);
    // After a failure: the same board opened again and read back.
    static void reloadAfterFault(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver,
                                 const BoardRecord& chosen, const std::vector<BoardRecord>& listed);

    // On the window's thread.
    void showBoardList(const std::vector<BoardRecord>& boards);
    void showPanel(const PanelView& view, const DeviceSession& session);
    void applyClosed();
    void showRetriedSettings(const std::optional<BoardSettings>& settings, const DeviceSession& session);
    // The board the user has: the list's selected entry, as the last scan found it.
    std::optional<BoardRecord> chosenBoard() const;
    // Sends a choice; once the board took it, `took` updates what the window knows it holds.
    void write(std::function<WriteOutcome(DeviceSession&)> send, std::function<void(BoardSettings&)> took);
    void boardChanged();
    // Starts a pass of input reads on the board's worker unless one is under way. With Worker
    // threads a pass reads until another call waits, and the next pass follows it; Inline, a pass
    // reads what is there, once a tick.
    void readInputs();
    // On the worker; false when the board stopped answering reads.
    static bool readInputPass(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver,
                              bool keepReading);
    // Hands the buttons down in the report just read to the input test.
    static void forwardInput(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver);

    HidPlatform& platform_;
    app::FormControls& controls_;
    DeviceThreads threads_;
    std::shared_ptr<Mailbox> mailbox_;
    std::unique_ptr<DeviceWorker> worker_;
    std::shared_ptr<Link> link_;
    unsigned epoch_ = 0;  // bumped when a worker is given up: its results are no longer shown
    int pending_ = 0;     // jobs posted whose results have not all been applied

    DeviceSession session_;            // the window's copy, as the last result left it
    std::vector<BoardRecord> listed_;  // the serial-number list's entries, in order
    PanelView shown_;                  // what the panel shows now
    bool applying_ = false;            // the window's own changes to the controls: no click acts
    int retryTicks_ = 1;               // ticks between read-backs of a board whose read-back failed
    int ticksToRetry_ = 1;
    InputListener inputListener_;
    bool inputPass_ = false;  // a pass of input reads is posted and has not ended
    std::function<void()> boardChanged_;
    std::optional<BoardInView> lastInView_;
};

}  // namespace korvex::app
