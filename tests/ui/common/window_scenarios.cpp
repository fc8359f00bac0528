#include "ui/common/window_scenarios.h"

#include "app/control_texts.h"
#include "app/diagnostics.h"
#include "app/main_form.h"
#include "protocol/device_panel.h"
#include "protocol/settings.h"

#include <nlohmann/json.hpp>

namespace korvex::testing {

SimDeviceInfo board(const char16_t* serial, BoardSettings settings) {
    SimDeviceInfo info;
    info.serial = serial;
    info.settings = settings;
    return info;
}

namespace {
const char* const kLists[] = {"SerNo", "Enc1", "Enc2", "Enc3", "Enc4", "Enc5", "Enc6", "Enc7", "Enc8", "ModeCh1"};
const char* const kDetails[] = {"lblManuf", "lblProduct", "lblVersion"};
}  // namespace

const std::vector<Placed>& expectedPlacement() {
    static const std::vector<Placed> placed = {
        {"Frame1", {8, 0, 281, 129}},       {"Frame3", {8, 136, 281, 209}},   {"NoJoy", {24, 352, 265, 25}},
        {"Label3", {24, 24, 121, 19}},      {"SerNo", {120, 20, 88, 24}},     {"lblSerialNumber", {120, 24, 220, 22}},
        {"Label4", {24, 48, 81, 19}},       {"lblManuf", {120, 48, 220, 22}}, {"Label5", {24, 72, 81, 19}},
        {"lblProduct", {120, 72, 220, 22}}, {"Label2", {24, 96, 97, 19}},     {"lblVersion", {120, 96, 220, 22}},
        {"Enc1", {24, 168, 60, 24}},        {"Label6", {92, 172, 73, 25}},    {"Enc2", {24, 200, 60, 24}},
        {"Label7", {92, 204, 73, 25}},      {"Enc3", {24, 232, 60, 24}},      {"Label8", {92, 236, 73, 25}},
        {"Enc4", {24, 264, 60, 24}},        {"Label9", {92, 268, 73, 25}},    {"Enc5", {168, 168, 60, 24}},
        {"Label10", {236, 173, 41, 25}},    {"Enc6", {168, 200, 60, 24}},     {"Label11", {236, 205, 41, 25}},
        {"Enc7", {168, 232, 60, 24}},       {"Label12", {236, 237, 49, 25}},  {"Enc8", {168, 264, 60, 24}},
        {"Label13", {236, 269, 41, 25}},    {"Line1", {16, 288, 288, 1}},     {"ModeCh1", {24, 304, 84, 24}},
        {"Label1", {112, 308, 137, 25}},
    };
    return placed;
}

void WindowScenarios::load() {
    logic_ = std::make_unique<app::Configurator>(bus_, window_.controls());
    window_.onUnload([this] {
        unloadedAt = std::chrono::steady_clock::now();
        logic_->stop();
    });
    logic_->start();
    ASSERT_TRUE(window_.shown());
}

void WindowScenarios::loadTwoBoards() {
    bus_.addDevice(board(u"KX000001", {0x00, 0x00, 1, 0}));
    bus_.addDevice(board(u"KX000002", {0x13, 0x02, 6, 1}));
    load();
}

std::vector<SimCall> WindowScenarios::featureCalls() const {
    std::vector<SimCall> out;
    for (const SimCall& call : bus_.calls())
        if (call.op == SimOp::SetFeature || call.op == SimOp::GetFeature) out.push_back(call);
    return out;
}

void WindowScenarios::startsWithNoBoardInItsInitialState() {
    load();
    EXPECT_EQ(window_.title(), "Korvex Rotary Encoders Configuration");
    EXPECT_EQ(window_.clientArea(), (PixelRect{0, 0, 297, 385}));
    EXPECT_EQ(window_.text("Frame1"), "Device details");
    EXPECT_EQ(window_.text("Frame3"), "Rotary encoder type for button pairs:");
    EXPECT_FALSE(window_.enabled("Frame1"));
    EXPECT_FALSE(window_.enabled("Frame3"));
    // The static labels of the details frame read in normal text; the value boxes hold no value
    // and say, beside the empty list, that no board is attached.
    for (const char* name : {"Label2", "Label3", "Label4", "Label5"}) EXPECT_TRUE(window_.enabled(name)) << name;
    EXPECT_EQ(window_.text("Label3"), "Serial Number");
    EXPECT_EQ(window_.text("lblSerialNumber"), "");
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(window_.text(kDetails[k]), app::texts::kNoBoardDetails[k]);
    EXPECT_EQ(window_.controls().manufacturerLabel->caption(), "");
    for (const char* name : kLists) {
        EXPECT_EQ(window_.itemCount(name), 0) << name;
        EXPECT_EQ(window_.selected(name), -1) << name;
        EXPECT_FALSE(window_.enabled(name)) << name;
    }
    for (const char* name : {"Label1", "Label6", "Label10", "Label13"}) EXPECT_FALSE(window_.enabled(name)) << name;
    EXPECT_EQ(window_.text("Label12"), "13-14");
    EXPECT_EQ(window_.text("NoJoy"), "Hide Korvex from gaming devices list ");
    EXPECT_EQ(window_.checkState("NoJoy"), 0);
    EXPECT_FALSE(window_.enabled("NoJoy"));
    EXPECT_TRUE(window_.controls().pollTimer->enabled());
    EXPECT_EQ(window_.controls().pollTimer->interval(), 50);
}

void WindowScenarios::everyControlSitsOnItsPixelRectangle() {
    load();
    for (const Placed& p : expectedPlacement()) {
        ASSERT_TRUE(window_.exists(p.name)) << p.name;
        EXPECT_EQ(window_.geometry(p.name), p.rect) << p.name;
    }
    // The serial-number list is drawn over the box it covers.
    EXPECT_EQ(window_.controlAt(130, 30), "SerNo");
}

void WindowScenarios::listsTwoBoardsAndLoadsTheLastOne() {
    loadTwoBoards();
    ASSERT_EQ(window_.itemCount("SerNo"), 2);
    EXPECT_EQ(window_.itemText("SerNo", 0), "KX000001");
    EXPECT_EQ(window_.text("SerNo"), "KX000002");
    EXPECT_TRUE(window_.enabled("SerNo"));
    EXPECT_TRUE(window_.enabled("Frame1"));
    EXPECT_TRUE(window_.enabled("Frame3"));
    EXPECT_EQ(window_.text("lblManuf"), " Korvex");
    EXPECT_EQ(window_.text("lblProduct"), " Rotary Encoders Interface");
    EXPECT_EQ(window_.text("lblVersion"), " 1.14");
    EXPECT_EQ(window_.text("lblSerialNumber"), "");
    EXPECT_EQ(window_.text("Enc1"), "1:1");
    EXPECT_EQ(window_.text("Enc2"), "1:4");
    EXPECT_EQ(window_.text("Enc5"), "1:1");
    EXPECT_EQ(window_.text("Enc8"), "OFF");
    EXPECT_EQ(window_.itemCount("Enc8"), 4);
    EXPECT_EQ(window_.itemCount("ModeCh1"), 25);
    EXPECT_EQ(window_.text("ModeCh1"), "24 ms");
    EXPECT_EQ(window_.checkState("NoJoy"), 1);
    EXPECT_TRUE(window_.enabled("Label10"));
    // Showing the board's settings wrote nothing back.
    for (const SimCall& call : featureCalls()) {
        if (call.op == SimOp::SetFeature) {
            EXPECT_NE(call.bytes.at(1), 0xEE);
        }
    }
}

void WindowScenarios::choosingAModeByKeyboardWritesAllEightPairs() {
    loadTwoBoards();
    window_.focus("Enc5");
    bus_.clearCalls();
    window_.press(Key::Down);
    EXPECT_EQ(window_.text("Enc5"), "1:2");
    const std::vector<SimCall> sent = featureCalls();
    ASSERT_EQ(sent.size(), 2u);
    // 1-2 at 1:1, 3-4 at 1:4, 9-10 now at 1:2: low bits 0b011, high bits 0b10010.
    const std::vector<std::uint8_t> low{0x00, 0xEE, 8, 0x03, 0, 0, 0, 0, 0};
    const std::vector<std::uint8_t> high{0x00, 0xEE, 9, 0x12, 0, 0, 0, 0, 0};
    EXPECT_EQ(sent[0].op, SimOp::SetFeature);
    EXPECT_EQ(sent[0].bytes, low);
    EXPECT_EQ(sent[1].bytes, high);
    EXPECT_EQ(sent[1].device, 1u);
    EXPECT_EQ(bus_.firmware(1).settings(), (BoardSettings{0x03, 0x12, 6, 1}));
    EXPECT_EQ(bus_.firmware(0).settings(), (BoardSettings{0x00, 0x00, 1, 0}));
}

void WindowScenarios::tabVisitsTheListsAndTheCheckBoxInOrderAndSpaceToggles() {
    loadTwoBoards();
    window_.focus("ModeCh1");
    std::string visited;
    for (int i = 0; i < 11; ++i) {
        window_.press(Key::Tab);
        visited += (i ? " " : "") + window_.focusName();
    }
    EXPECT_EQ(visited, "Enc1 Enc2 Enc3 Enc4 Enc5 Enc6 Enc7 Enc8 SerNo NoJoy ModeCh1");
    window_.focus("NoJoy");

    // Space on the check box: checked turns unchecked, greyed turns checked; each change writes.
    bus_.clearCalls();
    window_.press(Key::Space);
    EXPECT_EQ(window_.controls().hideBox->value(), 0);
    window_.controls().hideBox->setValue(2);
    window_.press(Key::Space);
    EXPECT_EQ(window_.controls().hideBox->value(), 1);
    int writes = 0;
    for (const SimCall& call : featureCalls()) writes += call.op == SimOp::SetFeature ? 1 : 0;
    EXPECT_GE(writes, 2);
    EXPECT_EQ(bus_.firmware(1).settings().hideFlag, 1);
}

void WindowScenarios::pickingTheOtherSerialReopensThatBoardWithoutRescanning() {
    loadTwoBoards();
    const HidHandle before = logic_->session().deviceHandle;
    window_.focus("SerNo");
    bus_.clearCalls();
    window_.press(Key::Up);
    EXPECT_EQ(window_.text("SerNo"), "KX000001");
    ASSERT_TRUE(logic_->session().boardOpen());
    EXPECT_EQ(bus_.deviceOf(logic_->session().deviceHandle), 0u);
    EXPECT_EQ(bus_.openHandleCount(), 1u);
    int walks = 0;
    bool closedOld = false;
    for (const SimCall& call : bus_.calls()) {
        walks += call.op == SimOp::Walk ? 1 : 0;
        closedOld = closedOld || (call.op == SimOp::Close && call.handle == before);
    }
    EXPECT_EQ(walks, 1);  // one walk to find the chosen board; a rescan would have walked twice
    EXPECT_TRUE(closedOld);
    EXPECT_EQ(window_.text("Enc1"), "OFF");
    EXPECT_EQ(window_.text("ModeCh1"), "4 ms");
    EXPECT_EQ(window_.checkState("NoJoy"), 0);
    EXPECT_EQ(window_.itemCount("SerNo"), 2);
}

void WindowScenarios::aDisabledFrameKeepsMouseAndKeyboardFromItsLists() {
    loadTwoBoards();
    window_.focus("SerNo");
    window_.controls().detailsFrame->setEnabled(false);
    EXPECT_TRUE(window_.enabled("SerNo"));    // the list keeps its own state
    EXPECT_NE(window_.focusName(), "SerNo");  // but the focus left it
    bus_.clearCalls();
    window_.press(Key::Up);
    window_.click("SerNo");
    EXPECT_FALSE(window_.dropped("SerNo"));
    window_.focus("Enc8");
    window_.press(Key::Tab);
    EXPECT_EQ(window_.focusName(), "NoJoy");  // Tab passes it by
    EXPECT_EQ(window_.text("SerNo"), "KX000002");
    EXPECT_TRUE(featureCalls().empty());

    // Enabled again, the same click opens it.
    window_.controls().detailsFrame->setEnabled(true);
    window_.click("SerNo");
    EXPECT_TRUE(window_.dropped("SerNo"));
    window_.press(Key::Escape);
}

// The wheel over a list changes it only once the user has put the focus there.
void WindowScenarios::theWheelChangesOnlyTheListWithTheFocus() {
    loadTwoBoards();
    window_.focus("NoJoy");
    bus_.clearCalls();
    window_.wheelDown("Enc1");
    EXPECT_EQ(window_.text("Enc1"), "1:1");
    EXPECT_TRUE(featureCalls().empty());

    window_.focus("Enc1");
    window_.wheelDown("Enc1");
    EXPECT_EQ(window_.text("Enc1"), "1:2");
    EXPECT_EQ(featureCalls().size(), 2u);  // commands 8 and 9
}

// The tooltips explain the modes, the pulse length and what hiding does.
void WindowScenarios::theListsAndTheBoxExplainThemselves() {
    load();
    for (const char* mode : {"OFF", "1:1", "1:2", "1:4"})
        EXPECT_NE(window_.tooltip("Enc2").find(mode), std::string::npos) << mode;
    EXPECT_NE(window_.tooltip("Enc3").find("1:4"), std::string::npos);
    EXPECT_NE(window_.tooltip("ModeCh1").find("4 to 100 ms"), std::string::npos);
    EXPECT_NE(window_.tooltip("NoJoy").find("game controllers"), std::string::npos);
}

// A board we may not open is explained beside the list; a board shown fills the boxes with its own
// strings and never a hint, even where it has none; unplugged, the explanation comes back.
void WindowScenarios::theEmptyListIsExplainedBesideItUntilABoardFillsTheBoxes() {
    SimDeviceInfo locked = board(u"KX000001", {});
    locked.openable = false;
    bus_.addDevice(locked);
    load();
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(window_.text(kDetails[k]), app::texts::kNoAccessDetails[k]);
    EXPECT_NE(window_.tooltip("SerNo").find(app::texts::kNoAccessTip), std::string::npos);

    SimDeviceInfo nameless = board(u"KX000002", {});
    nameless.manufacturer.reset();  // a string the board does not give
    const std::size_t shown = bus_.addDevice(nameless);
    window_.controls().pollTimer->raiseTick();
    window_.pump(50);
    ASSERT_EQ(window_.text("SerNo"), "KX000002");
    EXPECT_EQ(window_.tooltip("SerNo"), app::texts::kSerial.tip);  // its own tooltip again
    EXPECT_EQ(window_.text("lblManuf"), "");
    EXPECT_EQ(window_.text("lblProduct"), " Rotary Encoders Interface");
    EXPECT_EQ(window_.text("lblVersion"), " 1.14");

    bus_.unplug(shown);
    window_.controls().pollTimer->raiseTick();
    window_.pump(50);
    EXPECT_EQ(window_.itemCount("SerNo"), 0);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(window_.text(kDetails[k]), app::texts::kNoAccessDetails[k]);
}

// Every text the window can show, each where it is shown, read whole at 96 DPI in the window's
// font: the captions, the list items, the empty list's texts and their details, and the firmware
// warning.
void WindowScenarios::everyTextTheWindowShowsFitsItsControl() {
    load();
    std::vector<std::pair<std::string, std::string>> shown;
    for (const app::ControlRow& control : app::mainForm().controls)
        if (!control.caption.empty()) shown.emplace_back(control.name, control.caption);
    for (int k = 1; k <= app::kEncoderCount; ++k)
        for (const char* mode : kEncoderModeTexts) shown.emplace_back("Enc" + std::to_string(k), mode);
    for (int code = kPulseCodeMin; code <= kPulseCodeMax; ++code) shown.emplace_back("ModeCh1", pulseText(code));
    for (const char* empty : {app::texts::kNoBoard, app::texts::kNoAccess}) {
        shown.emplace_back("SerNo", empty);
        const app::texts::DetailLines* lines = app::texts::emptyListDetails(empty);
        ASSERT_NE(lines, nullptr) << empty;
        for (std::size_t k = 0; k < 3; ++k) shown.emplace_back(kDetails[k], (*lines)[k]);
    }
    shown.emplace_back("lblVersion", versionCaption(0x0013) + kFirmwareWarning);
    for (const auto& [control, text] : shown) {
        const int room = window_.textRoom(control.c_str());
        EXPECT_GT(room, 0) << control;
        EXPECT_LE(window_.textWidth(control.c_str(), text), room) << control << ": \"" << text << '"';
    }
}

void WindowScenarios::closingStopsTheTimerAndClosesTheBoard() {
    loadTwoBoards();
    window_.pump(80);  // let the poll timer run
    ASSERT_EQ(bus_.openHandleCount(), 1u);
    window_.close();
    EXPECT_FALSE(window_.isOpen());
    EXPECT_FALSE(window_.controls().pollTimer->enabled());
    EXPECT_EQ(bus_.openHandleCount(), 0u);
    bus_.clearCalls();
    window_.pump(120);
    EXPECT_TRUE(bus_.calls().empty());
}

}  // namespace korvex::testing

namespace korvex::testing {

// The three entries below the window's own, in order; "Copy diagnostics" gathers from the boards
// off the window's thread and puts the report on the clipboard, and the window's traffic with its
// open board is what it was.
void WindowScenarios::theMenuOpensTheInputTestCopiesTheDiagnosticsAndTellsAbout() {
    int inputTests = 0;
    window_.offerInputTest([&inputTests] { ++inputTests; });
    window_.offerDiagnostics([this] { return app::diagnosticsReport(bus_, "korvex-config " KORVEX_VERSION, nullptr); });
    loadTwoBoards();
    const std::vector<std::string> entries = window_.menuEntries();
    ASSERT_GE(entries.size(), 3u);
    const auto ours = entries.end() - 3;
    EXPECT_EQ(std::vector<std::string>(ours, entries.end()),
              (std::vector<std::string>{"Test inputs...", "Copy diagnostics",
                                        "About Korvex Rotary Encoders Configuration..."}));
    // Below the system's own entries, if the menu has any, after a separator.
    if (ours != entries.begin()) {
        EXPECT_EQ(*(ours - 1), "");
    }

    window_.choose("Test inputs...");
    EXPECT_EQ(inputTests, 1);

    window_.setClipboardText("before");
    bus_.clearCalls();
    window_.choose("Copy diagnostics");
    std::string copied;
    for (int waited = 0; waited < 5000 && (copied = window_.clipboardText()) == "before"; waited += 50)
        window_.pump(50);
    const auto report = nlohmann::json::parse(copied, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << copied;
    EXPECT_EQ(report["program"], "korvex-config " KORVEX_VERSION);
    ASSERT_EQ(report["boards"].size(), 2u);
    EXPECT_EQ(report["boards"][0]["serial"], "KX000001");
    EXPECT_EQ(report["boards"][1]["serial"], "KX000002");
    // The first board that opens is read, whichever the window shows.
    EXPECT_EQ(report["loaded_board"]["serial"], "KX000001");
    EXPECT_EQ(report["loaded_board"]["state"], "loaded");
    EXPECT_EQ(report["loaded_board"]["pulse_ms"], 4);
    // The report read the boards; the window wrote nothing and still holds its board.
    for (const SimCall& call : featureCalls()) {
        if (call.op == SimOp::SetFeature) {
            EXPECT_NE(call.bytes.at(1), 0xEE);
        }
    }
    EXPECT_EQ(window_.text("SerNo"), "KX000002");

    const std::string about = window_.aboutText();
    EXPECT_NE(about.find("Korvex Rotary Encoders Configuration"), std::string::npos) << about;
    EXPECT_NE(about.find("Version " KORVEX_VERSION), std::string::npos) << about;
    EXPECT_NE(about.find("MIT licence"), std::string::npos) << about;
    EXPECT_NE(about.find("Copyright (c) 2026 the Korvex Rotary Encoders Configuration authors"), std::string::npos);
}

}  // namespace korvex::testing
