// The controls of the main window that the logic reaches.
#pragma once

#include "app/controls.h"

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace korvex::app {

inline constexpr int kEncoderCount = 8;
// The poll timer is created disabled with this interval, in milliseconds.
inline constexpr int kTimerStartInterval = 50;

// Each member is named for its role; the window's names for the controls are in app/main_form.h.
struct FormControls {
    FrameControl* detailsFrame = nullptr;  // Frame1: "Device details"
    FrameControl* encoderFrame = nullptr;  // Frame3: "Rotary encoder type for button pairs:"
    ListControl* serialList = nullptr;     // SerNo
    LabelControl* manufacturerLabel = nullptr;
    LabelControl* productLabel = nullptr;
    LabelControl* versionLabel = nullptr;
    std::array<ListControl*, kEncoderCount> encoderLists{};  // Enc1 ... Enc8
    std::array<LabelControl*, kEncoderCount> pairLabels{};   // Label6 ... Label13: "1-2" ... "15-16"
    ListControl* pulseList = nullptr;                        // ModeCh1
    LabelControl* pulseLabel = nullptr;                      // Label1: "Encoders pulse length"
    CheckBoxControl* hideBox = nullptr;                      // NoJoy
    TimerControl* pollTimer = nullptr;
    std::function<void()> showWindow;  // makes the window visible
};

// Keeps the adapters a window makes for its controls alive as long as the window, so that the
// window holds each one once: in its FormControls.
class ControlStore {
public:
    template <typename T, typename... Args>
    T* make(Args&&... args) {
        auto control = std::make_unique<T>(std::forward<Args>(args)...);
        T* made = control.get();
        controls_.push_back(std::move(control));
        return made;
    }

private:
    std::vector<std::unique_ptr<Control>> controls_;
};

}  // namespace korvex::app
