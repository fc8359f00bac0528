#include "app/configurator.h"

#include "app/control_texts.h"
#include "app/panel_adapter.h"
#include "device/discovery.h"
#include "protocol/button_report.h"
#include "protocol/device_panel.h"
#include "protocol/settings_writes.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace korvex::app {

namespace {
// Room for the report ID byte and 64 report bytes, or the board's longer input report.
constexpr std::size_t kMinInputBuffer = 65;
}  // namespace

// What one worker knows of its board. Only that worker's jobs touch it.
struct Configurator::Link {
    DeviceSession session;
    std::vector<std::uint8_t> inputBuffer;  // the last input report read, kept across reads
    // Where the buttons lie in the open board's input reports, read once per handle.
    ButtonReport layout;
    HidHandle layoutOf = kInvalidHandle;
    std::optional<std::uint16_t> forwarded;  // the buttons the input test last got from this handle
    // Set from the window's thread: the input test reads while wanted, and gives way to the
    // window's own calls as soon as one waits.
    std::atomic<bool> inputWanted{false};
    std::atomic<int> callsWaiting{0};
};

// Results on their way from the workers to the window's thread. Shared with the jobs, so that a
// worker that outlives the window (a call still waiting on a board) has somewhere to put them.
struct Configurator::Mailbox {
    std::mutex mutex;
    std::deque<std::pair<unsigned, Apply>> results;  // with the epoch of the worker that found them
    std::function<void()> wake;                      // may be empty: the window then polls
    bool open = true;                                // false once the window's logic is gone
    bool delivering = false;
};

Configurator::Configurator(HidPlatform& platform, app::FormControls& controls, DeviceThreads threads,
                           std::function<void()> wake)
    : platform_(platform), controls_(controls), threads_(threads), mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->wake = threads_ == DeviceThreads::Inline ? [this] { deliverResults(); } : std::move(wake);
    worker_ = makeWorker();
    link_ = std::make_shared<Link>();
    for (std::size_t k = 0; k < controls_.encoderLists.size(); ++k) {
        controls_.encoderLists[k]->onClick(
            [this, k] { onEncoderChosen(static_cast<int>(k) + 1, controls_.encoderLists[k]->listIndex()); });
    }
    controls_.pulseList->onClick([this] { onPulseChosen(controls_.pulseList->listIndex() + 1); });
    controls_.hideBox->onClick([this] { onHideToggled(controls_.hideBox->value()); });
    controls_.serialList->onClick([this] { onSerialChosen(); });
    controls_.pollTimer->onTick([this] { onTimerTick(); });
}

Configurator::~Configurator() {
    // The controls may outlive the logic: leave them no handler that reaches back here.
    for (app::ListControl* list : controls_.encoderLists) list->onClick(nullptr);
    controls_.pulseList->onClick(nullptr);
    controls_.hideBox->onClick(nullptr);
    controls_.serialList->onClick(nullptr);
    controls_.pollTimer->onTick(nullptr);
    controls_.pollTimer->setEnabled(false);
    {
        const std::lock_guard lock(mailbox_->mutex);
        mailbox_->open = false;
        mailbox_->wake = nullptr;
        mailbox_->results.clear();
    }
    // Waits for an idle worker; a busy one finishes on its own and closes what it opened.
    if (session_.boardOpen() || deviceBusy()) abandonWorker(false);
    worker_.reset();
}

std::unique_ptr<DeviceWorker> Configurator::makeWorker() const {
    return threads_ == DeviceThreads::Inline ? DeviceWorker::inlined() : DeviceWorker::threaded();
}

Configurator::Deliver Configurator::deliveryTo(const std::shared_ptr<Mailbox>& mailbox, unsigned epoch) {
    return [mailbox, epoch](Apply apply) {
        std::function<void()> wake;
        {
            const std::lock_guard lock(mailbox->mutex);
            if (!mailbox->open) return;  // the window's logic is gone
            mailbox->results.emplace_back(epoch, std::move(apply));
            wake = mailbox->wake;
        }
        if (wake) wake();
    };
}

void Configurator::runOnBoard(std::function<void(Link&, const Deliver&)> job) {
    ++pending_;
    ++link_->callsWaiting;
    // What runs on the worker never touches the configurator itself, which may be gone by the time
    // a call to a hanging board returns: only the results it delivers do, on the window's thread.
    worker_->post([self = this, job = std::move(job), link = link_, deliver = deliveryTo(mailbox_, epoch_)] {
        --link->callsWaiting;
        job(*link, deliver);
        deliver([self] { --self->pending_; });
    });
}

void Configurator::abandonWorker(bool replace) {
    // A call on the old worker may be waiting on its board for the system's timeout: let it, and
    // close the board's handle when it returns. Nothing it finds is shown any more.
    link_->inputWanted = false;
    worker_->post([&platform = platform_, link = link_] {
        if (link->session.boardOpen()) platform.close(link->session.deviceHandle);
        link->session.connection = Connection::Closed;
    });
    worker_ = replace ? makeWorker() : nullptr;
    link_ = std::make_shared<Link>();
    ++epoch_;
    pending_ = 0;
    inputPass_ = false;
    session_.connection = Connection::Closed;
    session_.deviceHandle = kInvalidHandle;
    boardChanged();
}

void Configurator::deliverResults() {
    if (mailbox_->delivering) return;  // a result applied now raised this: the loop below goes on
    mailbox_->delivering = true;
    for (;;) {
        std::pair<unsigned, Apply> next;
        {
            const std::lock_guard lock(mailbox_->mutex);
            if (mailbox_->results.empty()) break;
            next = std::move(mailbox_->results.front());
            mailbox_->results.pop_front();
        }
        if (next.first == epoch_) next.second();
    }
    mailbox_->delivering = false;
}

bool Configurator::settle(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        deliverResults();
        if (pending_ == 0) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Configurator::start() {
    if (controls_.showWindow) controls_.showWindow();
    runOnBoard([self = this, &platform = platform_](Link& link, const Deliver& deliver) {
        searchBoards(self, platform, link, deliver);
        deliver([self] { self->controls_.pollTimer->setEnabled(true); });
    });
}

void Configurator::stop() {
    controls_.pollTimer->setEnabled(false);
    if (session_.boardOpen() || deviceBusy()) abandonWorker(true);
}

void Configurator::onTimerTick() { pollDevice(); }

void Configurator::pollDevice() {
    // A request still under way (a board that takes long to answer): this tick has nothing to add.
    if (deviceBusy()) return;
    if (!session_.boardOpen()) {
        runOnBoard([self = this, &platform = platform_](Link& link, const Deliver& deliver) {
            searchBoards(self, platform, link, deliver);
        });
        return;
    }
    const bool retry = session_.connection == Connection::Faulted && --ticksToRetry_ <= 0;
    runOnBoard([self = this, &platform = platform_, retry](Link& link, const Deliver& deliver) {
        DeviceSession& session = link.session;
        link.inputBuffer.assign(std::max<std::size_t>(kMinInputBuffer, session.capabilities.inputReportLength), 0);
        const InputRead read = platform.readInput(session.deviceHandle, link.inputBuffer, kLivenessBound);
        // The input test sees every report, the one this read took too.
        if (read == InputRead::Report) forwardInput(self, platform, link, deliver);
        if (read != InputRead::Gone) {
            deliver([self] { self->controls_.pollTimer->setInterval(kConnectedInterval); });
            if (!retry) return;
            // A board present whose read-back failed is read back again on the handle it has:
            // closing and reopening would only churn. Its details are on show already.
            const auto settings = readSettings(platform, session);
            if (settings) session.connection = Connection::Loaded;
            deliver([self, settings, snapshot = session] { self->showRetriedSettings(settings, snapshot); });
            return;
        }
        platform.close(session.deviceHandle);
        session.deviceHandle = kInvalidHandle;
        session.connection = Connection::Closed;
        deliver([self] {
            self->applyClosed();
            self->controls_.pollTimer->setInterval(kLostInterval);
        });
        searchBoards(self, platform, link, deliver);
    });
    readInputs();
}

void Configurator::showRetriedSettings(const std::optional<BoardSettings>& settings, const DeviceSession& session) {
    if (!settings) {
        // Still failing: the panel stays as it is, and the next try waits twice as long.
        retryTicks_ = std::min(retryTicks_ * 2, kMaxRetryTicks);
        ticksToRetry_ = retryTicks_;
        return;
    }
    PanelView view = shown_;
    view.state = PanelState::Loaded;
    view.settings = *settings;
    showPanel(view, session);
}

void Configurator::searchBoards(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver) {
    const std::vector<BoardRecord> found = korvex::scanBoards(platform, link.session);
    std::vector<BoardRecord> listed;
    for (const BoardRecord& board : found)
        if (board.usable()) listed.push_back(board);
    deliver([self, found] { self->showBoardList(found); });
    // The scan selects the last board listed. With none, the find of the empty selection still
    // walks the interfaces, as it always has: it finds nothing.
    if (listed.empty()) {
        openBoard(platform, link.session, std::string());
        deliver([self, snapshot = link.session] { self->showPanel(PanelView{}, snapshot); });
        return;
    }
    loadBoard(self, platform, link, deliver, listed.back(), listed);
}

namespace {

// Opens the board of a list entry: by its serial number, as the board's only identity, unless
// another entry shares it; then by the path the scan found it at, so that each entry reaches its
// own board.
bool openListed(HidPlatform& platform, DeviceSession& session, const BoardRecord& chosen,
                const std::vector<BoardRecord>& listed) {
    const auto sharing = std::count_if(listed.begin(), listed.end(),
                                       [&](const BoardRecord& board) { return board.serial == chosen.serial; });
    if (sharing > 1) return openBoardAt(platform, session, chosen.path, chosen.serial);
    return openBoard(platform, session, chosen.serial);
}

// Reads the open board's panel; the connection says whether its settings are now shown.
PanelView readBoardPanel(HidPlatform& platform, DeviceSession& session) {
    // Writes stay shut while the panel is read: the values shown will be the board's own.
    if (session.boardOpen()) session.connection = Connection::Open;
    PanelView view = readPanel(platform, session);
    session.connection = panelConnection(view.state, session.connection);
    return view;
}

}  // namespace

void Configurator::loadBoard(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver,
                             const BoardRecord& chosen, const std::vector<BoardRecord>& listed) {
    // Once a board is open its frame takes input, so the user can move to another board while
    // this one is read.
    if (openListed(platform, link.session, chosen, listed))
        deliver([self] { self->controls_.detailsFrame->setEnabled(true); });
    const PanelView view = readBoardPanel(platform, link.session);
    deliver([self, view, snapshot = link.session] { self->showPanel(view, snapshot); });
    // A failed read-back: the board the user has is opened again, never the last one a rescan
    // would list, so a fault on one board does not move the next click to another.
    if (link.session.connection == Connection::Faulted) reloadAfterFault(self, platform, link, deliver, chosen, listed);
}

void Configurator::reloadAfterFault(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver,
                                    const BoardRecord& chosen, const std::vector<BoardRecord>& listed) {
    platform.close(link.session.deviceHandle);
    link.session.deviceHandle = kInvalidHandle;
    link.session.connection = Connection::Closed;
    openListed(platform, link.session, chosen, listed);
    const bool gone = !link.session.boardOpen();
    const PanelView view = readBoardPanel(platform, link.session);
    deliver([self, gone, view, snapshot = link.session] {
        // Gone: the loss path. The panel shows no board and the next tick looks for boards again.
        if (gone) self->controls_.pollTimer->setInterval(kLostInterval);
        self->showPanel(view, snapshot);
    });
}

void Configurator::showBoardList(const std::vector<BoardRecord>& boards) {
    applying_ = true;
    app::ListControl& list = *controls_.serialList;
    list.clear();
    list.setEnabled(false);
    listed_.clear();
    int counter = -1;
    bool denied = false;
    for (const BoardRecord& board : boards) {
        denied |= board.accessDenied();
        if (!board.usable()) continue;
        ++counter;
        listed_.push_back(board);
        list.addItem(board.serial, counter);
        list.setListIndex(counter);
    }
    if (counter > 0) list.setEnabled(true);  // a choice needs two boards
    // An empty list says why it is empty; a board present that we may not open is not "none".
    if (counter >= 0) list.setPlaceholder(app::texts::kNoBoard, {});
    else if (denied) list.setPlaceholder(app::texts::kNoAccess, app::texts::kNoAccessTip);
    else list.setPlaceholder(app::texts::kNoBoard, app::texts::kNoBoardTip);
    applying_ = false;
}

void Configurator::showPanel(const PanelView& view, const DeviceSession& session) {
    session_ = session;
    shown_ = view;
    retryTicks_ = 1;
    ticksToRetry_ = 1;
    applying_ = true;
    app::showPanel(view, controls_);
    applying_ = false;
    boardChanged();
    readInputs();
}

void Configurator::applyClosed() {
    session_.connection = Connection::Closed;
    session_.deviceHandle = kInvalidHandle;
    boardChanged();
}

std::optional<BoardInView> Configurator::boardInView() const {
    if (!session_.boardOpen()) return std::nullopt;
    const auto chosen = chosenBoard();
    BoardInView view{.serial = chosen ? chosen->serial : std::string(), .settings = std::nullopt};
    if (session_.settingsLoaded()) view.settings = shown_.settings;
    return view;
}

void Configurator::boardChanged() {
    // Only a change reaches the observer: a tick that finds the same board says nothing.
    auto now = boardInView();
    if (now == lastInView_) return;
    lastInView_ = std::move(now);
    if (boardChanged_) boardChanged_();
}

void Configurator::watchInput(InputListener listener) {
    inputListener_ = std::move(listener);
    link_->inputWanted = static_cast<bool>(inputListener_);
    readInputs();
}

void Configurator::readInputs() {
    if (!inputListener_ || inputPass_ || !session_.boardOpen() || !worker_) return;
    inputPass_ = true;
    link_->inputWanted = true;
    const bool keepReading = threads_ == DeviceThreads::Worker;
    worker_->post(
        [self = this, &platform = platform_, link = link_, deliver = deliveryTo(mailbox_, epoch_), keepReading] {
            const bool answering = readInputPass(self, platform, *link, deliver, keepReading);
            deliver([self, goOn = keepReading && answering] {
                self->inputPass_ = false;
                if (goOn) self->readInputs();
            });
        });
}

bool Configurator::readInputPass(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver,
                                 bool keepReading) {
    DeviceSession& session = link.session;
    link.inputBuffer.assign(std::max<std::size_t>(kMinInputBuffer, session.capabilities.inputReportLength), 0);
    // Inline, a pass takes at most what a system queues for a reader (hidraw keeps 64 reports): a
    // board that reports all the time must not hold the caller for ever.
    constexpr int kQueuedReports = 64;
    int reads = 0;
    while (session.boardOpen() && link.inputWanted && link.callsWaiting == 0) {
        if (!keepReading && reads++ == kQueuedReports) break;
        std::fill(link.inputBuffer.begin(), link.inputBuffer.end(), std::uint8_t{0});
        const InputRead read = platform.readInput(session.deviceHandle, link.inputBuffer,
                                                  keepReading ? kInputReadBound : std::chrono::milliseconds{0});
        if (read == InputRead::Report) {
            forwardInput(self, platform, link, deliver);
            continue;
        }
        // Gone: the next tick's read finds the board lost and says so; reading waits for it.
        if (read == InputRead::Gone) return false;
        if (!keepReading) break;
    }
    return true;
}

void Configurator::forwardInput(Configurator* self, HidPlatform& platform, Link& link, const Deliver& deliver) {
    const auto arrived = InputClock::now();
    if (!link.inputWanted) return;
    if (link.layoutOf != link.session.deviceHandle) {
        std::vector<std::uint8_t> descriptor;
        link.layout = platform.getReportDescriptor(link.session.deviceHandle, descriptor)
                          ? ButtonReport::fromDescriptor(descriptor)
                          : ButtonReport();
        link.layoutOf = link.session.deviceHandle;
        link.forwarded.reset();
    }
    const auto down = link.layout.buttonsDown(link.inputBuffer);
    // Another report, or one cut short; and a board that repeats its buttons says nothing new.
    if (!down || down == link.forwarded) return;
    link.forwarded = down;
    deliver([self, down = *down, arrived] {
        if (self->inputListener_) self->inputListener_(down, arrived);
    });
}

std::optional<BoardRecord> Configurator::chosenBoard() const {
    const int index = controls_.serialList->listIndex();
    if (index < 0 || index >= static_cast<int>(listed_.size())) return std::nullopt;
    return listed_[static_cast<std::size_t>(index)];
}

void Configurator::onSerialChosen() {
    if (applying_) return;
    const auto chosen = chosenBoard();
    if (!chosen) return;
    controls_.pollTimer->setEnabled(false);
    // A worker still waiting on the board it has is given up: the choice goes to a new one.
    if (deviceBusy()) abandonWorker(true);
    const bool wasOpen = session_.boardOpen();
    if (wasOpen) {
        applyClosed();
        controls_.pollTimer->setInterval(kLostInterval);
    }
    runOnBoard(
        [self = this, &platform = platform_, chosen = *chosen, listed = listed_](Link& link, const Deliver& deliver) {
            if (link.session.boardOpen()) {
                platform.close(link.session.deviceHandle);
                link.session.deviceHandle = kInvalidHandle;
                link.session.connection = Connection::Closed;
            }
            loadBoard(self, platform, link, deliver, chosen, listed);
            deliver([self] { self->controls_.pollTimer->setEnabled(true); });
        });
}

void Configurator::write(std::function<WriteOutcome(DeviceSession&)> send, std::function<void(BoardSettings&)> took) {
    // Writes go out only while the panel shows what the board holds, and never for the window's
    // own filling of the controls.
    if (applying_ || session_.connection != Connection::Loaded) return;
    const auto chosen = chosenBoard();
    if (!chosen) return;
    runOnBoard([self = this, &platform = platform_, send = std::move(send), took = std::move(took), chosen = *chosen,
                listed = listed_](Link& link, const Deliver& deliver) {
        const WriteOutcome outcome = send(link.session);
        if (outcome == WriteOutcome::Sent) {
            deliver([self, took] {
                if (!self->session_.settingsLoaded()) return;
                took(self->shown_.settings);
                self->boardChanged();
            });
        }
        // A refused write leaves the board holding what it held, or the board is gone: open the
        // same board again and read it back rather than go on showing a choice it never took.
        if (outcome == WriteOutcome::Failed) reloadAfterFault(self, platform, link, deliver, chosen, listed);
    });
}

void Configurator::onEncoderChosen(int pair, int code) {
    if (pair < 1 || pair > kPairCount) return;
    // Any one list writes the modes of all eight pairs.
    std::array<int, kPairCount> codes{};
    for (std::size_t k = 0; k < codes.size(); ++k) codes[k] = controls_.encoderLists[k]->listIndex();
    codes[static_cast<std::size_t>(pair - 1)] = code;
    write(
        [&platform = platform_, codes](DeviceSession& session) { return writeEncoderModes(platform, session, codes); },
        [codes](BoardSettings& held) {
            const EncoderModeBytes bytes = packEncoderModes(codes);
            held.modesLow = bytes.low;
            held.modesHigh = bytes.high;
        });
}

void Configurator::onPulseChosen(int pulseCode) {
    write([&platform = platform_,
           pulseCode](DeviceSession& session) { return writePulseCode(platform, session, pulseCode); },
          [pulseCode](BoardSettings& held) { held.pulseCode = static_cast<std::uint8_t>(pulseCode); });
}

void Configurator::onHideToggled(int state) {
    write([&platform = platform_, state](DeviceSession& session) { return writeHideFlag(platform, session, state); },
          [state](BoardSettings& held) { held.hideFlag = static_cast<std::uint8_t>(state); });
}

}  // namespace korvex::app
