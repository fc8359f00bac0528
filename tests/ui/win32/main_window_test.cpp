// The whole Win32 window on the simulated bus under wine: its layout and initial state, and what
// reaches a board when a person uses it with the real keyboard and mouse (SendInput).
#include "ui/win32/main_window.h"
#include "app/configurator.h"
#include "device/simulated_bus.h"
#include "ui/win32/message_loop.h"

#include <commctrl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace korvex::ui {
namespace {

SimDeviceInfo board(const char16_t* serial, BoardSettings settings) {
    SimDeviceInfo info;
    info.serial = serial;
    info.settings = settings;
    return info;
}

// Runs the window's messages for a while: input arrives through wine's server asynchronously.
void pump(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) dispatchMessage(message);
        Sleep(5);
    } while (GetTickCount64() < end);
}

void press(WORD key) {
    std::array<INPUT, 2> input{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    pump(60);
}

void mouse(DWORD flags, DWORD data = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = data;
    SendInput(1, &input, sizeof(INPUT));
}

// The centre of a control, on the screen.
POINT centre(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::string text(HWND window) {
    std::array<wchar_t, 256> buffer{};
    const int length = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.begin(), buffer.begin() + length);  // the tests' texts are ASCII
}

class Window : public testing::Test {
protected:
    // Without an X display wine shows nothing and takes no input: that fails, never passes.
    void SetUp() override {
        wchar_t display[64] = {};
        const DWORD length = GetEnvironmentVariableW(L"DISPLAY", display, static_cast<DWORD>(std::size(display)));
        ASSERT_TRUE(length > 0 && length < std::size(display))
            << "no DISPLAY: run the window tests on an X server (Xvfb)";
    }
    void load() {
        logic = std::make_unique<Configurator>(bus, window.controls());
        window.onUnload([this] { logic->stop(); });
        logic->start();
        SetForegroundWindow(window.handle());
        pump(150);
        ASSERT_TRUE(IsWindowVisible(window.handle()));
        ASSERT_EQ(GetForegroundWindow(), window.handle());
    }
    void loadTwoBoards() {
        bus.addDevice(board(u"KX000001", {0x00, 0x00, 1, 0}));
        // Loaded last: pair 1-2 at 1:1, 3-4 at 1:4, 9-10 at 1:1; 24 ms; hidden.
        bus.addDevice(board(u"KX000002", {0x13, 0x02, 6, 1}));
        load();
    }
    HWND child(const char* name) {
        const HWND control = window.control(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    int selected(const char* list) { return static_cast<int>(SendMessageW(child(list), CB_GETCURSEL, 0, 0)); }
    std::string selectedText(const char* list) {
        const app::ListControl* control = nullptr;
        const app::FormControls& c = window.controls();
        if (std::string(list) == "SerNo") control = c.serialList;
        if (std::string(list) == "ModeCh1") control = c.pulseList;
        if (std::string(list).starts_with("Enc")) control = c.encoderLists.at(static_cast<std::size_t>(list[3] - '1'));
        return control ? control->text() : std::string();
    }
    std::string focusName() {
        const HWND focus = GetFocus();
        for (const char* name :
             {"ModeCh1", "Enc1", "Enc2", "Enc3", "Enc4", "Enc5", "Enc6", "Enc7", "Enc8", "SerNo", "NoJoy"})
            if (window.control(name) == focus) return name;
        return "?";
    }
    std::vector<SimCall> featureCalls() const {
        std::vector<SimCall> out;
        for (const SimCall& call : bus.calls())
            if (call.op == SimOp::SetFeature || call.op == SimOp::GetFeature) out.push_back(call);
        return out;
    }
    // A rectangle of a control in the window's client area.
    RECT placed(HWND control) {
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    SimulatedBus bus;
    MainWindow window;
    std::unique_ptr<Configurator> logic;
};

const char* const kLists[] = {"SerNo", "Enc1", "Enc2", "Enc3", "Enc4", "Enc5", "Enc6", "Enc7", "Enc8", "ModeCh1"};

TEST_F(Window, StartsWithNoBoardInItsInitialState) {
    load();
    EXPECT_EQ(text(window.handle()), "Korvex Rotary Encoders Configuration");
    RECT client;
    GetClientRect(window.handle(), &client);
    EXPECT_EQ(client.right, 297);
    EXPECT_EQ(client.bottom, 385);
    const LONG_PTR style = GetWindowLongPtrW(window.handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);  // fixed size
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(child("Enc1"), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Arial");
    EXPECT_EQ(font.lfHeight, -13);  // 9.75 pt at 96 DPI

    EXPECT_EQ(text(child("Frame1")), "Device details");
    EXPECT_EQ(text(child("Frame3")), "Rotary encoder type for button pairs:");
    EXPECT_FALSE(IsWindowEnabled(child("Frame1")));
    EXPECT_FALSE(IsWindowEnabled(child("Frame3")));
    for (const char* name : {"Label2", "Label3", "Label4", "Label5"}) EXPECT_TRUE(IsWindowEnabled(child(name))) << name;
    EXPECT_EQ(text(child("Label3")), "Serial Number");
    for (const char* name : {"lblSerialNumber", "lblManuf", "lblProduct", "lblVersion"})
        EXPECT_EQ(text(child(name)), "") << name;
    for (const char* name : kLists) {
        EXPECT_EQ(SendMessageW(child(name), CB_GETCOUNT, 0, 0), 0) << name;
        EXPECT_EQ(selected(name), -1) << name;
        EXPECT_FALSE(IsWindowEnabled(child(name))) << name;
    }
    for (const char* name : {"Label1", "Label6", "Label10", "Label13"})
        EXPECT_FALSE(IsWindowEnabled(child(name))) << name;
    EXPECT_EQ(text(child("Label12")), "13-14");
    EXPECT_EQ(text(child("NoJoy")), "Hide Korvex from gaming devices list ");
    EXPECT_EQ(SendMessageW(child("NoJoy"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(child("NoJoy")));
    EXPECT_TRUE(window.controls().pollTimer->enabled());
    EXPECT_EQ(window.controls().pollTimer->interval(), 50);

    // The value boxes show the window colour, the separator the active-border colour.
    HDC dc = GetDC(window.handle());
    EXPECT_EQ(GetPixel(dc, 250, 80), GetSysColor(COLOR_WINDOW));         // lblProduct
    EXPECT_EQ(GetPixel(dc, 100, 288), GetSysColor(COLOR_ACTIVEBORDER));  // Line1
    ReleaseDC(window.handle(), dc);
}

TEST_F(Window, EveryControlSitsOnItsPixelRectangleAndScalesWithTheDpi) {
    struct Placed {
        const char* name;
        RECT rect;  // left, top, right, bottom in the client area at 96 DPI
    };
    auto at = [](LONG x, LONG y, LONG w, LONG h) { return RECT{x, y, x + w, y + h}; };
    const Placed expected[] = {
        {"Frame1", at(8, 0, 281, 129)},    {"Frame3", at(8, 136, 281, 209)},
        {"NoJoy", at(24, 352, 265, 25)},   {"Label3", at(24, 24, 121, 19)},
        {"SerNo", at(120, 20, 88, 24)},    {"lblSerialNumber", at(120, 24, 220, 22)},
        {"Label4", at(24, 48, 81, 19)},    {"lblManuf", at(120, 48, 220, 22)},
        {"Label5", at(24, 72, 81, 19)},    {"lblProduct", at(120, 72, 220, 22)},
        {"Label2", at(24, 96, 97, 19)},    {"lblVersion", at(120, 96, 220, 22)},
        {"Enc1", at(24, 168, 60, 24)},     {"Label6", at(92, 172, 73, 25)},
        {"Enc2", at(24, 200, 60, 24)},     {"Label7", at(92, 204, 73, 25)},
        {"Enc3", at(24, 232, 60, 24)},     {"Label8", at(92, 236, 73, 25)},
        {"Enc4", at(24, 264, 60, 24)},     {"Label9", at(92, 268, 73, 25)},
        {"Enc5", at(168, 168, 60, 24)},    {"Label10", at(236, 173, 41, 25)},
        {"Enc6", at(168, 200, 60, 24)},    {"Label11", at(236, 205, 41, 25)},
        {"Enc7", at(168, 232, 60, 24)},    {"Label12", at(236, 237, 49, 25)},
        {"Enc8", at(168, 264, 60, 24)},    {"Label13", at(236, 269, 41, 25)},
        {"Line1", at(16, 288, 288, 1)},    {"ModeCh1", at(24, 304, 84, 24)},
        {"Label1", at(112, 308, 137, 25)},
    };
    load();
    for (const Placed& p : expected) {
        const RECT r = placed(child(p.name));
        EXPECT_EQ(r.left, p.rect.left) << p.name;
        EXPECT_EQ(r.top, p.rect.top) << p.name;
        EXPECT_EQ(r.right, p.rect.right) << p.name;
        EXPECT_EQ(r.bottom, p.rect.bottom) << p.name;
    }
    // The serial-number list lies above the box it covers.
    const HWND frame1 = child("Frame1");
    EXPECT_EQ(ChildWindowFromPointEx(frame1, POINT{122, 30}, CWP_SKIPINVISIBLE), child("SerNo"));

    // Moved to a 144 DPI monitor, everything is 1.5 times larger and neighbours stay aligned.
    RECT suggested{0, 0, 600, 700};
    SendMessageW(window.handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    pump(50);
    RECT client;
    GetClientRect(window.handle(), &client);
    EXPECT_NEAR(client.right, 297 * 1.5, 1);
    EXPECT_NEAR(client.bottom, 385 * 1.5, 1);
    for (const Placed& p : expected) {
        const RECT r = placed(child(p.name));
        EXPECT_NEAR(r.left, p.rect.left * 1.5, 1) << p.name;
        EXPECT_NEAR(r.top, p.rect.top * 1.5, 1) << p.name;
        EXPECT_NEAR(r.right, p.rect.right * 1.5, 1) << p.name;
        EXPECT_NEAR(r.bottom, p.rect.bottom * 1.5, 1) << p.name;
    }
    EXPECT_EQ(placed(child("Enc1")).right, placed(child("Enc4")).right);
    EXPECT_EQ(placed(child("Enc5")).top, placed(child("Enc1")).top);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(child("Label1"), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, -20);
}

TEST_F(Window, ListsTwoBoardsAndLoadsTheLastOne) {
    loadTwoBoards();
    ASSERT_EQ(SendMessageW(child("SerNo"), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(window.controls().serialList->itemText(0), "KX000001");
    EXPECT_EQ(selectedText("SerNo"), "KX000002");
    EXPECT_TRUE(IsWindowEnabled(child("SerNo")));
    EXPECT_TRUE(IsWindowEnabled(child("Frame1")));
    EXPECT_TRUE(IsWindowEnabled(child("Frame3")));
    EXPECT_EQ(text(child("lblManuf")), " Korvex");
    EXPECT_EQ(text(child("lblProduct")), " Rotary Encoders Interface");
    EXPECT_EQ(text(child("lblVersion")), " 1.14");
    EXPECT_EQ(text(child("lblSerialNumber")), "");
    EXPECT_EQ(selectedText("Enc1"), "1:1");
    EXPECT_EQ(selectedText("Enc2"), "1:4");
    EXPECT_EQ(selectedText("Enc5"), "1:1");
    EXPECT_EQ(selectedText("Enc8"), "OFF");
    EXPECT_EQ(SendMessageW(child("Enc8"), CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(child("ModeCh1"), CB_GETCOUNT, 0, 0), 25);
    EXPECT_EQ(selectedText("ModeCh1"), "24 ms");
    EXPECT_EQ(SendMessageW(child("NoJoy"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(child("Label10")));
    // Showing the board's settings wrote nothing back.
    for (const SimCall& call : featureCalls()) {
        if (call.op == SimOp::SetFeature) {
            EXPECT_NE(call.bytes.at(1), 0xEE);
        }
    }
}

TEST_F(Window, ChoosingAModeByKeyboardWritesAllEightPairs) {
    loadTwoBoards();
    SetFocus(child("Enc5"));
    bus.clearCalls();
    press(VK_DOWN);
    EXPECT_EQ(selectedText("Enc5"), "1:2");
    const std::vector<SimCall> sent = featureCalls();
    ASSERT_EQ(sent.size(), 2u);
    // 1-2 at 1:1, 3-4 at 1:4, 9-10 now at 1:2: low bits 0b011, high bits 0b10010.
    const std::vector<std::uint8_t> low{0x00, 0xEE, 8, 0x03, 0, 0, 0, 0, 0};
    const std::vector<std::uint8_t> high{0x00, 0xEE, 9, 0x12, 0, 0, 0, 0, 0};
    EXPECT_EQ(sent[0].op, SimOp::SetFeature);
    EXPECT_EQ(sent[0].bytes, low);
    EXPECT_EQ(sent[1].bytes, high);
    EXPECT_EQ(sent[1].device, 1u);
    EXPECT_EQ(bus.firmware(1).settings(), (BoardSettings{0x03, 0x12, 6, 1}));
    EXPECT_EQ(bus.firmware(0).settings(), (BoardSettings{0x00, 0x00, 1, 0}));
}

TEST_F(Window, TabVisitsTheListsAndTheCheckBoxInOrderAndSpaceToggles) {
    loadTwoBoards();
    SetFocus(child("ModeCh1"));
    std::string visited;
    for (int i = 0; i < 11; ++i) {
        press(VK_TAB);
        visited += (i ? " " : "") + focusName();
    }
    EXPECT_EQ(visited, "Enc1 Enc2 Enc3 Enc4 Enc5 Enc6 Enc7 Enc8 SerNo NoJoy ModeCh1");
    SetFocus(child("NoJoy"));

    // Space on the check box: checked turns unchecked, greyed turns checked; each change writes.
    bus.clearCalls();
    press(VK_SPACE);
    EXPECT_EQ(window.controls().hideBox->value(), 0);
    window.controls().hideBox->setValue(2);
    press(VK_SPACE);
    EXPECT_EQ(window.controls().hideBox->value(), 1);
    int writes = 0;
    for (const SimCall& call : featureCalls()) writes += call.op == SimOp::SetFeature ? 1 : 0;
    EXPECT_GE(writes, 2);
    EXPECT_EQ(bus.firmware(1).settings().hideFlag, 1);
}

TEST_F(Window, PickingTheOtherSerialReopensThatBoardWithoutRescanning) {
    loadTwoBoards();
    const HidHandle before = logic->session().deviceHandle;
    SetFocus(child("SerNo"));
    bus.clearCalls();
    press(VK_UP);
    EXPECT_EQ(selectedText("SerNo"), "KX000001");
    ASSERT_TRUE(logic->session().boardOpen());
    EXPECT_EQ(bus.deviceOf(logic->session().deviceHandle), 0u);
    EXPECT_EQ(bus.openHandleCount(), 1u);
    int walks = 0;
    bool closedOld = false;
    for (const SimCall& call : bus.calls()) {
        walks += call.op == SimOp::Walk ? 1 : 0;
        closedOld = closedOld || (call.op == SimOp::Close && call.handle == before);
    }
    EXPECT_EQ(walks, 1);  // one walk to find the chosen board; a rescan would have walked twice
    EXPECT_TRUE(closedOld);
    EXPECT_EQ(selectedText("Enc1"), "OFF");
    EXPECT_EQ(selectedText("ModeCh1"), "4 ms");
    EXPECT_EQ(SendMessageW(child("NoJoy"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(Window, ADisabledFrameKeepsMouseAndKeyboardFromItsLists) {
    loadTwoBoards();
    const HWND serNo = child("SerNo");
    SetFocus(serNo);
    window.controls().detailsFrame->setEnabled(false);
    EXPECT_TRUE(IsWindowEnabled(serNo));  // the list keeps its own state
    EXPECT_NE(GetFocus(), serNo);         // but the focus left it
    bus.clearCalls();
    press(VK_UP);
    const POINT p = centre(serNo);
    SetCursorPos(p.x, p.y);
    mouse(MOUSEEVENTF_LEFTDOWN);
    mouse(MOUSEEVENTF_LEFTUP);
    pump(100);
    EXPECT_EQ(SendMessageW(serNo, CB_GETDROPPEDSTATE, 0, 0), FALSE);
    SetFocus(child("Enc8"));
    press(VK_TAB);
    EXPECT_EQ(focusName(), "NoJoy");  // Tab passes it by
    EXPECT_EQ(selectedText("SerNo"), "KX000002");
    EXPECT_TRUE(featureCalls().empty());

    // Enabled again, the same click opens it.
    window.controls().detailsFrame->setEnabled(true);
    mouse(MOUSEEVENTF_LEFTDOWN);
    mouse(MOUSEEVENTF_LEFTUP);
    pump(100);
    EXPECT_EQ(SendMessageW(serNo, CB_GETDROPPEDSTATE, 0, 0), TRUE);
    press(VK_ESCAPE);
}

TEST_F(Window, TheWheelChangesOnlyTheListWithTheFocus) {
    loadTwoBoards();
    SetFocus(child("NoJoy"));
    const POINT p = centre(child("Enc1"));
    SetCursorPos(p.x, p.y);
    bus.clearCalls();
    mouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA));
    pump(100);
    // As Windows 10 delivers it, to the window under the pointer.
    SendMessageW(child("Enc1"), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(p.x, p.y));
    EXPECT_EQ(selectedText("Enc1"), "1:1");
    EXPECT_TRUE(featureCalls().empty());

    SetFocus(child("Enc1"));
    mouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA));
    pump(100);
    EXPECT_EQ(selectedText("Enc1"), "1:2");
    EXPECT_EQ(featureCalls().size(), 2u);
}

// The tooltips that explain the controls: the Qt window's texts. (The empty list's cue banner
// needs common controls 6, which this test program, without the window's manifest, does not load.)
TEST_F(Window, TheControlsExplainThemselves) {
    load();

    HWND tips = nullptr;
    while ((tips = FindWindowExW(nullptr, tips, TOOLTIPS_CLASSW, nullptr)) &&
           GetWindow(tips, GW_OWNER) != window.handle()) {}
    ASSERT_NE(tips, nullptr);
    auto tipOf = [&](const char* name) {
        std::wstring text(1024, L'\0');
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = window.handle();
        tool.uId = reinterpret_cast<UINT_PTR>(child(name));
        tool.lpszText = text.data();
        SendMessageW(tips, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
        return std::wstring(text.c_str());
    };
    EXPECT_NE(tipOf("Enc3").find(L"1:4"), std::wstring::npos);
    EXPECT_NE(tipOf("ModeCh1").find(L"4 to 100 ms"), std::wstring::npos);
    EXPECT_NE(tipOf("NoJoy").find(L"game controllers"), std::wstring::npos);
}

TEST_F(Window, ClosingStopsTheTimerAndClosesTheBoard) {
    loadTwoBoards();
    pump(80);  // let the poll timer run
    ASSERT_EQ(bus.openHandleCount(), 1u);
    SendMessageW(window.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window.handle()));
    EXPECT_FALSE(window.controls().pollTimer->enabled());
    EXPECT_EQ(bus.openHandleCount(), 0u);
    bus.clearCalls();
    pump(120);
    EXPECT_TRUE(bus.calls().empty());
}

}  // namespace
}  // namespace korvex::ui
