// The input test window described once, as data, as the main window is: each part's kind, object
// name, rectangle (in twips, relative to the client area), Tab position and what it says to a
// screen reader. The Qt and Win32 test windows build themselves by walking it and show what
// app::InputTest says through textOf() and litOf().
#pragma once

#include "app/input_test.h"
#include "app/main_form.h"

#include <string>
#include <vector>

namespace korvex::app {

enum class TestPart {
    Status,        // what the window is doing, or why it shows nothing
    PairGroup,     // a captioned group per button pair: "Buttons 5-6: 1:2"
    Lamp,          // a button, lit while it is down
    ForwardArrow,  // lit for a moment on a step of the pair's first button
    BackArrow,     // on a step of its second
    Count,         // the signed step count since the last reset
    Pulses,        // the pulse lengths seen, beside the length set
    Glitches,
    ResetButton,
    CopyButton,  // puts the log on the clipboard
    Log,         // the last events with their times
};

struct TestRow {
    TestPart part = TestPart::Status;
    int pair = 0;    // 1 ... 8 for a pair's parts
    int button = 0;  // a lamp: its button, 1 ... 16
    std::string name{};
    std::string caption{};  // fixed text; parts that follow the board take theirs from textOf()
    Twips rect{};
    int tabPosition = kNoTab;
    std::string accessibleName{};
};

struct TestFormTable {
    std::string name{};
    Twips client;
    std::vector<TestRow> rows;  // groups before what they hold
};

const TestFormTable& inputTestForm();

// What a part shows now: its text, and whether it is lit (lamps and arrows).
std::string textOf(const TestRow& row, const InputTestShown& shown);
bool litOf(const TestRow& row, const InputTestShown& shown);
// A part whose text or state changes says so to a screen reader in its name: "Button 5, down".
std::string accessibleNameOf(const TestRow& row, const InputTestShown& shown);

}  // namespace korvex::app
