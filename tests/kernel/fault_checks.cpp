#include "fault_checks.h"

#include "app/configurator.h"
#include "app/device_worker.h"
#include "board_process.h"
#include "check_line.h"
#include "device/board_commands.h"
#include "device/device_session.h"
#include "device/discovery.h"
#include "device/hid_platform.h"
#include "korvexctl_steps.h"
#include "protocol/command_reports.h"
#include "support/memory_controls.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

namespace korvex::kerneltest {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

CheckLog check;

// The boards a scan lists, in the configurator's order, once their serials are `expected` (the
// boards of an earlier program may still be going away).
std::vector<BoardRecord> waitForBoards(HidPlatform& platform, std::vector<std::string> expected) {
    std::sort(expected.begin(), expected.end());
    std::vector<BoardRecord> boards;
    for (const auto start = Clock::now(); Clock::now() - start < 10s; std::this_thread::sleep_for(20ms)) {
        DeviceSession session;
        boards.clear();
        std::vector<std::string> serials;
        for (BoardRecord& board : scanBoards(platform, session)) {
            if (!board.usable()) continue;
            serials.push_back(board.serial);
            boards.push_back(std::move(board));
        }
        std::sort(serials.begin(), serials.end());
        if (serials == expected) return boards;
    }
    return {};
}

std::string state(BoardProcess& boards, const std::string& serial) {
    boards.send("state " + serial);
    return boards.nextLine(2s).value_or("<no answer>");
}

// A console command the board program acknowledges by repeating it.
bool command(BoardProcess& boards, const std::string& line) {
    boards.send(line);
    return check(boards.nextLine(2s) == line, line);
}

// Writes a pulse code to the board at `path` and reads it back.
bool writePulse(HidPlatform& platform, const BoardRecord& board, std::uint8_t code) {
    DeviceSession session;
    if (!openBoardAt(platform, session, board.path, board.serial)) return false;
    const bool written =
        sendCommand(platform, session, kCommandPulse, code) && queryCommand(platform, session, kCommandPulse) == code;
    platform.close(session.deviceHandle);
    return written;
}

// Delivers the workers' results until `reached` holds or `bound` passes.
bool settleUntil(app::Configurator& app, const std::function<bool()>& reached, std::chrono::milliseconds bound) {
    for (const auto start = Clock::now(); Clock::now() - start < bound;) {
        app.settle(10ms);
        if (reached()) return true;
        std::this_thread::sleep_for(5ms);  // settle returns at once while no call is under way
    }
    return reached();
}

bool showsBoard(const app::Configurator& app, const BoardRecord& board, Connection connection) {
    return app.session().connection == connection && app.session().devicePath == board.path;
}

// Two boards with one serial number and different pulses: korvexctl tells them apart only by
// --index, and the configurator opens each by its path.
void sharedSerial(const std::string& program, const std::string& korvexctl) {
    const std::string serial = "KXD0002";
    BoardProcess boards;
    boards.start(program, {"--board", serial, "--board", serial});
    if (!check(boards.nextLine(10s) == "ready", "two boards with serial " + serial)) return;
    const auto platform = makeSystemHidPlatform();
    const auto listed = waitForBoards(*platform, {serial, serial});
    if (!check(listed.size() == 2, "both listed")) return;
    // The first listed holds 20 ms pulses, the second 40 ms.
    check(writePulse(*platform, listed[0], 5) && writePulse(*platform, listed[1], 10),
          "each opened by its path holds its own pulse");

    const auto list = runKorvexctl(korvexctl, {"list", "--json"});
    const auto entries = nlohmann::json::parse(list.output, nullptr, false);
    check(list.exitCode == 0 && entries.is_array() && entries.size() == 2 && entries[0]["serial"] == serial &&
              entries[1]["serial"] == serial && entries[0]["index"] == 1 && entries[1]["index"] == 2 &&
              entries[1]["path"] == listed[1].path,
          "korvexctl list shows both, index 1 and 2: " + list.output.substr(0, 160));
    const auto unnamed = runKorvexctl(korvexctl, {"show", serial});
    check(unnamed.exitCode == 2 && unnamed.output.empty(), "korvexctl show without --index refuses with exit 2");
    const auto second = runKorvexctl(korvexctl, {"show", serial, "--index", "2", "--json"});
    const auto shown = nlohmann::json::parse(second.output, nullptr, false);
    check(second.exitCode == 0 && shown.is_object() && shown["pulse_ms"] == 40,
          "korvexctl show --index 2 reads the second board's 40 ms");

    testing::MemoryForm form;
    app::Configurator app(*platform, form.controls());
    app.start();
    app.settle(5s);
    check(showsBoard(app, listed[1], Connection::Loaded) && form.ModeCh1.listIndex() == 10 - 1,
          "the configurator opens the last board listed at start: 40 ms");
    check(form.SerNo.choose(0) && app.settle(5s) && showsBoard(app, listed[0], Connection::Loaded) &&
              form.ModeCh1.listIndex() == 5 - 1,
          "choosing the first entry opens the first board, not the last: 20 ms");
    app.stop();
}

// A board that answers reads with 2 bytes: nothing is shown and nothing is written.
void shortAnswers(HidPlatform& platform, BoardProcess& boards, const std::string& korvexctl, const BoardRecord& board) {
    const std::string& serial = board.serial;
    const std::string before = state(boards, serial);
    if (!command(boards, "short " + serial)) return;
    const auto show = runKorvexctl(korvexctl, {"show", serial});
    check(show.exitCode == 1 && show.output.find("pulse") == std::string::npos &&
              show.output.find("1-2") == std::string::npos,
          "korvexctl show fails with exit 1 and prints no value: " + show.output.substr(0, 160));
    const auto set = runKorvexctl(korvexctl, {"set", serial, "1-2=1:2"});
    check(set.exitCode == 1 && state(boards, serial) == before, "korvexctl set fails with exit 1 and writes nothing");

    testing::MemoryForm form;
    app::Configurator app(platform, form.controls());
    app.start();  // opens the last board listed: this one
    app.settle(5s);
    const bool empty =
        form.ModeCh1.items().empty() &&
        std::all_of(form.Enc.begin(), form.Enc.end(), [](const auto& list) { return list.items().empty(); });
    check(showsBoard(app, board, Connection::Faulted) && empty,
          "the configurator shows the board faulted, its lists empty");
    form.Enc[0].choose(2);
    form.ModeCh1.choose(3);
    app.onEncoderChosen(1, 2);  // as if a click reached the logic all the same
    app.onPulseChosen(4);
    app.onHideToggled(1);
    app.settle(5s);
    check(state(boards, serial) == before, "a click on a list writes nothing: " + before);
    app.stop();
    command(boards, "accept " + serial);
}

// A board that never answers reads, beside a good one: the configurator's window never waits on it.
void hangingBoard(HidPlatform& platform, BoardProcess& boards, const BoardRecord& hanging, const BoardRecord& good) {
    if (!command(boards, "hang " + hanging.serial)) return;
    // A read of it fails at the system's timeout; set back to answering, the board takes the very
    // next request (on USB: the next SETUP after the one it left unanswered) and answers it.
    DeviceSession session;
    if (openBoardAt(platform, session, hanging.path, hanging.serial)) {
        const auto asked = Clock::now();
        const bool answered = queryCommand(platform, session, kCommandPulse).has_value();
        const auto failedAfter = msSince(asked);
        check(!answered && failedAfter >= 4500 && failedAfter < 6500,
              "a read of the hanging board fails after " + std::to_string(failedAfter) + " ms");
        command(boards, "accept " + hanging.serial);
        check(sendCommand(platform, session, kCommandPulse, 3) && queryCommand(platform, session, kCommandPulse) == 3,
              "answering again, the board takes the next write and read");
        platform.close(session.deviceHandle);
        command(boards, "hang " + hanging.serial);
    }
    testing::MemoryForm form;
    // The workers' wake has nothing to post to: this thread delivers their results itself. (An
    // empty wake would mean the window's logic is gone, and every result would be dropped.)
    auto app = std::make_unique<app::Configurator>(platform, form.controls(), app::DeviceThreads::Worker, [] {});
    app->start();  // lists both, opens the hanging board (listed last) and waits on its read-back
    settleUntil(
        *app, [&form] { return form.SerNo.items().size() == 2; }, 3s);
    std::this_thread::sleep_for(300ms);
    app->deliverResults();
    check(form.SerNo.items().size() == 2 && app->deviceBusy() && !app->session().settingsLoaded(),
          "the configurator lists both boards and waits on the hanging one's read-back");
    // The kernel's own view, beside the configurator's: how long opening the good board's node
    // takes while the read on the hanging one waits.
    long long openedAfter = -1;
    std::thread opener([&platform, &good, &openedAfter] {
        const auto start = Clock::now();
        const HidHandle handle = platform.open(good.path);
        openedAfter = msSince(start);
        platform.close(handle);
    });
    const auto chosen = Clock::now();
    form.SerNo.choose(0);
    const bool reached = settleUntil(
        *app, [&] { return showsBoard(*app, good, Connection::Loaded); }, 7s);
    const auto reachedAfter = msSince(chosen);
    opener.join();
    std::cout << "  opening " << good.path << " while the read waits took " << openedAfter << " ms" << std::endl;
    check(reached && reachedAfter < 1000,
          "the good board is loaded " + std::to_string(reachedAfter) + " ms after it was chosen (at most 1000)");
    const auto destroying = Clock::now();
    app.reset();
    const auto destroyedAfter = msSince(destroying);
    check(destroyedAfter < 1000, "the configurator is destroyed in " + std::to_string(destroyedAfter) +
                                     " ms (at most 1000), a worker still waiting on the hanging board");
    // Unplugged, the board ends the request still waiting on it, and the given-up worker ends.
    boards.send("unplug " + hanging.serial);
    boards.nextLine(2s);
    const auto unplugged = Clock::now();
    while (app::DeviceWorker::stillRunning() > 0 && Clock::now() - unplugged < 7s) std::this_thread::sleep_for(20ms);
    check(app::DeviceWorker::stillRunning() == 0,
          "the given-up worker ends " + std::to_string(msSince(unplugged)) + " ms after the board is unplugged");
}

void faultyBoards(const std::string& program, const std::string& korvexctl) {
    BoardProcess boards;
    boards.start(program, {"--board", "KXF0001", "--board", "KXF0002", "--period", "20"});
    if (!check(boards.nextLine(10s) == "ready", "two boards KXF0001 and KXF0002")) return;
    const auto platform = makeSystemHidPlatform();
    const auto listed = waitForBoards(*platform, {"KXF0001", "KXF0002"});
    if (!check(listed.size() == 2, "both listed")) return;
    // The board listed last is the one the configurator opens at start: it takes the faults.
    std::cout << "  faults on " << listed[1].serial << ", listed last" << std::endl;
    shortAnswers(*platform, boards, korvexctl, listed[1]);
    hangingBoard(*platform, boards, listed[1], listed[0]);
}

}  // namespace

int boardFaultChecks(const std::string& boardProgram, const std::string& korvexctl) {
    check.kind = std::filesystem::path(boardProgram).filename().string();
    std::cout << "Faults and shared serials, " << check.kind << ":" << std::endl;
    sharedSerial(boardProgram, korvexctl);
    faultyBoards(boardProgram, korvexctl);
    return check.takeFailures();
}

}  // namespace korvex::kerneltest
