// korvex-config: the configurator on the boards attached to this computer.
#include "app/diagnostics.h"
#include "app/program_options.h"
#include "app/run_configurator.h"
#include "device/hid_platform.h"
#include "device/windows/wide_text.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

#include <string>
#include <vector>

namespace {

// --help and --version answer, and any other argument is refused, as in the Linux window; a
// program without a console answers in a message box. Arguments arrive as UTF-16 (wmain), so a
// refused one is named as typed whatever the code page. True when the window should open.
bool answerProgramOptions(int argc, wchar_t** argv, int& exitCode) {
    std::vector<std::string> arguments;
    for (int index = 1; index < argc; ++index) arguments.push_back(korvex::fromWide(argv[index]));
    std::vector<const char*> raw;
    for (const std::string& argument : arguments) raw.push_back(argument.c_str());
    const korvex::app::OptionsOutcome outcome = korvex::app::parseProgramOptions(
        raw, {"korvex-config", KORVEX_VERSION,
              "Configure Korvex rotary encoder boards (USB 5a17:0102): the encoder mode of each button pair, "
              "the pulse length and the gaming-devices visibility."});
    if (outcome.openWindow) return true;
    std::string text = outcome.text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    MessageBoxW(nullptr, korvex::toWide(text).c_str(), L"Korvex Rotary Encoders Configuration",
                MB_OK | (outcome.exitCode == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
    exitCode = outcome.exitCode;
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int exitCode = 0;
    if (!answerProgramOptions(argc, argv, exitCode)) return exitCode;
    const auto platform = korvex::makeSystemHidPlatform();
    korvex::ui::MainWindow window;
    // Windows has no udev rule to report on.
    window.setDiagnostics([&platform = *platform] {
        return korvex::app::diagnosticsReport(platform, "korvex-config " KORVEX_VERSION, nullptr);
    });
    return korvex::app::runConfigurator(*platform, window, korvex::ui::runMessageLoop, [] { PostQuitMessage(0); });
}
