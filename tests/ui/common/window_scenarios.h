// What a person does with the main window, and what must follow, once for every toolkit. Each
// toolkit's test drives its real window through a WindowDriver and runs every scenario with
// KORVEX_WINDOW_SCENARIOS; what only one toolkit has (Qt's accessibility, Win32's DPI scaling and
// colours) stays in that toolkit's own test file.
#pragma once

#include "app/configurator.h"
#include "app/form_controls.h"
#include "simulation/simulated_bus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvex::testing {

// A rectangle in pixels at 96 DPI, in the window's client area.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

enum class Key { Up, Down, Tab, Space, Escape };

// A toolkit's window as the scenarios use it; controls are named by their object names.
class WindowDriver {
public:
    virtual ~WindowDriver() = default;
    virtual app::FormControls& controls() = 0;
    virtual void onUnload(std::function<void()> handler) = 0;
    // After the logic's start: waits until the window is shown and takes the keyboard.
    virtual bool shown() = 0;
    virtual std::string title() = 0;
    virtual PixelRect clientArea() = 0;
    virtual bool exists(const char* name) = 0;
    virtual PixelRect geometry(const char* name) = 0;
    // The control drawn at a point of the client area: its name, or "" for none.
    virtual std::string controlAt(int x, int y) = 0;
    // A caption; for a list, its selected item, "" for none.
    virtual std::string text(const char* name) = 0;
    // For a frame: whether it passes input on to its controls.
    virtual bool enabled(const char* name) = 0;
    virtual int itemCount(const char* list) = 0;
    virtual std::string itemText(const char* list, int index) = 0;
    virtual int selected(const char* list) = 0;
    virtual int checkState(const char* box) = 0;  // 0 unchecked, 1 checked, 2 greyed
    virtual std::string tooltip(const char* name) = 0;
    // How wide a text is in the control's own font, and how much of the control shows text: the
    // part its container leaves visible, less a list's drop button or a check box's box.
    virtual int textWidth(const char* name, const std::string& text) = 0;
    virtual int textRoom(const char* name) = 0;
    virtual bool dropped(const char* list) = 0;
    virtual void focus(const char* name) = 0;
    // The name of the control with the keyboard focus; "?" for none.
    virtual std::string focusName() = 0;
    // Presses and releases a key, for whatever has the focus.
    virtual void press(Key key) = 0;
    // A left click at the centre of a control.
    virtual void click(const char* name) = 0;
    // One notch of the wheel towards the user, with the pointer over a control.
    virtual void wheelDown(const char* name) = 0;
    // Closes the window as its close button does.
    virtual void close() = 0;
    virtual bool isOpen() = 0;
    // Runs the window's events for a while.
    virtual void pump(int milliseconds) = 0;

    // The window's hooks for its menu: what "Test inputs..." opens, and the diagnostics report.
    virtual void offerInputTest(std::function<void()> open) = 0;
    virtual void offerDiagnostics(std::function<std::string()> gather) = 0;
    // Opens the window's menu as a person does, lists its entries (a separator as "") and closes it.
    virtual std::vector<std::string> menuEntries() = 0;
    // Opens the menu and chooses the entry with this text.
    virtual void choose(const std::string& entry) = 0;
    virtual std::string clipboardText() = 0;
    virtual void setClipboardText(const std::string& text) = 0;
    // Chooses "About...", reads the text it shows and closes it.
    virtual std::string aboutText() = 0;
};

// Every control's rectangle at 96 DPI.
struct Placed {
    const char* name;
    PixelRect rect;
};
const std::vector<Placed>& expectedPlacement();

class WindowScenarios {
public:
    WindowScenarios(SimulatedBus& bus, WindowDriver& window) : bus_(bus), window_(window) {}

    void startsWithNoBoardInItsInitialState();
    void everyControlSitsOnItsPixelRectangle();
    void listsTwoBoardsAndLoadsTheLastOne();
    void choosingAModeByKeyboardWritesAllEightPairs();
    void tabVisitsTheListsAndTheCheckBoxInOrderAndSpaceToggles();
    void pickingTheOtherSerialReopensThatBoardWithoutRescanning();
    void aDisabledFrameKeepsMouseAndKeyboardFromItsLists();
    void theWheelChangesOnlyTheListWithTheFocus();
    void theListsAndTheBoxExplainThemselves();
    void theEmptyListIsExplainedBesideItUntilABoardFillsTheBoxes();
    void everyTextTheWindowShowsFitsItsControl();
    void closingStopsTheTimerAndClosesTheBoard();
    void theMenuOpensTheInputTestCopiesTheDiagnosticsAndTellsAbout();

    // The logic started on the window, shown.
    void load();
    // Two boards; the last one, loaded, has pair 1-2 at 1:1, 3-4 at 1:4, 9-10 at 1:1; 24 ms; hidden.
    void loadTwoBoards();
    std::vector<SimCall> featureCalls() const;
    // When the window's unload began, once it has been closed.
    std::optional<std::chrono::steady_clock::time_point> unloadedAt;

private:
    SimulatedBus& bus_;
    WindowDriver& window_;
    std::unique_ptr<app::Configurator> logic_;
};

SimDeviceInfo board(const char16_t* serial, BoardSettings settings);

}  // namespace korvex::testing

// Runs every scenario as a test of `Fixture`, which holds them as `scenarios`.
#define KORVEX_WINDOW_SCENARIO(Fixture, Test, member) \
    TEST_F(Fixture, Test) { scenarios.member(); }
#define KORVEX_WINDOW_SCENARIOS(Fixture)                                                                            \
    KORVEX_WINDOW_SCENARIO(Fixture, StartsWithNoBoardInItsInitialState, startsWithNoBoardInItsInitialState)         \
    KORVEX_WINDOW_SCENARIO(Fixture, EveryControlSitsOnItsPixelRectangle, everyControlSitsOnItsPixelRectangle)       \
    KORVEX_WINDOW_SCENARIO(Fixture, ListsTwoBoardsAndLoadsTheLastOne, listsTwoBoardsAndLoadsTheLastOne)             \
    KORVEX_WINDOW_SCENARIO(Fixture, ChoosingAModeByKeyboardWritesAllEightPairs,                                     \
                           choosingAModeByKeyboardWritesAllEightPairs)                                              \
    KORVEX_WINDOW_SCENARIO(Fixture, TabVisitsTheListsAndTheCheckBoxInOrderAndSpaceToggles,                          \
                           tabVisitsTheListsAndTheCheckBoxInOrderAndSpaceToggles)                                   \
    KORVEX_WINDOW_SCENARIO(Fixture, PickingTheOtherSerialReopensThatBoardWithoutRescanning,                         \
                           pickingTheOtherSerialReopensThatBoardWithoutRescanning)                                  \
    KORVEX_WINDOW_SCENARIO(Fixture, ADisabledFrameKeepsMouseAndKeyboardFromItsLists,                                \
                           aDisabledFrameKeepsMouseAndKeyboardFromItsLists)                                         \
    KORVEX_WINDOW_SCENARIO(Fixture, TheWheelChangesOnlyTheListWithTheFocus, theWheelChangesOnlyTheListWithTheFocus) \
    KORVEX_WINDOW_SCENARIO(Fixture, TheListsAndTheBoxExplainThemselves, theListsAndTheBoxExplainThemselves)         \
    KORVEX_WINDOW_SCENARIO(Fixture, TheEmptyListIsExplainedBesideItUntilABoardFillsTheBoxes,                        \
                           theEmptyListIsExplainedBesideItUntilABoardFillsTheBoxes)                                 \
    KORVEX_WINDOW_SCENARIO(Fixture, EveryTextTheWindowShowsFitsItsControl, everyTextTheWindowShowsFitsItsControl)   \
    KORVEX_WINDOW_SCENARIO(Fixture, ClosingStopsTheTimerAndClosesTheBoard, closingStopsTheTimerAndClosesTheBoard)   \
    KORVEX_WINDOW_SCENARIO(Fixture, TheMenuOpensTheInputTestCopiesTheDiagnosticsAndTellsAbout,                      \
                           theMenuOpensTheInputTestCopiesTheDiagnosticsAndTellsAbout)
