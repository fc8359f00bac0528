// korvex-config.exe answers --help and --version, and refuses anything else, in a message box and
// with its exit code, without opening its window: the program itself is started and its box read.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Answer {
    std::wstring text;  // the box's texts, joined by newlines
    bool windowOpened = false;
    DWORD exitCode = STILL_ACTIVE;
};

// The build's path to the program, as a wine drive path (Z: is the host's root).
std::wstring programPath() {
    std::wstring path;
    for (const char* c = KORVEX_CONFIG_EXE; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path.starts_with(L'\\') ? L"Z:" + path : path;
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring windowText(HWND window) {
    std::wstring text(512, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

struct Search {
    DWORD process;
    HWND box = nullptr;
    bool windowOpened = false;
};

BOOL CALLBACK visit(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->process) return TRUE;
    if (className(window) == L"KorvexMainWindow") search->windowOpened = true;
    if (className(window) == L"#32770" && IsWindowVisible(window)) search->box = window;
    return TRUE;
}

BOOL CALLBACK collectText(HWND child, LPARAM context) {
    if (className(child) == L"Static" && !windowText(child).empty())
        *reinterpret_cast<std::wstring*>(context) += windowText(child) + L"\n";
    return TRUE;
}

// Starts the program with `arguments`, reads the box it shows and presses its OK button.
Answer run(const std::wstring& arguments) {
    Answer answer;
    const std::wstring program = programPath();
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "could not start " << std::string(program.begin(), program.end());
        return answer;
    }
    Search search{process.dwProcessId};
    const ULONGLONG end = GetTickCount64() + 20000;
    while (!search.box && GetTickCount64() < end && WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
    }
    if (search.box) {
        Sleep(200);  // fully built
        EnumChildWindows(search.box, collectText, reinterpret_cast<LPARAM>(&answer.text));
        PostMessageW(search.box, WM_COMMAND, IDOK, 0);
    }
    answer.windowOpened = search.windowOpened;
    if (WaitForSingleObject(process.hProcess, 10000) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &answer.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return answer;
}

TEST(ProgramOptions, AnsweredOrRefusedInABoxWithoutTheWindow) {
    struct Case {
        std::wstring arguments;
        std::wstring text;
        DWORD exitCode;
    };
    const std::vector<Case> cases = {
        {L"--version", L"korvex-config " KORVEX_VERSION_W L"\n", 0},
        {L"--help", L"Usage: korvex-config [--help | --version]\n", 0},
        {L"--version --frobnicate", L"korvex-config: unknown option '--frobnicate' (try --help)\n", 2},
        // An argument outside any code page is named as it was typed.
        {L"\"\u0141\u00f3d\u017a 2.txt\"",
         L"korvex-config: unexpected argument '\u0141\u00f3d\u017a 2.txt' (try --help)\n", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.arguments.begin(), c.arguments.end()));
        const Answer answer = run(c.arguments);
        EXPECT_TRUE(answer.text.starts_with(c.text)) << answer.text.size();
        EXPECT_EQ(answer.exitCode, c.exitCode);
        EXPECT_FALSE(answer.windowOpened);
    }
}

}  // namespace
