// CPU time of one searching walk on the real kernel: discovery over the hidraw platform looking for
// a board that is not there, against hidapi's hid_enumerate(0x5A17, 0x0102) over the same foreign
// HID devices (uhid mice). Run by scripts/walk-bench in a QEMU guest; needs root and /dev/uhid.
//   korvex-walk-bench [FOREIGN_COUNT]...    (default: 16 64)
#include "device/device_session.h"
#include "device/discovery.h"
#include "device/hid_platform.h"
#include "virtual_board/uhid_device.h"

#include <hidapi/hidapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <list>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace korvex;
using namespace std::chrono_literals;

constexpr std::uint8_t kMouseDescriptor[] = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00,              // Mouse, Pointer
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01,              //   three buttons
    0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x01,  //   and padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F,              //   X, Y relative
    0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0,
};

double cpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// CPU microseconds per call of `walk`, over at least half a second of CPU time after one warm-up.
double cpuPerWalk(const std::function<void()>& walk) {
    walk();
    const double start = cpuSeconds();
    int walks = 0;
    while (walks < 20 || cpuSeconds() - start < 0.5) {
        walk();
        ++walks;
    }
    return (cpuSeconds() - start) * 1e6 / walks;
}

std::size_t interfaceCount(HidPlatform& platform) {
    const auto walk = platform.walkInterfaces();
    std::size_t count = 0;
    for (std::string path; walk->interfacePath(static_cast<std::uint32_t>(count), path);) ++count;
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(static_cast<std::size_t>(std::atoi(argv[i])));
    if (counts.empty()) counts = {16, 64};
    if (hid_init() != 0) {
        std::fprintf(stderr, "hid_init failed\n");
        return 1;
    }
    std::list<korvex::tools::UhidDevice> mice;  // not moved once made
    const auto platform = makeSystemHidPlatform();
    bool allWithin = true;
    for (const std::size_t count : counts) {
        while (mice.size() < count) {
            const std::string serial = "MOUSE" + std::to_string(mice.size());
            if (!mice.emplace_back().create({"Bench Mouse", serial, 0x1209, 0x0001, 0x0100, kMouseDescriptor, 0})) {
                std::perror("/dev/uhid");
                return 1;
            }
        }
        for (int k = 0; k < 500 && interfaceCount(*platform) < count; ++k) std::this_thread::sleep_for(10ms);

        DeviceSession session;
        const double ours = cpuPerWalk([&] { openBoard(*platform, session, "KX-ABSENT"); });
        const double theirs = cpuPerWalk([] { hid_free_enumeration(hid_enumerate(kBoardVendorId, kBoardProductId)); });
        const double ratio = ours / theirs;
        allWithin = allWithin && ratio <= 0.1;
        std::printf("%zu foreign HID devices: searching walk %.1f us CPU, hid_enumerate %.1f us CPU, ratio %.3f\n",
                    interfaceCount(*platform), ours, theirs, ratio);
    }
    hid_exit();
    std::printf("%s\n", allWithin ? "walk bench: every ratio at most 0.1" : "walk bench: a ratio above 0.1");
    return 0;
}
