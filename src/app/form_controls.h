// The controls of the main window that the logic reaches, by their names in the window.
#pragma once

#include "app/controls.h"

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace korvex::ui {

inline constexpr int kEncoderCount = 8;
// The poll timer is created disabled with this interval, in milliseconds.
inline constexpr int kTimerStartInterval = 50;

struct FormControls {
    FrameControl* Frame1 = nullptr;  // "Device details"
    FrameControl* Frame3 = nullptr;  // "Rotary encoder type for button pairs:"
    ListControl* SerNo = nullptr;
    LabelControl* lblSerialNumber = nullptr;
    LabelControl* lblManuf = nullptr;
    LabelControl* lblProduct = nullptr;
    LabelControl* lblVersion = nullptr;
    std::array<ListControl*, kEncoderCount> Enc{};         // Enc1 ... Enc8
    std::array<LabelControl*, kEncoderCount> pairLabel{};  // Label6 ... Label13: "1-2" ... "15-16"
    ListControl* ModeCh1 = nullptr;
    LabelControl* Label1 = nullptr;  // "Encoders pulse length"
    CheckBoxControl* NoJoy = nullptr;
    TimerControl* Timer = nullptr;
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

}  // namespace korvex::ui
