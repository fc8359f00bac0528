// The words the window says about itself: what each control is called for a screen reader, what
// its tooltip explains, and what the empty serial-number list shows. Toolkit-free, so every front
// end says the same; the logic picks the list's empty-state text, the front ends only show it.
#pragma once

#include <array>
#include <string_view>

namespace korvex::app::texts {

// A control's accessible name, and the short explanation that is both its tooltip and its
// accessible description.
struct ControlText {
    const char* name;
    const char* tip;
};

// What each encoder list explains; each is named for its pair ("Encoder mode, buttons 1-2").
inline constexpr const char* kEncoderTip =
    "How the two buttons of this pair are used:\n"
    "OFF: two ordinary buttons.\n"
    "1:1: a rotary encoder that runs one full signal cycle per detent.\n"
    "1:2: an encoder that runs one cycle every two detents.\n"
    "1:4: an encoder that runs one cycle every four detents.\n"
    "Turning the encoder one way presses the first button, the other way the second.";

inline constexpr ControlText kPulse = {
    "Encoder pulse length",
    "How long each button press that an encoder step sends lasts, 4 to 100 ms. Lengthen it if a "
    "game misses steps; shorten it if fast turns run together."};

inline constexpr ControlText kHide = {
    "Hide from gaming devices list",
    "Hidden, the board no longer appears among the system's game controllers, so games do not see "
    "its buttons. It can still be set up here."};

inline constexpr ControlText kSerial = {
    "Serial number", "The board being set up. With several boards attached, choose one by its serial number."};

inline constexpr ControlText kManufacturer = {"Manufacturer", "The maker's name that the board reports."};
inline constexpr ControlText kProduct = {"Product", "The product name that the board reports."};
inline constexpr ControlText kVersion = {
    "Version", "The board's firmware release. Its settings can be changed with firmware 0.14 or later."};

inline constexpr ControlText kDetailsGroup = {"Device details", "The board being set up."};
inline constexpr ControlText kEncodersGroup = {"Rotary encoder type for button pairs",
                                               "The encoder mode of each button pair, and the pulse length."};

// What the serial-number list shows while it lists no board: a text short enough for the narrow
// list, and the tooltip that explains it in full. The same is said in brief in the details boxes
// beside the list, greyed, one line a box (manufacturer, product, version), while they are empty.
inline constexpr const char* kNoBoard = "No board";
inline constexpr const char* kNoBoardTip =
    "No Korvex rotary encoder board is attached. Plug one in: it is listed within a moment.";
inline constexpr const char* kNoAccess = "No access";
#ifdef _WIN32
inline constexpr const char* kNoAccessTip =
    "Windows refused to open the board: another program may hold it for itself. Close that "
    "program, and the board is listed within a moment.";
#else
inline constexpr const char* kNoAccessTip =
    "A board is attached, but only root may open it until its udev rule is installed. In a terminal:\n"
    "korvexctl doctor --rule | sudo tee /etc/udev/rules.d/70-korvex-config.rules\n"
    "(or copy packaging/linux/70-korvex-config.rules to /etc/udev/rules.d/), then apply it:\n"
    "sudo udevadm control --reload && sudo udevadm trigger --action=add --subsystem-match=hidraw\n"
    "The board is then listed here without replugging it.";
#endif

// Each line is one details box's visible width at most (169 px at 96 DPI in Arial 9.75 pt); the
// window tests measure them. A leading space sets them in as far as a board's strings.
using DetailLines = std::array<const char*, 3>;
inline constexpr DetailLines kNoBoardDetails = {" No Korvex board is here.", " Plug one in: it is listed",
                                                " here within a moment."};
#ifdef _WIN32
inline constexpr DetailLines kNoAccessDetails = {" Windows refused the board:", " another program holds it.",
                                                 " Close that program."};
#else
inline constexpr DetailLines kNoAccessDetails = {" A board is here, but only", " root may open it. To fix it,",
                                                 " run: korvexctl doctor"};
#endif

// The details lines that go with what the empty list shows; nullptr for a text without them.
inline const DetailLines* emptyListDetails(std::string_view listText) {
    if (listText == kNoBoard) return &kNoBoardDetails;
    if (listText == kNoAccess) return &kNoAccessDetails;
    return nullptr;
}

}  // namespace korvex::app::texts
