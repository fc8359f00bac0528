// One USB gadget made through configfs: a device with its IDs and strings, one configuration
// holding one FunctionFS function, bound to a device controller (plugged in) or not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvex::tools {

struct GadgetIdentity {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t release = 0;                      // bcdDevice: configfs takes only BCD digits
    std::string manufacturer, productName, serial;  // UTF-8; the kernel serves them as UTF-16LE
};

// Mounts configfs when it is not mounted yet; false with errno set when the gadget directory is
// missing after that (libcomposite not loaded).
bool ensureGadgetConfigfs();

// The dummy_hcd device controllers present, in the order of their numbers.
std::vector<std::string> dummyControllers();

class ConfigfsGadget {
public:
    ConfigfsGadget() = default;
    ConfigfsGadget(const ConfigfsGadget&) = delete;
    ConfigfsGadget& operator=(const ConfigfsGadget&) = delete;
    ~ConfigfsGadget() { remove(); }

    // Makes gadget `name` whose configuration links function ffs.`function`; false with errno set.
    bool create(const std::string& name, const std::string& function, const GadgetIdentity& identity);
    // Plugs it in on `controller`; false with errno set (EBUSY: another gadget holds it).
    bool bind(const std::string& controller);
    // Unplugs it; the host sees a disconnect.
    void unbind();
    // Unplugs it and removes every directory and link made, newest first.
    void remove();

private:
    struct Made {
        std::string path;
        bool link;
    };
    std::string directory_;
    std::vector<Made> made_;  // in the order made
};

}  // namespace korvex::tools
