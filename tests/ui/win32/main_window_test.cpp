// The Win32 window on the simulated bus under wine: the scenarios every window shares, driven with
// the real keyboard and mouse (SendInput), and what only the Win32 window has (its style, colours
// and DPI scaling).
#include "ui/win32/main_window.h"
#include "app/configurator.h"
#include "app/main_form.h"
#include "device/board_commands.h"
#include "device/windows/wide_text.h"
#include "simulation/simulated_bus.h"
#include "ui/common/window_scenarios.h"
#include "ui/win32/accessible_control.h"
#include "ui/win32/message_loop.h"

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace korvex::ui {
namespace {

using korvex::testing::Key;
using korvex::testing::PixelRect;

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

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}  // the tests' texts are ASCII

std::string text(HWND window) {
    std::array<wchar_t, 256> buffer{};
    const int length = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return narrow(std::wstring(buffer.data(), static_cast<std::size_t>(length)));
}

class Win32Driver final : public korvex::testing::WindowDriver {
public:
    MainWindow window;

    HWND child(const char* name) {
        const HWND control = window.control(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    // A rectangle of a control in the window's client area.
    RECT placed(HWND control) {
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    app::FormControls& controls() override { return window.controls(); }
    void onUnload(std::function<void()> handler) override { window.onUnload(std::move(handler)); }
    bool shown() override {
        SetForegroundWindow(window.handle());
        pump(150);
        return IsWindowVisible(window.handle()) && GetForegroundWindow() == window.handle();
    }
    std::string title() override { return ::korvex::ui::text(window.handle()); }
    PixelRect clientArea() override {
        RECT client;
        GetClientRect(window.handle(), &client);
        return {client.left, client.top, client.right - client.left, client.bottom - client.top};
    }
    bool exists(const char* name) override { return window.control(name) != nullptr; }
    PixelRect geometry(const char* name) override {
        const RECT r = placed(child(name));
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    std::string controlAt(int x, int y) override {
        HWND parent = window.handle();
        POINT at{x, y};
        for (;;) {
            const HWND found = ChildWindowFromPointEx(parent, at, CWP_SKIPINVISIBLE);
            if (!found || found == parent) break;
            MapWindowPoints(parent, found, &at, 1);
            parent = found;
        }
        for (const app::ControlRow& row : app::mainForm().controls)
            if (window.control(row.name) == parent) return row.name;
        return "";
    }
    std::string text(const char* name) override {
        const HWND control = child(name);
        std::array<wchar_t, 256> name_{};
        GetClassNameW(control, name_.data(), static_cast<int>(name_.size()));
        if (std::wstring(name_.data()) == WC_COMBOBOXW) return itemText(name, selected(name));
        return ::korvex::ui::text(control);
    }
    bool enabled(const char* name) override { return IsWindowEnabled(child(name)) != FALSE; }
    int itemCount(const char* name) override { return static_cast<int>(SendMessageW(child(name), CB_GETCOUNT, 0, 0)); }
    std::string itemText(const char* name, int index) override {
        const HWND list = child(name);
        const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length == CB_ERR) return "";
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.data()));
        return narrow(item.c_str());
    }
    int selected(const char* name) override { return static_cast<int>(SendMessageW(child(name), CB_GETCURSEL, 0, 0)); }
    int checkState(const char* name) override {
        const LRESULT state = SendMessageW(child(name), BM_GETCHECK, 0, 0);
        return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
    }
    std::string tooltip(const char* name) override {
        HWND tips = nullptr;
        while ((tips = FindWindowExW(nullptr, tips, TOOLTIPS_CLASSW, nullptr)) &&
               GetWindow(tips, GW_OWNER) != window.handle()) {}
        EXPECT_NE(tips, nullptr);
        std::wstring text(1024, L'\0');
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = window.handle();
        tool.uId = reinterpret_cast<UINT_PTR>(child(name));
        tool.lpszText = text.data();
        SendMessageW(tips, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
        return narrow(text.c_str());
    }
    int textWidth(const char* name, const std::string& text) override {
        const HWND control = child(name);
        HDC dc = GetDC(control);
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        const std::wstring wide(text.begin(), text.end());  // the window's own texts are ASCII
        SIZE size{};
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        return size.cx;
    }
    int textRoom(const char* name) override {
        const HWND control = child(name);
        RECT shown = placed(control);
        if (GetParent(control) != window.handle()) {  // a frame cuts off what runs past its edge
            const RECT frame = placed(GetParent(control));
            IntersectRect(&shown, &shown, &frame);
        }
        const int width = shown.right - shown.left;
        std::array<wchar_t, 64> kind{};
        GetClassNameW(control, kind.data(), static_cast<int>(kind.size()));
        if (std::wstring(kind.data()) == WC_COMBOBOXW) {
            COMBOBOXINFO parts{};
            parts.cbSize = sizeof parts;
            GetComboBoxInfo(control, &parts);
            return width - (parts.rcButton.right - parts.rcButton.left);
        }
        if (std::wstring(kind.data()) == WC_BUTTONW) return width - GetSystemMetrics(SM_CXMENUCHECK) - 4;
        if (std::wstring(kind.data()) != WC_STATICW) return width - 2 * (6 + 2);  // a frame's caption
        return width;
    }
    bool dropped(const char* name) override { return SendMessageW(child(name), CB_GETDROPPEDSTATE, 0, 0) == TRUE; }
    void focus(const char* name) override { SetFocus(child(name)); }
    std::string focusName() override {
        const HWND focus = GetFocus();
        for (const app::ControlRow& row : app::mainForm().controls)
            if (focus && window.control(row.name) == focus) return row.name;
        return "?";
    }
    void press(Key key) override {
        static const std::map<Key, WORD> keys{{Key::Up, VK_UP},
                                              {Key::Down, VK_DOWN},
                                              {Key::Tab, VK_TAB},
                                              {Key::Space, VK_SPACE},
                                              {Key::Escape, VK_ESCAPE}};
        ::korvex::ui::press(keys.at(key));
    }
    void click(const char* name) override {
        const POINT p = centre(child(name));
        SetCursorPos(p.x, p.y);
        mouse(MOUSEEVENTF_LEFTDOWN);
        mouse(MOUSEEVENTF_LEFTUP);
        pump(100);
    }
    void wheelDown(const char* name) override {
        const HWND control = child(name);
        const POINT p = centre(control);
        SetCursorPos(p.x, p.y);
        mouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA));
        pump(100);
        // Wine gives the wheel to the focus; Windows 10 gives it to the window under the pointer.
        if (GetFocus() != control)
            SendMessageW(control, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(p.x, p.y));
    }
    void close() override { SendMessageW(window.handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }
    bool isOpen() override { return IsWindow(window.handle()) != FALSE; }
    void pump(int milliseconds) override { ::korvex::ui::pump(static_cast<DWORD>(milliseconds)); }

    void offerInputTest(std::function<void()> open) override { window.setOpenInputTest(std::move(open)); }
    void offerDiagnostics(std::function<std::string()> gather) override { window.setDiagnostics(std::move(gather)); }
    std::vector<std::string> menuEntries() override {
        std::vector<std::string> entries;
        whileMenuIsOpen([&entries](HMENU menu) {
            for (int k = 0; k < GetMenuItemCount(menu); ++k) entries.push_back(menuText(menu, k));
        });
        return entries;
    }
    // Chosen from the opened menu as the menu itself reports a choice: WM_SYSCOMMAND with its id.
    void choose(const std::string& entry) override {
        UINT id = 0;
        whileMenuIsOpen([&](HMENU menu) {
            for (int k = 0; k < GetMenuItemCount(menu); ++k)
                if (menuText(menu, k) == entry && !(GetMenuState(menu, k, MF_BYPOSITION) & MF_GRAYED))
                    id = GetMenuItemID(menu, k);
        });
        ASSERT_NE(id, 0u) << "no entry " << entry;
        PostMessageW(window.handle(), WM_SYSCOMMAND, id, 0);
        pump(100);
    }
    std::string clipboardText() override {
        std::string text;
        if (!OpenClipboard(window.handle())) return text;
        if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = fromWide(wide);
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        return text;
    }
    void setClipboardText(const std::string& text) override {
        ASSERT_TRUE(OpenClipboard(window.handle()));
        EmptyClipboard();
        const std::wstring wide = toWide(text);
        const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
        std::memcpy(GlobalLock(memory), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
    }
    // The message box is modal: it is read and closed from a timer that runs inside its own loop.
    std::string aboutText() override {
        static std::string shown;
        shown.clear();
        const UINT_PTR timer = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) {
            const HWND box = FindWindowW(L"#32770", nullptr);
            if (!box) return;
            std::array<wchar_t, 2048> text{};
            GetDlgItemTextW(box, 0xFFFF, text.data(), static_cast<int>(text.size()));
            std::array<wchar_t, 256> title{};
            GetWindowTextW(box, title.data(), static_cast<int>(title.size()));
            shown = fromWide(title.data()) + "\n" + fromWide(text.data());
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        choose("About Korvex Rotary Encoders Configuration...");
        KillTimer(nullptr, timer);
        return shown;
    }

private:
    static std::string menuText(HMENU menu, int position) {
        std::array<wchar_t, 256> text{};
        const int length = GetMenuStringW(menu, static_cast<UINT>(position), text.data(), static_cast<int>(text.size()),
                                          MF_BYPOSITION);
        return fromWide(std::wstring_view(text.data(), static_cast<std::size_t>(std::max(length, 0))));
    }
    // Opens the system menu as a person does, with Alt+Space, hands it to `read` from inside the
    // menu's own loop and closes it again.
    void whileMenuIsOpen(const std::function<void(HMENU)>& read) {
        static const std::function<void(HMENU)>* reader = nullptr;
        static bool seen = false;
        reader = &read;
        seen = false;
        const UINT_PTR timer = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) {
            const HWND popup = FindWindowW(L"#32768", nullptr);
            if (!popup || !IsWindowVisible(popup) || seen) return;
            const auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
            if (!menu) return;
            seen = true;
            (*reader)(menu);
            EndMenu();
        });
        SetForegroundWindow(window.handle());
        std::array<INPUT, 4> input{};
        for (INPUT& key : input) key.type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[3].ki.wVk = VK_MENU;
        input[1].ki.wVk = input[2].ki.wVk = VK_SPACE;
        input[2].ki.dwFlags = input[3].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
        for (int waited = 0; waited < 3000 && !seen; waited += 100) ::korvex::ui::pump(100);
        KillTimer(nullptr, timer);
        ::korvex::ui::pump(100);
        EXPECT_TRUE(seen) << "the system menu did not open";
    }
};

class Window : public ::testing::Test {
protected:
    // Without an X display wine shows nothing and takes no input: that fails, never passes.
    void SetUp() override {
        wchar_t display[64] = {};
        const DWORD length = GetEnvironmentVariableW(L"DISPLAY", display, static_cast<DWORD>(std::size(display)));
        ASSERT_TRUE(length > 0 && length < std::size(display))
            << "no DISPLAY: run the window tests on an X server (Xvfb)";
    }
    void load() { scenarios.load(); }
    HWND child(const char* name) { return driver.child(name); }
    RECT placed(HWND control) { return driver.placed(control); }

    SimulatedBus bus;
    Win32Driver driver;
    MainWindow& window = driver.window;
    korvex::testing::WindowScenarios scenarios{bus, driver};
};

KORVEX_WINDOW_SCENARIOS(Window)

// What the Win32 window alone shows at start: a fixed frame, Arial at 9.75 pt, and the value boxes
// and the separator in their system colours.
TEST_F(Window, StartsInItsOwnLook) {
    load();
    const LONG_PTR style = GetWindowLongPtrW(window.handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);  // fixed size
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(child("Enc1"), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Arial");
    EXPECT_EQ(font.lfHeight, -13);  // 9.75 pt at 96 DPI

    // The value boxes show the window colour, the separator the active-border colour.
    HDC dc = GetDC(window.handle());
    EXPECT_EQ(GetPixel(dc, 250, 80), GetSysColor(COLOR_WINDOW));         // lblProduct
    EXPECT_EQ(GetPixel(dc, 100, 288), GetSysColor(COLOR_ACTIVEBORDER));  // Line1
    ReleaseDC(window.handle(), dc);
}

TEST_F(Window, EveryControlScalesWithTheDpi) {
    load();
    const std::vector<korvex::testing::Placed>& expected = korvex::testing::expectedPlacement();
    // Moved to a 144 DPI monitor, everything is 1.5 times larger and neighbours stay aligned.
    RECT suggested{0, 0, 600, 700};
    SendMessageW(window.handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    pump(50);
    RECT client;
    GetClientRect(window.handle(), &client);
    EXPECT_NEAR(client.right, 297 * 1.5, 1);
    EXPECT_NEAR(client.bottom, 385 * 1.5, 1);
    for (const korvex::testing::Placed& p : expected) {
        const RECT r = placed(child(p.name));
        EXPECT_NEAR(r.left, p.rect.x * 1.5, 1) << p.name;
        EXPECT_NEAR(r.top, p.rect.y * 1.5, 1) << p.name;
        EXPECT_NEAR(r.right, (p.rect.x + p.rect.width) * 1.5, 1) << p.name;
        EXPECT_NEAR(r.bottom, (p.rect.y + p.rect.height) * 1.5, 1) << p.name;
    }
    EXPECT_EQ(placed(child("Enc1")).right, placed(child("Enc4")).right);
    EXPECT_EQ(placed(child("Enc5")).top, placed(child("Enc1")).top);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(child("Label1"), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, -20);
}

// A path of the build as a wine drive path (Z: is the host's root).
std::wstring winePath(const char* path) {
    std::wstring wide;
    for (const char* c = path; *c; ++c) wide += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return wide.starts_with(L'\\') ? L"Z:" + wide : wide;
}

// Runs the window probe with --accessible in a process of its own while this window answers its
// questions, and returns what it printed.
std::string probeFromOutside() {
    wchar_t folder[MAX_PATH] = {}, file[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"kxp", 0, file);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE out = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    const std::wstring program = winePath(KORVEX_WINDOW_PROBE_EXE);
    std::wstring commandLine = L"\"" + program + L"\" --accessible --wait 10";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(out);
    EXPECT_TRUE(started) << "could not start the probe";
    if (!started) return {};
    // Its questions arrive as COM calls through this thread's messages.
    const ULONGLONG end = GetTickCount64() + 60000;
    while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT && GetTickCount64() < end) pump(20);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    DeleteFileW(file);
    return text.str();
}

// A screen reader in another process hears each control by its own name and role: a list by its
// pair or purpose, never by its value, the frames as groups, the captions as text.
TEST_F(Window, AScreenReaderInAnotherProcessHearsEachControlsNameAndRole) {
    scenarios.loadTwoBoards();
    const std::string heard = probeFromOutside();
    const char* const expected[] = {
        R"(role=46 name="Encoder mode, buttons 1-2")",
        R"(role=46 name="Encoder mode, buttons 9-10")",
        R"(role=46 name="Encoder mode, buttons 15-16")",
        R"(role=46 name="Encoder pulse length")",
        R"(role=46 name="Serial number")",
        R"(role=44 name="Hide from gaming devices list")",
        R"(role=20 name="Device details")",
        R"(role=20 name="Rotary encoder type for button pairs")",
        R"(role=41 name="Serial Number")",
        R"(role=41 name="5-6")",
        R"(role=41 name="Manufacturer")",
        R"(role=41 name="Version")",
    };
    for (const char* line : expected) EXPECT_NE(heard.find(line), std::string::npos) << line << "\n" << heard;
    EXPECT_EQ(heard.find("role=10 "), std::string::npos) << heard;  // no control is a bare "client"
    EXPECT_EQ(heard.find(R"(name="1:4")"), std::string::npos) << heard;
}

// A client may hold a control's object past the control: it then fails every question, and once
// let go nothing is left, however often it was asked for.
TEST_F(Window, AControlsAccessibleObjectOutlivesItAndIsFreedOnce) {
    constexpr GUID iidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    load();
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    IAccessible* held = nullptr;
    for (int i = 0; i < 50; ++i) {
        IAccessible* object = nullptr;
        ASSERT_EQ(AccessibleObjectFromWindow(child("Enc5"), static_cast<DWORD>(OBJID_CLIENT), iidAccessible,
                                             reinterpret_cast<void**>(&object)),
                  S_OK);
        if (held) held->Release();
        held = object;
    }
    BSTR name = nullptr;
    ASSERT_EQ(held->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name), L"Encoder mode, buttons 9-10");
    SysFreeString(name);

    driver.close();
    ASSERT_FALSE(IsWindow(window.handle()));
    name = nullptr;
    EXPECT_EQ(held->get_accName(self, &name), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(liveAccessibleObjects(), 1);
    held->Release();
    EXPECT_EQ(liveAccessibleObjects(), 0);
}

// Presses Alt+F4 as a person does, through the window's own message loop, and waits at most 3 s
// for the window to go. Returns when the key was sent.
std::chrono::steady_clock::time_point pressAltF4(HWND window) {
    std::array<INPUT, 4> input{};
    const WORD keys[] = {VK_MENU, VK_F4, VK_F4, VK_MENU};
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = keys[i];
        input[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    const auto sent = std::chrono::steady_clock::now();
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    while (IsWindow(window) && std::chrono::steady_clock::now() - sent < std::chrono::seconds(3)) pump(5);
    return sent;
}

void click(POINT at) {
    SetCursorPos(at.x, at.y);
    mouse(MOUSEEVENTF_LEFTDOWN);
    mouse(MOUSEEVENTF_LEFTUP);
    pump(150);
}

// A list that has been used keeps the focus, and wine's combo box keeps every system key, Alt+F4
// included, to itself: the loop closes the window before the list sees the key.
TEST_F(Window, AltF4ClosesTheWindowAfterAListWasChosenFromByMouse) {
    scenarios.loadTwoBoards();
    const HWND enc5 = child("Enc5");
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    ASSERT_TRUE(GetComboBoxInfo(enc5, &parts));
    click(centre(enc5));
    ASSERT_EQ(SendMessageW(enc5, CB_GETDROPPEDSTATE, 0, 0), TRUE);
    RECT item;
    ASSERT_NE(SendMessageW(parts.hwndList, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item)), LB_ERR);
    MapWindowPoints(parts.hwndList, nullptr, reinterpret_cast<POINT*>(&item), 2);
    click({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    EXPECT_EQ(driver.text("Enc5"), "1:2");
    click(centre(enc5));
    press(VK_ESCAPE);
    ASSERT_EQ(SendMessageW(enc5, CB_GETDROPPEDSTATE, 0, 0), FALSE);
    ASSERT_EQ(GetFocus(), enc5);

    const auto sent = pressAltF4(window.handle());
    EXPECT_FALSE(IsWindow(window.handle())) << "Alt+F4 left the window open";
    ASSERT_TRUE(scenarios.unloadedAt) << "Alt+F4 did not close the window";
    // The close starts at once; destroying the window then takes wine about 2 s more on a display
    // without a window manager (it waits that long for one to withdraw the window).
    const auto began = std::chrono::duration_cast<std::chrono::milliseconds>(*scenarios.unloadedAt - sent);
    std::printf("Alt+F4: closing began after %lld ms\n", static_cast<long long>(began.count()));
    EXPECT_LT(began.count(), 250);
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

// As on Windows, Alt+F4 with a list's drop-down open closes the window, not just the list.
TEST_F(Window, AltF4ClosesTheWindowWithAListOpen) {
    scenarios.loadTwoBoards();
    click(centre(child("SerNo")));
    ASSERT_EQ(SendMessageW(child("SerNo"), CB_GETDROPPEDSTATE, 0, 0), TRUE);
    pressAltF4(window.handle());
    EXPECT_FALSE(IsWindow(window.handle())) << "Alt+F4 left the window open";
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

// All a control's text, however long.
std::string wholeText(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return fromWide(text);
}

// The name a screen reader hears for a control.
std::wstring accessibleName(HWND control) {
    constexpr GUID iidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    IAccessible* object = nullptr;
    if (AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), iidAccessible,
                                   reinterpret_cast<void**>(&object)) != S_OK)
        return L"?";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const std::wstring heard = object->get_accName(self, &name) == S_OK && name ? name : L"?";
    SysFreeString(name);
    object->Release();
    return heard;
}

// The input test window as a person uses it, on a board that reports when its buttons change: opened
// from the menu beside the main window, it follows the encoder on pair 5-6 (1:1) turned five steps
// one way and three back, logs each step with its pulse lengths, tells a screen reader which button
// is down, starts again on Reset, copies its log, moves with Tab, closes with Escape from the log,
// and never writes to the board.
TEST_F(Window, TheInputTestFollowsATurnedEncoderAndWritesNothing) {
    bus.setRealWaits(true);
    bus.addDevice(
        korvex::testing::board(u"KX000001", {.modesLow = 0x04, .modesHigh = 0, .pulseCode = 3, .hideFlag = 0}));
    app::Configurator logic(bus, window.controls(), app::DeviceThreads::Worker, [this] { window.wake(); });
    window.onWake([&logic] { logic.deliverResults(); });
    window.onUnload([&logic] { logic.stop(); });
    window.setOpenInputTest([this, &logic] { window.showInputTest(logic); });
    logic.start();
    for (int i = 0; i < 300 && window.controls().encoderLists[2]->text() != "1:1"; ++i) driver.pump(10);
    ASSERT_EQ(window.controls().encoderLists[2]->text(), "1:1");

    driver.choose("Test inputs...");
    InputTestWindow* test = window.inputTest();
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(text(test->handle()), "Test inputs - KX000001");
    RECT mainRect, testRect;
    GetWindowRect(window.handle(), &mainRect);
    GetWindowRect(test->handle(), &testRect);
    EXPECT_GE(testRect.left, mainRect.right);  // beside it, not over it
    auto shows = [test](const char* name) { return wholeText(test->control(name)); };

    bus.withLock([](SimulatedBus& b) {
        b.firmware(0).turn(3, 5, 20);
        b.firmware(0).turn(3, -3, 20);
    });
    for (int i = 0; i < 300 && shows("Count3") != "+2"; ++i) driver.pump(10);  // the turn takes 0.4 s
    EXPECT_EQ(shows("Count3"), "+2");
    const std::string log = shows("txtLog");
    EXPECT_NE(log.find("step 5-6 +1 (button 5), count +5\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("step 5-6 -1 (button 6), count +2\r\n"), std::string::npos) << log;
    EXPECT_EQ(shows("Pulses3").rfind("Pulses ", 0), 0u) << shows("Pulses3");
    EXPECT_NE(shows("Pulses3").find("ms, set 12 ms"), std::string::npos) << shows("Pulses3");
    EXPECT_EQ(shows("Glitches3"), "Glitches: 0");
    EXPECT_EQ(shows("Count1"), "");  // pair 1-2 is two plain buttons, without arrows
    EXPECT_TRUE(IsWindowVisible(test->control("Forward3")));
    EXPECT_FALSE(IsWindowVisible(test->control("Forward1")));

    bus.withLock([](SimulatedBus& b) { b.firmware(0).holdButtons(0x0001); });
    for (int i = 0; i < 100 && accessibleName(test->control("Lamp1")) != L"Button 1, down"; ++i) driver.pump(10);
    EXPECT_EQ(accessibleName(test->control("Lamp1")), L"Button 1, down");
    EXPECT_EQ(accessibleName(test->control("Lamp2")), L"Button 2, up");
    EXPECT_EQ(accessibleName(test->control("Count3")), L"Step count, buttons 5-6");

    click(centre(test->control("cmdCopyLog")));
    const std::string copied = driver.clipboardText();
    EXPECT_NE(copied.find("count +5\r\n"), std::string::npos) << copied;
    EXPECT_NE(copied.find("count +2\r\n"), std::string::npos) << copied;
    click(centre(test->control("cmdReset")));
    EXPECT_EQ(shows("Count3"), "0");
    EXPECT_EQ(shows("txtLog"), "");

    EXPECT_EQ(GetFocus(), test->control("cmdReset"));
    press(VK_TAB);
    EXPECT_EQ(GetFocus(), test->control("cmdCopyLog"));
    press(VK_TAB);
    EXPECT_EQ(GetFocus(), test->control("txtLog"));
    const HWND closing = test->handle();
    press(VK_ESCAPE);
    for (int i = 0; i < 100 && IsWindow(closing); ++i) driver.pump(10);
    EXPECT_FALSE(IsWindow(closing));
    EXPECT_EQ(window.inputTest(), nullptr);

    std::size_t writes = 0;
    bus.withLock([&writes](SimulatedBus& b) {
        for (const SimCall& call : b.calls())
            if (call.op == SimOp::SetFeature && call.bytes.size() > 1 &&
                (call.bytes[1] == kWriteMarker || call.bytes[1] == kFollowUpMarker))
                ++writes;
    });
    EXPECT_EQ(writes, 0u);
    driver.close();
}

// The window as a user meets a board that never answers a read, listed last beside a good one: it
// takes the keyboard at once, reaches the good board within a second, and closes without waiting
// for the hanging read.
TEST(WindowBesideAHangingBoard, StaysUsableAndClosesAtOnce) {
    SimulatedBus bus;
    bus.addDevice(korvex::testing::board(u"KX000001", {0x00, 0x04, 3, 0}));  // pair 5-6 at 1:2; 12 ms
    bus.addDevice(korvex::testing::board(u"KX000002", {}));
    bus.setFault(1, FeatureFault::Hang);
    bus.setHangTimeout(std::chrono::seconds(20));
    {
        MainWindow window;
        app::Configurator logic(bus, window.controls(), app::DeviceThreads::Worker, [&window] { window.wake(); });
        window.onWake([&logic] { logic.deliverResults(); });
        ULONGLONG stopped = 0;
        window.onUnload([&] {
            logic.stop();
            stopped = GetTickCount64();
        });
        logic.start();
        SetForegroundWindow(window.handle());
        const HWND serNo = window.control("SerNo");
        for (int i = 0; i < 200 && !(SendMessageW(serNo, CB_GETCOUNT, 0, 0) == 2 && bus.hungRequests() == 1); ++i)
            pump(10);
        ASSERT_EQ(bus.hungRequests(), 1u);

        const ULONGLONG chosen = GetTickCount64();
        SetFocus(serNo);
        press(VK_UP);
        EXPECT_EQ(window.controls().serialList->text(), "KX000001");
        const app::ListControl& pulse = *window.controls().pulseList;
        while (pulse.text() != "12 ms" && GetTickCount64() - chosen < 1000) pump(10);
        EXPECT_EQ(pulse.text(), "12 ms");
        EXPECT_LT(GetTickCount64() - chosen, 1000u);
        EXPECT_EQ(window.controls().encoderLists[2]->text(), "1:2");

        // The board is let go at once; wine itself then waits up to 2 s for a window manager
        // (none runs on Xvfb here) before the window is gone.
        const ULONGLONG closing = GetTickCount64();
        SendMessageW(window.handle(), WM_CLOSE, 0, 0);
        ASSERT_NE(stopped, 0u);
        EXPECT_LT(stopped - closing, 300u);
        EXPECT_EQ(bus.hungRequests(), 1u);
    }
    bus.setFault(1, FeatureFault::None);
    for (int i = 0; i < 200 && app::DeviceWorker::stillRunning() > 0; ++i) Sleep(10);
    EXPECT_EQ(app::DeviceWorker::stillRunning(), 0);
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

}  // namespace
}  // namespace korvex::ui
