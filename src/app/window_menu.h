// The entries every configurator window adds to its menu (the Qt window's context menu, the
// Win32 window's system menu), in their order, with their keys where the toolkit shows them.
#pragma once

#include <array>

namespace korvex::app {

enum class MenuCommand { TestInputs, CopyDiagnostics, About };

struct MenuEntry {
    MenuCommand command;
    const char* text;
    const char* shortcut;  // as Qt's QKeySequence reads it
};

inline constexpr std::array<MenuEntry, 3> kWindowMenu{{
    {MenuCommand::TestInputs, "Test inputs...", "Ctrl+T"},
    {MenuCommand::CopyDiagnostics, "Copy diagnostics", "Ctrl+Shift+C"},
    {MenuCommand::About, "About Korvex Rotary Encoders Configuration...", "F1"},
}};

}  // namespace korvex::app
