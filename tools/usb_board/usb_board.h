// A rotary-encoder board that is a real USB device to the kernel: a configfs gadget on a dummy_hcd
// controller whose FunctionFS interface answers the host's HID requests with the board's firmware
// model. Unplugging unbinds the gadget from its controller; plugging binds it again.
#pragma once

#include "common/board_console.h"
#include "configfs_gadget.h"
#include "function_fs.h"
#include "input_endpoint.h"
#include "simulation/board_firmware.h"

#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace korvex::tools {

class UsbBoard final : public ConsoleBoard {
public:
    // `name` names the gadget and its function; unique on this system.
    UsbBoard(const BoardSetup& setup, std::string name) : setup_(setup), name_(std::move(name)) {}
    UsbBoard(const UsbBoard&) = delete;
    UsbBoard& operator=(const UsbBoard&) = delete;
    ~UsbBoard() { remove(); }

    const std::string& serial() const override { return setup_.serial; }
    const BoardFirmware& firmware() const override { return firmware_; }
    BoardFirmware& firmware() override { return firmware_; }
    // The first plug makes the gadget and takes the first free controller; later ones bind to it again.
    bool plug() override;
    void unplug() override;
    void setSilent(bool silent) override;
    // Unplugs the board and removes its gadget.
    void remove();

    const std::string& controller() const { return controller_; }
    // Told every feature request it takes: "set" or "get", and the report led by its ID byte.
    void onFeature(std::function<void(const std::string& direction, std::span<const std::uint8_t> report)> log) {
        log_ = std::move(log);
    }

    // Descriptors to wait on (-1 while the gadget does not exist), and what to do when readable.
    // While a request is left unanswered, the host's next event is waited for instead of ep0.
    int controlEvents() const { return unanswered_ ? function_.eventNotifier() : function_.ep0(); }
    int inputCompletions() const { return input_.completions(); }
    void handleControl();
    void handleInputCompletion() { input_.reap(); }
    // The buttons as the firmware reports them, unless the board is silent, unplugged or not
    // configured by the host, or a report still waits for the host: the firmware keeps a change
    // it could not send, so no press or release of a turn is lost.
    void sendButtons();
    // When a turn's next press or release is due to be sent; nothing while none is, or while
    // the board cannot send (a waiting report ends through inputCompletions()).
    std::optional<std::chrono::steady_clock::time_point> nextReportDue() const {
        if (setup_.silent || !plugged_ || !enabled_ || input_.waiting()) return std::nullopt;
        return firmware_.nextChange();
    }

private:
    bool make();
    void answer(const usb_ctrlrequest& setup);

    BoardSetup setup_;
    std::string name_;
    std::string controller_;
    bool plugged_ = false;
    bool enabled_ = false;     // the host has configured the device
    bool unanswered_ = false;  // a GET_REPORT left unanswered (a hanging board); the host times it out
    std::uint8_t idle_ = 0;
    BoardFirmware firmware_;
    ConfigfsGadget gadget_;
    FunctionFs function_;
    InputEndpoint input_;
    std::function<void(const std::string&, std::span<const std::uint8_t>)> log_;
};

}  // namespace korvex::tools
