#include "app/main_form.h"

#include "app/control_texts.h"
#include "protocol/settings.h"

#include <algorithm>

namespace korvex::app {

namespace {

using Kind = ControlKind;

// Two columns of four encoder lists, each with its pair's caption to the right; the captions of
// the right column sit a pixel lower, and "13-14" is wider.
struct PairPlace {
    Twips list, label;
};
constexpr PairPlace kPairPlaces[kEncoderCount] = {
    {{240, 480, 900, 360}, {1260, 540, 1095, 375}},   {{240, 960, 900, 360}, {1260, 1020, 1095, 375}},
    {{240, 1440, 900, 360}, {1260, 1500, 1095, 375}}, {{240, 1920, 900, 360}, {1260, 1980, 1095, 375}},
    {{2400, 480, 900, 360}, {3420, 555, 615, 375}},   {{2400, 960, 900, 360}, {3420, 1035, 615, 375}},
    {{2400, 1440, 900, 360}, {3420, 1515, 735, 375}}, {{2400, 1920, 900, 360}, {3420, 1995, 615, 375}},
};

ControlRow explained(ControlRow control, const texts::ControlText& text, bool tooltip) {
    control.accessibleName = text.name;
    control.description = text.tip;
    control.tooltip = tooltip;
    return control;
}

ControlRow caption(const char* name, const char* text, Twips rect, const char* labelFor, bool enabled = true) {
    return {.kind = Kind::Label,
            .name = name,
            .container = "",
            .caption = text,
            .rect = rect,
            .enabled = enabled,
            .labelFor = labelFor};
}

FormTable build() {
    FormTable form{.name = "frmMain",
                   .title = "Korvex Rotary Encoders Configuration",
                   .client = {0, 0, 4455, 5775},
                   .timerInterval = kTimerStartInterval,
                   .controls = {}};
    auto& rows = form.controls;
    auto add = [&rows](ControlRow row, const char* container) {
        row.container = container;
        rows.push_back(std::move(row));
    };
    // The client area: the encoder frame before the details frame, so that Tab reaches the settings first.
    add(explained({.role = Role::EncoderFrame,
                   .kind = Kind::Frame,
                   .name = "Frame3",
                   .caption = "Rotary encoder type for button pairs:",
                   .rect = {120, 2040, 4215, 3135},
                   .enabled = false},
                  texts::kEncodersGroup, false),
        "");
    add(explained({.role = Role::DetailsFrame,
                   .kind = Kind::Frame,
                   .name = "Frame1",
                   .caption = "Device details",
                   .rect = {120, 0, 4215, 1935},
                   .enabled = false},
                  texts::kDetailsGroup, false),
        "");
    add(explained({.role = Role::HideBox,
                   .kind = Kind::CheckBox,
                   .name = "NoJoy",
                   .caption = "Hide Korvex from gaming devices list ",
                   .rect = {360, 5280, 3975, 375},
                   .tabPosition = 10,
                   .enabled = false},
                  texts::kHide, true),
        "");

    // The encoder frame: its lists above the separator and the captions.
    add(explained({.role = Role::PulseList,
                   .kind = Kind::List,
                   .name = "ModeCh1",
                   .rect = {240, 2520, 1260, 360},
                   .tabPosition = 0,
                   .enabled = false},
                  texts::kPulse, true),
        "Frame3");
    for (int k = 0; k < kEncoderCount; ++k) {
        const std::string pair = pairName(k + 1);
        add({.role = Role::EncoderList,
             .pair = k,
             .kind = Kind::List,
             .name = "Enc" + std::to_string(k + 1),
             .rect = kPairPlaces[k].list,
             .tabPosition = 1 + k,
             .enabled = false,
             .accessibleName = "Encoder mode, buttons " + pair,
             .description = texts::kEncoderTip,
             .tooltip = true},
            "Frame3");
    }
    add({.kind = Kind::Line, .name = "Line1", .rect = {120, 2280, 4440 - 120, kTwipsPerPixel}}, "Frame3");
    for (int k = 0; k < kEncoderCount; ++k) {
        ControlRow label = caption("", "", kPairPlaces[k].label, "", false);
        label.role = Role::PairLabel;
        label.pair = k;
        label.name = "Label" + std::to_string(k + 6);
        label.caption = pairName(k + 1);
        label.labelFor = "Enc" + std::to_string(k + 1);
        add(std::move(label), "Frame3");
    }
    ControlRow pulseLabel = caption("Label1", "Encoders pulse length", {1560, 2580, 2055, 375}, "ModeCh1", false);
    pulseLabel.role = Role::PulseLabel;
    add(std::move(pulseLabel), "Frame3");

    // The details frame. The value boxes run past the frame's right edge; the frame cuts them off.
    // The list shows the serial number; the box under it is never written.
    add(explained({.role = Role::SerialList,
                   .kind = Kind::List,
                   .name = "SerNo",
                   .rect = {1680, 300, 1320, 360},
                   .tabPosition = 9,
                   .enabled = false},
                  texts::kSerial, true),
        "Frame1");
    add(caption("Label3", "Serial Number", {240, 360, 1815, 285}, "SerNo"), "Frame1");
    add(explained({.kind = Kind::ValueBox, .name = "lblSerialNumber", .rect = {1680, 360, 3300, 330}}, texts::kSerial,
                  false),
        "Frame1");
    // The board's three strings, each a caption and a value box, a row apart; while the list is
    // empty each box shows one line of why (texts::DetailLines).
    struct Detail {
        Role role;
        const char* caption;
        const char* captionName;
        const char* name;
        int captionWidth;
        const texts::ControlText& text;
        bool tooltip;
    };
    const Detail details[] = {
        {Role::ManufacturerLabel, "Manufacturer", "Label4", "lblManuf", 1215, texts::kManufacturer, false},
        {Role::ProductLabel, "Product", "Label5", "lblProduct", 1215, texts::kProduct, false},
        {Role::VersionLabel, "Version", "Label2", "lblVersion", 1455, texts::kVersion, true},
    };
    for (int line = 0; line < 3; ++line) {
        const Detail& d = details[line];
        const int top = 720 + 360 * line;
        add(caption(d.captionName, d.caption, {240, top, d.captionWidth, 285}, d.name), "Frame1");
        add(explained({.role = d.role,
                       .kind = Kind::ValueBox,
                       .name = d.name,
                       .rect = {1680, top, 3300, 330},
                       .detailsLine = line},
                      d.text, d.tooltip),
            "Frame1");
    }

    add({.role = Role::PollTimer, .kind = Kind::Timer, .name = "Timer", .enabled = false}, "");
    return form;
}

}  // namespace

const FormTable& mainForm() {
    static const FormTable form = build();
    return form;
}

const ControlRow* FormTable::find(std::string_view name) const {
    const auto found =
        std::find_if(controls.begin(), controls.end(), [name](const ControlRow& c) { return c.name == name; });
    return found == controls.end() ? nullptr : &*found;
}

std::vector<const ControlRow*> FormTable::tabOrder() const {
    std::vector<const ControlRow*> order;
    for (const ControlRow& control : controls)
        if (control.tabPosition != kNoTab) order.push_back(&control);
    std::sort(order.begin(), order.end(),
              [](const ControlRow* a, const ControlRow* b) { return a->tabPosition < b->tabPosition; });
    return order;
}

int FormTable::firstTabPosition(const ControlRow& control) const {
    int first = control.tabPosition;
    if (control.kind == ControlKind::Frame) {
        for (const ControlRow& inner : controls)
            if (inner.container == control.name) first = std::min(first, firstTabPosition(inner));
    }
    return first;
}

void bind(FormControls& form, const ControlRow& control, FrameControl* adapter) {
    if (control.role == Role::DetailsFrame) form.detailsFrame = adapter;
    if (control.role == Role::EncoderFrame) form.encoderFrame = adapter;
}

void bind(FormControls& form, const ControlRow& control, LabelControl* adapter) {
    switch (control.role) {
    case Role::ManufacturerLabel: form.manufacturerLabel = adapter; break;
    case Role::ProductLabel: form.productLabel = adapter; break;
    case Role::VersionLabel: form.versionLabel = adapter; break;
    case Role::PulseLabel: form.pulseLabel = adapter; break;
    case Role::PairLabel: form.pairLabels.at(static_cast<std::size_t>(control.pair)) = adapter; break;
    default: break;
    }
}

void bind(FormControls& form, const ControlRow& control, ListControl* adapter) {
    switch (control.role) {
    case Role::SerialList: form.serialList = adapter; break;
    case Role::PulseList: form.pulseList = adapter; break;
    case Role::EncoderList: form.encoderLists.at(static_cast<std::size_t>(control.pair)) = adapter; break;
    default: break;
    }
}

void bind(FormControls& form, const ControlRow& control, CheckBoxControl* adapter) {
    if (control.role == Role::HideBox) form.hideBox = adapter;
}

void bind(FormControls& form, const ControlRow& control, TimerControl* adapter) {
    if (control.role == Role::PollTimer) form.pollTimer = adapter;
}

}  // namespace korvex::app
