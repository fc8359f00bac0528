// What a control says to a screen reader through MSAA: a name and role of the window's choosing,
// where the system's standard object would name a list by its current item and call everything a
// "client". The control answers WM_GETOBJECT for its client area with an IAccessible of its own
// that wraps the standard one and hands every other question on to it; Windows and wine marshal it
// to screen readers in other processes.
#pragma once

#include <windows.h>

#include <string>

namespace korvex::ui {

struct AccessibleText {
    std::wstring name;         // empty: the standard object's name (a caption's own text)
    LONG role = 0;             // ROLE_SYSTEM_...
    std::wstring description;  // empty: the standard object's
    bool valueIsText = false;  // a value box: its window text is its value
};

// Subclasses the control until it is destroyed. A client may keep the object longer: it then
// answers CO_E_OBJNOTCONNECTED.
void makeAccessible(HWND control, AccessibleText text);

// A control made accessible whose name follows what it shows ("Button 5, down"): screen readers
// are told the name changed. Does nothing for a control not made accessible.
void renameAccessible(HWND control, std::wstring name);

// How many of these objects are alive, in this process: every one is freed once its control is
// destroyed and no client holds it.
long liveAccessibleObjects();

// COM for the window's thread, as long as the window: screen readers' calls arrive as COM calls.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool joined_ = false;
};

}  // namespace korvex::ui
