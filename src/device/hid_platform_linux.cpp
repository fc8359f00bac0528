// in progress: hidraw + udev
#include "device/hid_platform.h"
namespace korvex {
std::unique_ptr<HidPlatform> makeSystemHidPlatform() { return nullptr; }
}
