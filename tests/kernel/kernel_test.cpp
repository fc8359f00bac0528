// Drives the configurator's hidraw platform, discovery and command reports against boards that
// the real kernel believes are plugged in (korvex-virtual-board on /dev/uhid, korvex-usb-board on
// dummy_hcd); on both kinds, boards that share a serial number or answer short or never, and an
// encoder turned while korvexctl watches.
//
//   korvex-kernel-test [--board-program PATH] [--korvexctl PATH] [--exit-port]
//
// Prints "KERNEL TEST PASSED" and exits 0 when every check holds. With --exit-port it also hands
// the verdict to QEMU's isa-debug-exit device at port 0xf4 (0 for a pass, 1 for a failure).
#include "app/configurator.h"
#include "app/control_texts.h"
#include "board_process.h"
#include "check_line.h"
#include "device/device_session.h"
#include "device/device_strings.h"
#include "device/discovery.h"
#include "device/hid_platform.h"
#include "fault_checks.h"
#include "korvexctl_steps.h"
#include "protocol/command_reports.h"
#include "simulation/board_firmware.h"
#include "support/memory_controls.h"
#include "turn_checks.h"
#include "usb_board_checks.h"

#include <sys/io.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

using namespace korvex;
using korvex::kerneltest::BoardProcess;
using korvex::kerneltest::CheckLog;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

CheckLog check;

std::chrono::milliseconds since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

std::vector<std::string> interfacePaths(HidPlatform& platform) {
    std::vector<std::string> paths;
    const auto walk = platform.walkInterfaces();
    for (std::string path; walk->interfacePath(static_cast<std::uint32_t>(paths.size()), path);) paths.push_back(path);
    return paths;
}

// The kernel adds a uhid device's hidraw node a little after the device is created.
bool waitForInterfaces(HidPlatform& platform, std::size_t count) {
    const auto start = Clock::now();
    while (since(start) < 5s) {
        if (interfacePaths(platform).size() == count) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// A value of the HID device's uevent, read straight from sysfs: the test's own view of a node.
std::string ueventValue(const std::string& node, const std::string& key) {
    std::ifstream uevent("/sys/class/hidraw/" + node.substr(node.rfind('/') + 1) + "/device/uevent");
    for (std::string line; std::getline(uevent, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

std::string deviceString(HidPlatform& platform, HidHandle handle, HidString which) {
    std::string text;
    if (!platform.getString(handle, which, text)) return "<none>";
    return narrowDeviceString(text);
}

// The serial numbers of the boards a scan lists for choosing, in enumeration order.
std::vector<std::string> listedSerials(HidPlatform& platform, DeviceSession& session) {
    std::vector<std::string> serials;
    for (const BoardRecord& board : scanBoards(platform, session))
        if (board.usable()) serials.push_back(board.serial);
    return serials;
}

// Scans as an unprivileged user, who may not open the root-only nodes: a hundred times the boards
// refused with "permission denied", plus ten times the interfaces walked, plus the boards listed.
int scanWithoutAccess() {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
        const auto platform = makeSystemHidPlatform();
        DeviceSession session;
        int denied = 0, listed = 0;
        for (const BoardRecord& board : scanBoards(*platform, session)) {
            denied += board.openError == EACCES;
            listed += board.usable();
        }
        // The window's empty list says so, rather than "No board found".
        testing::MemoryForm form;
        app::Configurator window(*platform, form.controls());
        window.start();
        if (form.SerNo.placeholder() != app::texts::kNoAccess ||
            form.SerNo.placeholderTooltip() != app::texts::kNoAccessTip)
            ::_exit(254);
        window.stop();
        ::_exit(static_cast<int>(denied * 100 + interfacePaths(*platform).size() * 10 + listed));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

struct Board {
    const char* serial;
    std::uint16_t version;
    BoardSettings written;  // what this test writes to it
};

// Every command written, read back through a select report, and the hide flag's follow-up.
void roundTrips(HidPlatform& platform, DeviceSession& session, BoardProcess& boards, const Board& board) {
    const std::string name = board.serial;
    const BoardSettings& s = board.written;
    for (const auto& [code, value] :
         {std::pair{kCommandModesLow, s.modesLow}, std::pair{kCommandModesHigh, s.modesHigh},
          std::pair{kCommandPulse, s.pulseCode}, std::pair{kCommandHide, s.hideFlag}}) {
        check(sendCommand(platform, session, code, value), name + ": write of command " + std::to_string(code));
        const auto read = queryCommand(platform, session, code);
        check(read == value, name + ": command " + std::to_string(code) + " reads back " + std::to_string(value) +
                                 " (got " + (read ? std::to_string(*read) : "nothing") + ")");
    }
    auto followUp = writeReport(session.capabilities.featureReportLength, kCommandHide, s.hideFlag);
    makeFollowUp(followUp);
    check(platform.setFeature(session.deviceHandle, followUp), name + ": follow-up report sent");
    // What the firmware itself holds, told by the board program.
    boards.send("state " + name);
    const auto state = boards.nextLine(2s);
    const std::string expected = "state " + name + " hide=" + std::to_string(s.hideFlag) +
                                 " low=" + std::to_string(s.modesLow) + " high=" + std::to_string(s.modesHigh) +
                                 " pulse=" + std::to_string(s.pulseCode) + " followups=1";
    check(state == expected, name + ": firmware holds what was written: " + state.value_or("<no answer>"));
}

void run(const std::string& boardProgram, const std::string& korvexctl) {
    const Board talking{"KXA0001", 0x0114, {0x5A, 0x0F, 7, 1}};
    const Board silent{"KXB0002", 0x0113, {0xA5, 0xF0, 25, 0}};

    BoardProcess boards;
    check(boards.start(boardProgram, {"--board", std::string(talking.serial) + ",0114", "--board",
                                      std::string(silent.serial) + ",0113,silent", "--other", "--period", "20"}),
          "board program started");
    if (!check(boards.nextLine(5s) == "ready", "two boards and a mouse created on /dev/uhid")) return;

    const auto platform = makeSystemHidPlatform();
    if (!check(waitForInterfaces(*platform, 3), "three hidraw interfaces listed")) return;
    // Which node is which is up to the kernel; sysfs tells, so the scan's order can be checked.
    const auto paths = interfacePaths(*platform);
    check(std::is_sorted(paths.begin(), paths.end(),
                         [](const std::string& a, const std::string& b) {
                             return std::stoi(a.substr(a.find_first_of("0123456789"))) <
                                    std::stoi(b.substr(b.find_first_of("0123456789")));
                         }),
          "listed by device number");
    std::vector<std::string> boardSerials;
    for (const auto& path : paths) {
        if (ueventValue(path, "HID_ID") == "0003:00005A17:00000102") {
            boardSerials.push_back(ueventValue(path, "HID_UNIQ"));
        } else {
            check(platform->open(path) == kInvalidHandle, "the mouse (another product ID) is never opened: " + path);
        }
    }
    check(boardSerials.size() == 2, "two of them are boards");

    DeviceSession session;
    check(listedSerials(*platform, session) == boardSerials, "scan lists both serials in enumeration order");

    for (const Board* board : {&talking, &silent}) {
        const std::string name = board->serial;
        if (!check(openBoard(*platform, session, name), name + ": opened by serial")) return;
        check(session.attributes.vendorId == kBoardVendorId && session.attributes.productId == kBoardProductId,
              name + ": vendor and product IDs");
        check(session.attributes.releaseNumber == board->version, name + ": release number from the input device");
        check(deviceString(*platform, session.deviceHandle, HidString::Manufacturer) == "Korvex" &&
                  deviceString(*platform, session.deviceHandle, HidString::Product) == "Rotary Encoders Interface",
              name + ": manufacturer and product from the HID name");
        check(session.capabilities.inputReportLength == 3 && session.capabilities.featureReportLength == 9,
              name + ": report lengths 3 and 9 from the real descriptor (got " +
                  std::to_string(session.capabilities.inputReportLength) + ", " +
                  std::to_string(session.capabilities.featureReportLength) + ")");
        roundTrips(*platform, session, boards, *board);
        platform->close(session.deviceHandle);
        session.deviceHandle = kInvalidHandle;
    }

    check(scanWithoutAccess() == 230,
          "a user who may not open the nodes walks all three, lists no board, learns both boards refused access, "
          "and the window's empty list says \"Board found - no access\" with the fix");

    std::array<std::uint8_t, 65> input{};
    openBoard(*platform, session, talking.serial);
    auto start = Clock::now();
    check(platform->readInput(session.deviceHandle, input, 1000ms) == InputRead::Report,
          "a talking board's report is read");
    const HidHandle first = session.deviceHandle;

    openBoard(*platform, session, silent.serial);
    start = Clock::now();
    const InputRead quiet = platform->readInput(session.deviceHandle, input, 300ms);
    const auto waited = since(start);
    check(quiet == InputRead::NoneYet && waited >= 290ms && waited < 800ms,
          "a silent board gives none-yet after the 300 ms bound (" + std::to_string(waited.count()) + " ms)");

    // Unplugged while a read waits: the read ends as gone long before its bound.
    std::thread unplugger([&boards] {
        std::this_thread::sleep_for(200ms);
        boards.send("unplug KXB0002");
    });
    start = Clock::now();
    const InputRead lost = platform->readInput(session.deviceHandle, input, 3000ms);
    const auto lostAfter = since(start);
    unplugger.join();
    check(lost == InputRead::Gone && lostAfter < 3000ms,
          "unplug during a 3000 ms read is seen as gone after " + std::to_string(lostAfter.count()) + " ms");
    check(boards.nextLine(2s) == "unplugged KXB0002", "board program confirms the unplug");
    check(!queryCommand(*platform, session, kCommandPulse), "a request to the unplugged board fails");
    check(platform->readInput(session.deviceHandle, input, 1000ms) == InputRead::Gone, "a later read is gone at once");
    platform->close(session.deviceHandle);
    session.deviceHandle = kInvalidHandle;

    check(platform->readInput(first, input, 1000ms) == InputRead::Report, "the other board still answers");
    platform->close(first);
    check(listedSerials(*platform, session) == std::vector<std::string>{talking.serial},
          "a new scan lists only the board left");

    kerneltest::runKorvexctlSteps(korvexctl, boards, talking.serial, check);
}

void reportToQemu(bool passed) {
    // isa-debug-exit makes QEMU exit with (value << 1) | 1.
    if (::ioperm(0xf4, 4, 1) == 0) ::outl(passed ? 0 : 1, 0xf4);
}

}  // namespace

int main(int argc, char** argv) {
    std::string boardProgram = "/bin/korvex-virtual-board";
    std::string korvexctl = "/bin/korvexctl";
    bool exitPort = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--board-program" && i + 1 < argc) boardProgram = argv[++i];
        else if (argument == "--korvexctl" && i + 1 < argc) korvexctl = argv[++i];
        else if (argument == "--exit-port") exitPort = true;
    }
    const auto start = Clock::now();
    run(boardProgram, korvexctl);
    check.failures += kerneltest::usbBoardChecks(boardProgram);
    check.failures += kerneltest::boardFaultChecks(boardProgram, korvexctl);
    const std::string usbBoardProgram = std::filesystem::path(boardProgram).parent_path() / "korvex-usb-board";
    check.failures += kerneltest::boardFaultChecks(usbBoardProgram, korvexctl);
    check.failures += kerneltest::encoderTurnChecks(boardProgram, korvexctl);
    check.failures += kerneltest::encoderTurnChecks(usbBoardProgram, korvexctl);
    const bool passed = check.failures == 0;
    std::cout << (passed ? "KERNEL TEST PASSED" : "KERNEL TEST FAILED: " + std::to_string(check.failures) + " checks")
              << " in " << since(start).count() << " ms" << std::endl;
    if (exitPort) reportToQemu(passed);
    return passed ? 0 : 1;
}
