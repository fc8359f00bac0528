#include "app/configurator.h"

#include "app/control_texts.h"
#include "app/panel_adapter.h"
#include "device/discovery.h"
#include "protocol/device_panel.h"
#include "protocol/settings_writes.h"

#include <algorithm>

namespace korvex {

namespace {
// Room for the report ID byte and 64 report bytes, or the board's longer input report.
constexpr std::size_t kMinInputBuffer = 65;
}  // namespace

Configurator::Configurator(HidPlatform& platform, ui::FormControls& controls)
    : platform_(platform), controls_(controls) {
    for (std::size_t k = 0; k < controls_.Enc.size(); ++k) {
        controls_.Enc[k]->onClick([this, k] { onEncoderChosen(static_cast<int>(k) + 1); });
    }
    controls_.ModeCh1->onClick([this] { onPulseChosen(); });
    controls_.NoJoy->onClick([this] { onHideToggled(); });
    controls_.SerNo->onClick([this] { onSerialChosen(); });
    controls_.Timer->onTick([this] { onTimerTick(); });
}

Configurator::~Configurator() {
    // The controls may outlive the logic: leave them no handler that reaches back here.
    for (ui::ListControl* list : controls_.Enc) list->onClick(nullptr);
    controls_.ModeCh1->onClick(nullptr);
    controls_.NoJoy->onClick(nullptr);
    controls_.SerNo->onClick(nullptr);
    controls_.Timer->onTick(nullptr);
    controls_.Timer->setEnabled(false);
    if (session_.boardOpen()) closeBoard();
}

void Configurator::start() {
    session_.reselectPending = false;
    session_.serialListReady = false;
    if (controls_.showWindow) controls_.showWindow();
    scanBoards();
    openSelectedBoard();
    loadBoard();
    controls_.Timer->setEnabled(true);
}

void Configurator::stop() {
    controls_.Timer->setEnabled(false);
    session_.serialListReady = false;
    if (session_.boardOpen()) closeBoard();
}

void Configurator::onTimerTick() { pollDevice(); }

void Configurator::pollDevice() {
    if (session_.boardOpen()) {
        inputBuffer_.resize(std::max<std::size_t>(kMinInputBuffer, session_.capabilities.InputReportByteLength));
        inputBuffer_[0] = 0;
        const InputRead read = platform_.readInput(session_.deviceHandle, inputBuffer_, kLivenessBound);
        if (read != InputRead::Gone && !session_.reselectPending) {
            controls_.Timer->setInterval(kConnectedInterval);
            // A board present whose read-back failed is read back again at this pace, on the
            // handle it has: closing and reopening would only churn.
            if (session_.connection == Connection::Faulted) retryReadBack();
            return;
        }
        closeBoard();
        controls_.Timer->setInterval(kLostInterval);
    }
    scanBoards();
    openSelectedBoard();
    if (session_.boardOpen()) session_.reselectPending = false;
    loadBoard();
}

void Configurator::onSerialChosen() {
    if (!session_.serialListReady) return;
    controls_.Timer->setEnabled(false);
    session_.reselectPending = true;
    if (session_.boardOpen()) {
        closeBoard();
        controls_.Timer->setInterval(kLostInterval);
    }
    openSelectedBoard();
    if (session_.boardOpen()) session_.reselectPending = false;
    loadBoard();
    controls_.Timer->setEnabled(true);
}

void Configurator::scanBoards() {
    session_.serialListReady = false;
    ui::ListControl& list = *controls_.SerNo;
    list.clear();
    list.setEnabled(false);
    int counter = -1;
    bool denied = false;
    // Each selection raises the list's click, which the unready list keeps inert.
    for (const BoardRecord& board : korvex::scanBoards(platform_, session_)) {
        denied |= board.accessDenied();
        if (!board.usable()) continue;
        ++counter;
        list.addItem(board.serial, counter);
        list.setListIndex(counter);
    }
    if (counter > 0) list.setEnabled(true);  // a choice needs two boards
    // An empty list says why it is empty; a board present that we may not open is not "none".
    if (counter >= 0) list.setPlaceholder(ui::texts::kNoBoard, {});
    else if (denied) list.setPlaceholder(ui::texts::kNoAccess, ui::texts::kNoAccessTip);
    else list.setPlaceholder(ui::texts::kNoBoard, ui::texts::kNoBoardTip);
    session_.serialListReady = true;
}

void Configurator::openSelectedBoard() { openBoard(platform_, session_, controls_.SerNo->text()); }

void Configurator::refreshPanel() {
    // Writes stay shut while the controls fill: the selections made here are the board's own.
    if (session_.boardOpen()) session_.connection = Connection::Open;
    shown_ = readPanel(platform_, session_);
    ui::showPanel(shown_, controls_);
    if (shown_.state == PanelState::Loaded) session_.connection = Connection::Loaded;
    // Never show or write values that were not read: the board stays shut to writes until a
    // read-back succeeds.
    if (shown_.state == PanelState::Faulted) session_.connection = Connection::Faulted;
}

void Configurator::retryReadBack() {
    const auto settings = readSettings(platform_, session_);
    if (!settings) return;  // still failing: the panel stays as it is
    shown_.state = PanelState::Loaded;
    shown_.settings = *settings;
    ui::showPanel(shown_, controls_);
    session_.connection = Connection::Loaded;
}

void Configurator::loadBoard() {
    refreshPanel();
    if (session_.connection == Connection::Faulted) reopenChosenBoard();
}

void Configurator::reopenChosenBoard() {
    // The board the user has (its serial number selected in the list), never the last one a
    // rescan would list: a fault on one board must not move the next click to another.
    const std::string serial = controls_.SerNo->text();
    closeBoard();
    openBoard(platform_, session_, serial);
    if (!session_.boardOpen()) {
        // Gone: the loss path. The panel shows no board and the next tick looks for boards again.
        controls_.Timer->setInterval(kLostInterval);
    }
    refreshPanel();
}

void Configurator::onEncoderChosen(int /*pair*/) {
    // Any one list writes the modes of all eight pairs.
    std::array<int, kPairCount> codes{};
    for (std::size_t k = 0; k < codes.size(); ++k) codes[k] = controls_.Enc[k]->listIndex();
    afterWrite(writeEncoderModes(platform_, session_, codes));
}

void Configurator::onPulseChosen() {
    afterWrite(writePulseCode(platform_, session_, controls_.ModeCh1->listIndex() + 1));
}

void Configurator::onHideToggled() { afterWrite(writeHideFlag(platform_, session_, controls_.NoJoy->value())); }

void Configurator::afterWrite(WriteOutcome outcome) {
    // A refused write leaves the board holding what it held, or the board is gone: open the same
    // board again and read it back rather than go on showing a choice it never took.
    if (outcome == WriteOutcome::Failed) reopenChosenBoard();
}

void Configurator::closeBoard() {
    session_.connection = Connection::Closed;
    platform_.close(session_.deviceHandle);
    session_.deviceHandle = kInvalidHandle;
}

}  // namespace korvex
