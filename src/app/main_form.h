// The main window described once, as data: each control's role, kind, object name, container,
// caption, rectangle, Tab position, state at start and what it says to a screen reader, with the
// window's title and client size. The Qt and Win32 windows build themselves by walking it, one
// factory per kind; a new control is one row. Object names are those of the original window,
// which tests and screen readers find the controls by.
#pragma once

#include "app/form_controls.h"

#include <climits>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::app {

// 15 twips make a pixel at 96 DPI.
inline constexpr int kTwipsPerPixel = 15;

struct Twips {
    int left = 0, top = 0, width = 0, height = 0;
};

enum class ControlKind {
    Frame,     // a captioned group that holds other controls
    Label,     // a caption
    ValueBox,  // a value read from the board, on the edit-field background
    List,      // a drop-down list the user can only choose from
    CheckBox,
    Line,   // a one-pixel separator
    Timer,  // not drawn: the poll timer
};

// What the logic reaches a control as: its member of FormControls. None for what the window only
// draws (the captions, the separator, the serial-number box under the list).
enum class Role {
    None,
    DetailsFrame,
    EncoderFrame,
    SerialList,
    ManufacturerLabel,
    ProductLabel,
    VersionLabel,
    EncoderList,  // one per pair: `pair` says which
    PairLabel,    // one per pair: `pair` says which
    PulseList,
    PulseLabel,
    HideBox,
    PollTimer,
};

inline constexpr int kNoTab = INT_MAX;

struct ControlRow {
    Role role = Role::None;
    int pair = 0;  // 0 ... 7, for EncoderList and PairLabel
    ControlKind kind = ControlKind::Label;
    std::string name{};       // the object name
    std::string container{};  // the frame it sits in; empty for the client area
    std::string caption{};
    Twips rect{};              // relative to the container
    int tabPosition = kNoTab;  // where Tab reaches it, from 0; kNoTab: it takes no focus
    bool enabled = true;       // at start; a frame's enabled state is whether it passes input on
    std::string labelFor{};    // a caption: the control it names for a screen reader
    std::string accessibleName{};
    std::string description{};  // also the tooltip where `tooltip` is set
    bool tooltip = false;
    // A value box: which line of the empty serial-number list's details it shows while it holds
    // no value (texts::DetailLines); -1 for none.
    int detailsLine = -1;
};

struct FormTable {
    std::string name{};  // the window's own object name
    std::string title;
    Twips client;       // the fixed client area
    int timerInterval;  // the poll timer's interval at start, in milliseconds
    // Within a container, the order of the rows is the z-order from the top.
    std::vector<ControlRow> controls;

    // The row with this object name, or nullptr.
    const ControlRow* find(std::string_view name) const;
    // The controls that take the focus, in Tab order.
    std::vector<const ControlRow*> tabOrder() const;
    // Where Tab first reaches this control or, for a frame, anything inside it; kNoTab for never.
    int firstTabPosition(const ControlRow& control) const;
};

const FormTable& mainForm();

// Hands an adapter a window made for a row to the logic, at the row's role. A row without a role
// takes none.
void bind(FormControls& form, const ControlRow& control, FrameControl* adapter);
void bind(FormControls& form, const ControlRow& control, LabelControl* adapter);
void bind(FormControls& form, const ControlRow& control, ListControl* adapter);
void bind(FormControls& form, const ControlRow& control, CheckBoxControl* adapter);
void bind(FormControls& form, const ControlRow& control, TimerControl* adapter);

}  // namespace korvex::app
