// The main window's logic: start-up, the poll timer, re-selection by serial number, shutdown, and
// the settings controls' clicks. It owns the window's DeviceSession and reaches the controls only
// through the toolkit-free control interface, so it runs the same in the window, the tests and the
// benchmark.
#pragma once

#include "app/form_controls.h"
#include "device/device_session.h"
#include "device/hid_platform.h"
#include "protocol/device_panel.h"
#include "protocol/settings_writes.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace korvex {

// Timer intervals of the supervision, in milliseconds.
inline constexpr int kStartInterval = ui::kTimerStartInterval;  // at creation, until the first change
inline constexpr int kConnectedInterval = 500;                  // after every tick whose read proves the board present
inline constexpr int kLostInterval = 250;  // after a loss, and after a re-selection that closed a board

// The longest the window's thread waits for an input report in one tick. A report that arrives in
// time, or none within the bound on a still valid handle, proves the board present; only a failed
// read or a vanished device counts as lost. 10 ms lets a board polled every 1 to 10 ms (the usual
// USB interrupt intervals) deliver a queued report, and stays under one 60 Hz frame (16.7 ms), so a
// silent board never makes the window stutter.
inline constexpr std::chrono::milliseconds kLivenessBound{10};

class Configurator {
public:
    // Wires the controls' clicks and the timer's tick to the handlers below.
    Configurator(HidPlatform& platform, ui::FormControls& controls);
    Configurator(const Configurator&) = delete;
    Configurator& operator=(const Configurator&) = delete;
    ~Configurator();

    void start();
    void stop();
    void onTimerTick();
    void onSerialChosen();
    void onEncoderChosen(int pair);  // pair 1 ... 8, the list Enc1 ... Enc8
    void onPulseChosen();
    void onHideToggled();

    const DeviceSession& session() const { return session_; }

private:
    // One tick of supervision: prove the open board present, or look for boards again.
    void pollDevice();
    // Rebuilds the serial-number list and selects the last board listed.
    void scanBoards();
    // Opens the board whose serial number is selected in the list.
    void openSelectedBoard();
    // Shows the open board (or none) and, once its settings are shown, opens the writes.
    void refreshPanel();
    // refreshPanel, and after a failed read-back one reopen of the same board.
    void loadBoard();
    // Closes the open board and opens the one whose serial number is selected, without a scan,
    // and reads it back; when it cannot be opened, the board counts as lost.
    void reopenChosenBoard();
    // For a board shown without its settings because a read-back failed: reads only the settings
    // again; its details are on show already. Loads the board when the read succeeds.
    void retryReadBack();
    void afterWrite(WriteOutcome outcome);
    // Closes the open board; the writes shut.
    void closeBoard();

    HidPlatform& platform_;
    ui::FormControls& controls_;
    DeviceSession session_;
    std::vector<std::uint8_t> inputBuffer_;  // the liveness read's report, kept across ticks
    PanelView shown_;                        // what the panel shows now
};

}  // namespace korvex
