#include "app/diagnostics.h"

#include "app/system_error.h"
#include "app/udev_rule.h"
#include "protocol/device_panel.h"
#include "protocol/settings.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace korvex::app {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool wordCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
}

// Every string in the tree, scrubbed.
void scrubAll(nlohmann::json& value, const std::string& home, const std::string& user) {
    if (value.is_string()) {
        value = scrubbed(value.get<std::string>(), home, user);
    } else if (value.is_structured()) {
        for (auto& item : value) scrubAll(item, home, user);
    }
}

}  // namespace

std::string systemVersion() {
#ifdef _WIN32
    // GetVersionEx answers what the program's manifest declares; ntdll tells the real version.
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto get =
        ntdll ? reinterpret_cast<GetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))) : nullptr;
    if (!get || get(&info) != 0) return "Windows";
    return "Windows " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(info.dwBuildNumber);
#else
    utsname name{};
    if (::uname(&name) != 0) return "unknown";
    return std::string(name.sysname) + " " + name.release + " " + name.machine;
#endif
}

Diagnostics gatherDiagnostics(HidPlatform& platform, const std::string& program,
                              const std::function<std::string(int)>& errorText) {
    Diagnostics diagnostics;
    diagnostics.program = program;
    diagnostics.system = systemVersion();
    DeviceSession session;
    diagnostics.boards = scanBoards(platform, session);
    for (const BoardRecord& board : diagnostics.boards)
        if (!board.usable()) diagnostics.errors.push_back({board.path, board.openError, errorText(board.openError)});
    const auto first = std::find_if(diagnostics.boards.begin(), diagnostics.boards.end(),
                                    [](const BoardRecord& board) { return board.usable(); });
    if (first == diagnostics.boards.end()) return diagnostics;
    diagnostics.loadedSerial = first->serial;
    if (!openBoardAt(platform, session, first->path, first->serial)) {
        const int error = platform.lastError();
        diagnostics.loadedState = "could not be opened again";
        diagnostics.errors.push_back({first->path, error, errorText(error)});
        return diagnostics;
    }
    const PanelView view = readPanel(platform, session);
    switch (view.state) {
    case PanelState::Loaded:
        diagnostics.loadedState = "loaded";
        diagnostics.loadedSettings = view.settings;
        break;
    case PanelState::Refused: diagnostics.loadedState = "firmware too old"; break;
    case PanelState::Unsupported: diagnostics.loadedState = "feature reports of an unknown length"; break;
    case PanelState::Faulted: {
        const int error = platform.lastError();
        diagnostics.loadedState = "no answer when its settings were read";
        diagnostics.errors.push_back({first->path, error, errorText(error)});
        break;
    }
    case PanelState::Cleared: diagnostics.loadedState = "not open"; break;
    }
    platform.close(session.deviceHandle);
    return diagnostics;
}

std::string scrubbed(std::string text, const std::string& home, const std::string& user) {
    // The home folder first: it usually holds the user name, and "~" says more than "<user>".
    if (home.size() > 1)
        for (std::size_t at; (at = text.find(home)) != std::string::npos;) text.replace(at, home.size(), "~");
    if (user.empty()) return text;
    for (std::size_t at = 0; (at = text.find(user, at)) != std::string::npos;) {
        const bool startsWord = at == 0 || !wordCharacter(text[at - 1]);
        const bool endsWord = at + user.size() == text.size() || !wordCharacter(text[at + user.size()]);
        if (startsWord && endsWord) {
            text.replace(at, user.size(), "<user>");
            at += 6;
        } else {
            at += user.size();
        }
    }
    return text;
}

std::string diagnosticsJson(const Diagnostics& diagnostics, std::string home, std::string user) {
#ifdef _WIN32
    if (home.empty()) home = environment("USERPROFILE");
    if (user.empty()) user = environment("USERNAME");
#else
    if (home.empty()) home = environment("HOME");
    if (user.empty()) user = environment("USER");
    if (user.empty()) user = environment("LOGNAME");
#endif
    nlohmann::json json;
    json["program"] = diagnostics.program;
    json["system"] = diagnostics.system;
    json["boards"] = nlohmann::json::array();
    for (const BoardRecord& board : diagnostics.boards) {
        const bool usable = board.usable();
        json["boards"].push_back(
            {{"path", board.path},
             {"serial", usable ? nlohmann::json(board.serial) : nlohmann::json()},
             {"firmware", usable ? nlohmann::json(versionText(board.attributes.releaseNumber)) : nlohmann::json()},
             {"access", usable                 ? "ok"
                        : board.accessDenied() ? "denied"
                                               : "failed"}});
    }
    if (diagnostics.udevRule) {
        const UdevRuleState& rule = *diagnostics.udevRule;
        nlohmann::json nodes = nlohmann::json::array();
        for (const auto& node : rule.nodes)
            nodes.push_back(
                {{"path", node.path}, {"serial", node.serial}, {"access", node.access}, {"rule_applied", node.tagged}});
        json["udev_rule"] = {
            {"installed", rule.installedAt.empty() ? nlohmann::json() : nlohmann::json(rule.installedAt)},
            {"differs", rule.differs},
            {"nodes", nodes}};
    }
    if (diagnostics.loadedSerial) {
        nlohmann::json loaded{{"serial", *diagnostics.loadedSerial}, {"state", diagnostics.loadedState}};
        if (const auto& settings = diagnostics.loadedSettings) {
            nlohmann::json modes;
            for (int pair = 1; pair <= kPairCount; ++pair) {
                const int code = encoderModeOf({settings->modesLow, settings->modesHigh}, pair);
                modes[pairName(pair)] = kEncoderModeTexts[static_cast<std::size_t>(code)];
            }
            loaded["modes"] = modes;
            loaded["pulse_code"] = settings->pulseCode;
            loaded["pulse_ms"] = settings->pulseCode >= 1 && settings->pulseCode <= 25
                                     ? nlohmann::json(4 * settings->pulseCode)
                                     : nlohmann::json();
            loaded["hide"] = settings->hideFlag;
        }
        json["loaded_board"] = loaded;
    } else {
        json["loaded_board"] = nullptr;
    }
    json["errors"] = nlohmann::json::array();
    for (const auto& error : diagnostics.errors)
        json["errors"].push_back({{"where", error.where}, {"code", error.code}, {"text", error.text}});
    scrubAll(json, home, user);
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string diagnosticsReport(HidPlatform& platform, const std::string& program, const SystemPaths* udev) {
    Diagnostics diagnostics = gatherDiagnostics(platform, program, systemErrorText);
#ifndef _WIN32
    if (udev) diagnostics.udevRule = udevRuleState(*udev);
#else
    (void)udev;
#endif
    return diagnosticsJson(diagnostics);
}

}  // namespace korvex::app
