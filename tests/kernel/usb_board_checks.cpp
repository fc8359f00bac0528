#include "usb_board_checks.h"

#include "board_process.h"
#include "check_line.h"
#include "device/board_commands.h"
#include "device/device_strings.h"
#include "device/discovery.h"
#include "device/hid_platform.h"
#include "protocol/command_reports.h"
#include "protocol/device_panel.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <thread>

namespace korvex::kerneltest {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

CheckLog check;

std::vector<std::string> usableSerials(HidPlatform& platform) {
    DeviceSession session;
    std::vector<std::string> serials;
    for (const BoardRecord& board : scanBoards(platform, session))
        if (board.usable()) serials.push_back(board.serial);
    std::sort(serials.begin(), serials.end());
    return serials;
}

std::size_t interfaceCount(HidPlatform& platform) {
    const auto walk = platform.walkInterfaces();
    std::size_t count = 0;
    for (std::string path; walk->interfacePath(static_cast<std::uint32_t>(count), path);) ++count;
    return count;
}

std::map<std::string, std::string> nodesBySerial(HidPlatform& platform) {
    DeviceSession session;
    std::map<std::string, std::string> nodes;
    for (const BoardRecord& board : scanBoards(platform, session)) nodes[board.serial] = board.path;
    return nodes;
}

// Polls until the listed serials are `expected` (sorted) or `bound` passes.
bool waitForSerials(HidPlatform& platform, const std::vector<std::string>& expected, std::chrono::milliseconds bound) {
    const auto start = Clock::now();
    while (Clock::now() - start < bound) {
        if (usableSerials(platform) == expected) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// The test's own view of a node: the USB device above its HID device, if it has one.
std::string usbAttribute(const std::string& node, const std::string& name) {
    std::error_code error;
    const auto hid =
        std::filesystem::canonical("/sys/class/hidraw/" + node.substr(node.rfind('/') + 1) + "/device", error);
    std::ifstream file(hid.parent_path().parent_path() / name);
    std::string value;
    std::getline(file, value);
    return error ? std::string() : value;
}

struct UsbCase {
    std::string serial;   // as the board is made (UTF-8)
    std::string listed;   // as the configurator lists it and matches it: narrowed
    std::string caption;  // its release number as shown
};

// What the platform tells of the open board, against the USB device's own attributes in sysfs.
void describedByUsbDevice(HidPlatform& platform, DeviceSession& session, const UsbCase& board) {
    const std::string& name = board.listed;
    check(session.attributes.vendorId == kBoardVendorId && session.attributes.productId == kBoardProductId,
          name + ": vendor and product IDs");
    check(usbAttribute(session.devicePath, "serial") == board.serial &&
              usbAttribute(session.devicePath, "product") == "Rotary Encoders Interface",
          name + ": its node sits under a USB device with that serial (" + session.devicePath + ")");
    const PanelView panel = readPanel(platform, session);
    check(panel.manufacturer == " " + usbAttribute(session.devicePath, "manufacturer") &&
              panel.product == " " + usbAttribute(session.devicePath, "product"),
          name + ": manufacturer and product from the USB device:" + panel.manufacturer + "," + panel.product);
    check(panel.version == board.caption, name + ": release from bcdDevice " +
                                              usbAttribute(session.devicePath, "bcdDevice") + " shown as \"" +
                                              panel.version + "\"");
    check(session.capabilities.inputReportLength == 3 && session.capabilities.featureReportLength == 9,
          name + ": report lengths 3 and 9 from the descriptor read over USB");
    check(panel.state == PanelState::Loaded && panel.settings == BoardSettings{},
          name + ": settings read back over control transfers");
    std::string text;
    const bool read = platform.getString(session.deviceHandle, HidString::SerialNumber, text);
    const std::string serial = narrowDeviceString(text);
    check(read && serial == board.listed, name + ": serial string narrowed to \"" + serial + "\"");
}

// Every command written and read back through a select report, and what the firmware then holds.
void roundTrips(HidPlatform& platform, DeviceSession& session, BoardProcess& boards, const std::string& serial,
                const BoardSettings& s) {
    for (const auto& [code, value] :
         {std::pair{kCommandModesLow, s.modesLow}, std::pair{kCommandModesHigh, s.modesHigh},
          std::pair{kCommandPulse, s.pulseCode}, std::pair{kCommandHide, s.hideFlag}}) {
        const bool written = sendCommand(platform, session, code, value);
        const auto read = queryCommand(platform, session, code);
        check(written && read == value, serial + ": command " + std::to_string(code) + " written and read back as " +
                                            (read ? std::to_string(*read) : "nothing"));
    }
    boards.send("state " + serial);
    const std::string expected = "state " + serial + " hide=" + std::to_string(s.hideFlag) +
                                 " low=" + std::to_string(s.modesLow) + " high=" + std::to_string(s.modesHigh) +
                                 " pulse=" + std::to_string(s.pulseCode) + " followups=0";
    check(boards.nextLine(2s) == expected, serial + ": the firmware holds what was written");
}

// A board that stalls feature requests: a write and a read-back fail, nothing stale is shown, and
// the refused write never reached the firmware.
void refusedRequests(HidPlatform& platform, DeviceSession& session, BoardProcess& boards, const std::string& serial,
                     std::uint8_t pulseHeld) {
    boards.send("refuse " + serial);
    check(boards.nextLine(2s) == "refuse " + serial, serial + ": now stalls feature requests");
    check(!sendCommand(platform, session, kCommandPulse, 3), serial + ": a stalled write fails");
    session.featureResponse.fill(0x77);
    check(!queryCommand(platform, session, kCommandPulse), serial + ": a stalled read-back gives no value");
    const PanelView panel = readPanel(platform, session);
    check(panel.state == PanelState::Faulted && panel.settings == BoardSettings{},
          serial + ": the panel shows the fault and no settings");
    boards.send("accept " + serial);
    boards.nextLine(2s);
    check(queryCommand(platform, session, kCommandPulse) == pulseHeld,
          serial + ": accepting again, the old value is there");
}

void run(const std::string& uhidProgram) {
    const std::string usbProgram = std::filesystem::path(uhidProgram).parent_path() / "korvex-usb-board";
    const UsbCase talking{"KXU0114", "KXU0114", " 1.14"};
    const UsbCase silent{"KXU0120", "KXU0120", " 1.20"};
    const UsbCase foreign{
        "KX\xC5\x81"
        "003",
        "KXA003", " 1.14"};  // U+0141: low byte 0x41
    const std::string uhidSerial = "KXH0113";

    // The uhid board first, so that it has the lowest node number (the kernel gives the lowest free one).
    const auto platform = makeSystemHidPlatform();
    BoardProcess uhid;
    uhid.start(uhidProgram, {"--board", uhidSerial + ",0113"});
    if (!check(uhid.nextLine(5s) == "ready" && waitForSerials(*platform, {uhidSerial}, 2s), "a uhid board")) return;
    BoardProcess usb;
    auto start = Clock::now();
    check(usb.start(usbProgram, {"--board", talking.serial + ",0114", "--board", silent.serial + ",0120,silent",
                                 "--board", foreign.serial + ",0114", "--period", "20"}),
          "USB board program started");
    if (!check(usb.nextLine(10s) == "ready", "three USB boards plugged into dummy_hcd next to it")) return;
    std::vector<std::string> all{uhidSerial, foreign.listed, talking.listed, silent.listed};
    std::sort(all.begin(), all.end());
    const bool listed = waitForSerials(*platform, all, 10s);
    check(listed, "a scan lists all four, the U+0141 serial narrowed to KXA003, " + std::to_string(msSince(start)) +
                      " ms after the USB boards were started");
    const auto nodesBefore = nodesBySerial(*platform);

    DeviceSession session;
    for (const UsbCase* board : {&talking, &silent, &foreign}) {
        if (!check(openBoard(*platform, session, board->listed), board->listed + ": opened by its listed serial"))
            return;
        describedByUsbDevice(*platform, session, *board);
        platform->close(session.deviceHandle);
        session.deviceHandle = kInvalidHandle;
    }
    check(!openBoard(*platform, session, foreign.serial), "the unnarrowed serial matches no board");

    // The uhid board in the same run still takes its own paths: no USB parent, strings from its HID name.
    if (check(openBoard(*platform, session, uhidSerial), uhidSerial + ": opened")) {
        const PanelView panel = readPanel(*platform, session);
        check(usbAttribute(session.devicePath, "idVendor").empty() && panel.manufacturer == " Korvex" &&
                  panel.version == " 1.13" && panel.state == PanelState::Loaded,
              uhidSerial + ": no USB parent; details from the HID name and input device, settings read");
        platform->close(session.deviceHandle);
    }

    const BoardSettings talkingWritten{0x5A, 0x0F, 7, 1};
    openBoard(*platform, session, talking.listed);
    roundTrips(*platform, session, usb, talking.serial, talkingWritten);
    refusedRequests(*platform, session, usb, talking.serial, talkingWritten.pulseCode);
    std::array<std::uint8_t, 65> input{};
    check(platform->readInput(session.deviceHandle, input, 1000ms) == InputRead::Report,
          talking.listed + ": an input report read from the interrupt endpoint");
    const HidHandle talkingHandle = session.deviceHandle;

    openBoard(*platform, session, foreign.listed);
    roundTrips(*platform, session, usb, foreign.serial, {0x01, 0x80, 25, 0});
    platform->close(session.deviceHandle);

    openBoard(*platform, session, silent.listed);
    start = Clock::now();
    const InputRead quiet = platform->readInput(session.deviceHandle, input, 300ms);
    const auto waited = msSince(start);
    check(quiet == InputRead::NoneYet && waited >= 290 && waited < 800,
          silent.listed + ": a silent board gives none-yet after the 300 ms bound (" + std::to_string(waited) + " ms)");
    platform->close(session.deviceHandle);

    // Unplugged (the gadget unbound) while a read waits: the read ends as gone within its bound,
    // and the node is gone. The board falls silent first so that no report is left to read.
    usb.send("silent " + talking.serial);
    usb.nextLine(2s);
    for (int k = 0; k < 50 && platform->readInput(talkingHandle, input, 100ms) == InputRead::Report; ++k) {}
    std::thread unplugger([&usb, &talking] {
        std::this_thread::sleep_for(200ms);
        usb.send("unplug " + talking.serial);
    });
    start = Clock::now();
    const InputRead lost = platform->readInput(talkingHandle, input, 3000ms);
    const auto lostAfter = msSince(start);
    unplugger.join();
    check(lost == InputRead::Gone && lostAfter >= 200 && lostAfter < 3000,
          talking.listed + ": USB disconnect during a 3000 ms read seen as gone " + std::to_string(lostAfter - 200) +
              " ms after the unplug");
    check(usb.nextLine(2s) == "unplugged " + talking.serial, talking.listed + ": board program confirms the unplug");
    check(!queryCommand(*platform, session, kCommandPulse),
          talking.listed + ": a request to the unplugged board fails");
    platform->close(talkingHandle);
    session.deviceHandle = kInvalidHandle;
    all.erase(std::find(all.begin(), all.end(), talking.listed));
    // The node goes with the USB disconnect; udev's listing may lag behind it for a moment.
    std::size_t nodes = 0;
    std::vector<std::string> remaining;
    for (const auto deadline = Clock::now() + 2s; Clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
        nodes = interfaceCount(*platform);
        remaining = usableSerials(*platform);
        if (nodes == 3 && remaining == all) break;
    }
    check(nodes == 3 && remaining == all, talking.listed + ": its node is gone and it is no longer listed (" +
                                              std::to_string(nodes) + " nodes, " + std::to_string(remaining.size()) +
                                              " boards listed)");

    // With the uhid board unplugged too, the USB board is plugged in again first: it gets the uhid
    // board's old node number and the uhid board gets its old one. The platform under test does not
    // walk meanwhile (another one watches), so its next walk must tell each node by the device
    // that holds it now, not by what it learnt of that number before.
    const auto watcher = makeSystemHidPlatform();
    uhid.send("unplug " + uhidSerial);
    uhid.nextLine(2s);
    // The window's next tick (a liveness read) lets go of the nodes of both boards gone, which the
    // platform kept open while they were listed; only then are their numbers free again.
    std::array<std::uint8_t, 4> tick{};
    platform->readInput(kInvalidHandle, tick, 0ms);
    all.erase(std::find(all.begin(), all.end(), uhidSerial));
    waitForSerials(*watcher, all, 2s);
    usb.send("plug " + talking.serial);
    start = Clock::now();
    check(usb.nextLine(2s) == "plugged " + talking.serial, talking.listed + ": bound to its controller again");
    all.push_back(talking.listed);
    std::sort(all.begin(), all.end());
    const bool foundAgain = waitForSerials(*watcher, all, 5s);
    check(foundAgain, talking.listed + ": found again " + std::to_string(msSince(start)) + " ms after the replug");
    uhid.send("plug " + uhidSerial);
    uhid.nextLine(2s);
    all.push_back(uhidSerial);
    std::sort(all.begin(), all.end());
    waitForSerials(*watcher, all, 2s);
    auto nodesAfter = nodesBySerial(*platform);
    check(nodesAfter[talking.listed] == nodesBefore.at(uhidSerial) &&
              nodesAfter[uhidSerial] == nodesBefore.at(talking.listed),
          "the two swapped node numbers: " + talking.listed + " now " + nodesAfter[talking.listed] + ", " + uhidSerial +
              " now " + nodesAfter[uhidSerial]);
    check(openBoard(*platform, session, talking.listed) &&
              usbAttribute(session.devicePath, "serial") == talking.serial &&
              session.attributes.releaseNumber == 0x0114 &&
              queryCommand(*platform, session, kCommandPulse) == talkingWritten.pulseCode,
          talking.listed + ": replugged, it is described afresh and answers with the settings it kept");
    platform->close(session.deviceHandle);
    check(openBoard(*platform, session, uhidSerial) && usbAttribute(session.devicePath, "idVendor").empty() &&
              session.attributes.releaseNumber == 0x0113,
          uhidSerial + ": on the USB board's old node, described as itself");
    platform->close(session.deviceHandle);
}

}  // namespace

int usbBoardChecks(const std::string& uhidBoardProgram) {
    std::cout << "USB boards on dummy_hcd:" << std::endl;
    run(uhidBoardProgram);
    // The board programs have been sent SIGTERM and waited for.
    std::error_code error;
    check(std::filesystem::is_empty("/sys/kernel/config/usb_gadget", error) && !error &&
              interfaceCount(*makeSystemHidPlatform()) == 0,
          "stopped, the USB board program leaves no gadget and no node behind");
    return check.takeFailures();
}

}  // namespace korvex::kerneltest
