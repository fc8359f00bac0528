#include "turn_checks.h"

#include "board_process.h"
#include "check_line.h"
#include "device/device_session.h"
#include "device/discovery.h"
#include "device/hid_platform.h"
#include "korvexctl_steps.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>
#include <vector>

namespace korvex::kerneltest {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

CheckLog check;

// Until the one board `serial` is listed: the boards of an earlier program may still be going away.
bool waitForBoard(const std::string& serial) {
    const auto platform = makeSystemHidPlatform();
    for (const auto start = Clock::now(); Clock::now() - start < 10s; std::this_thread::sleep_for(20ms)) {
        DeviceSession session;
        const auto boards = scanBoards(*platform, session);
        if (boards.size() == 1 && boards[0].usable() && boards[0].serial == serial) return true;
    }
    return false;
}

// A value in one of watch's lines, or null where the line lacks it.
nlohmann::json at(const nlohmann::json& line, const std::string& pointer) {
    try {
        return line.at(nlohmann::json::json_pointer(pointer));
    } catch (const nlohmann::json::exception&) {
        return nullptr;
    }
}

double number(const nlohmann::json& value) { return value.is_number() ? value.get<double>() : 0.0; }

std::string millisecondsText(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", ms);
    return text;
}

// What korvexctl watch --json told of the pair 5-6.
struct Watched {
    bool parsed = true;
    nlohmann::json start, end;
    std::vector<nlohmann::json> steps;
    std::vector<double> pulses;  // each release's pulse, in order
    unsigned glitchLines = 0;
};

Watched readWatch(const std::string& output) {
    Watched watched;
    std::size_t from = 0;
    for (std::size_t to; (to = output.find('\n', from)) != std::string::npos; from = to + 1) {
        const auto line = nlohmann::json::parse(output.substr(from, to - from), nullptr, false);
        if (!line.is_object() || !line.contains("event")) {
            watched.parsed = false;
            continue;
        }
        const auto& event = line["event"];
        if (event == "start") watched.start = line;
        else if (event == "end") watched.end = line;
        else if (event == "glitch") ++watched.glitchLines;
        else if (line.value("pair", "") != "5-6") continue;
        else if (event == "step") watched.steps.push_back(line);
        else if (event == "release" && line.contains("pulse_ms")) watched.pulses.push_back(line["pulse_ms"]);
    }
    return watched;
}

// Pair 5-6 set to 1:1, then turned +5 and -3 steps while korvexctl watches: it counts each step in
// its direction, +2 in all, measures every pulse near the length the board holds and counts no
// glitch. The computer times a pulse between two reports' arrivals, which the emulated machine
// delays now and then by 20 ms: the pulses are the longest the board knows, 100 ms, at the 5 steps
// a second they allow, so that a late report stays far from half the length (a glitch). The lengths
// are held to half to three times the length set; a lost report shows in the steps.
constexpr int kPulseMs = 100;
constexpr int kStepsPerSecond = 5;

void turnedAndWatched(const std::string& program, const std::string& korvexctl) {
    const std::string serial = "KXT0001";
    const std::string pulse = std::to_string(kPulseMs), rate = std::to_string(kStepsPerSecond);
    BoardProcess boards;
    boards.start(program, {"--board", serial, "--period", "20"});
    if (!check(boards.nextLine(10s) == "ready" && waitForBoard(serial), "a board " + serial + " listed")) return;

    const auto set = runKorvexctl(korvexctl, {"set", serial, "5-6=1:1", "pulse=" + pulse});
    boards.send("state " + serial);
    const auto state = boards.nextLine(2s).value_or("<no answer>");
    // 1:1 is mode 1: bit 2 (pair 3) of the low byte; the pulse code counts 4 ms.
    if (!check(set.exitCode == 0 &&
                   state.find(" low=4 high=0 pulse=" + std::to_string(kPulseMs / 4) + " ") != std::string::npos,
               "korvexctl set 5-6=1:1 pulse=" + pulse + ", and the firmware holds it: " + state))
        return;

    BoardProcess watch;
    check(watch.start(korvexctl, {"watch", serial, "--json", "--seconds", "6"}), "korvexctl watch --json started");
    std::string output;
    if (const auto first = watch.nextLine(10s)) output = *first + "\n";
    // A turn given while another goes on starts after it: -3 follows +5.
    boards.send("turn " + serial + " 5-6 5 " + rate);
    const auto forward = boards.nextLine(2s);
    boards.send("turn " + serial + " 5-6 -3 " + rate);
    const auto back = boards.nextLine(2s);
    check(forward == "turned " + serial + " 3 5" && back == "turned " + serial + " 3 -3",
          "the board turns pair 5-6 +5, then -3 steps at " + rate + " a second");
    while (const auto line = watch.nextLine(10s)) output += *line + "\n";
    const int exitCode = watch.finish();

    const Watched watched = readWatch(output);
    check(exitCode == 0 && watched.parsed && at(watched.start, "/pulse_set_ms") == kPulseMs &&
              at(watched.start, "/encoders/5-6") == "1:1",
          "korvexctl watch ends with 0 after its start line: 5-6 in 1:1, " + pulse + " ms set");
    std::string directions, counts;
    bool buttons = true;
    for (const auto& step : watched.steps) {
        const int direction = step.value("direction", 0);
        directions += direction > 0 ? "+" : "-";
        if (!counts.empty()) counts += ' ';
        counts += std::to_string(step.value("count", 0));
        buttons = buttons && step.value("button", 0) == (direction > 0 ? 5 : 6);
    }
    check(directions == "+++++---" && counts == "1 2 3 4 5 4 3 2" && buttons,
          "steps counted in order, +1 on button 5 and -1 on button 6: " + directions + " (" + counts + ")");

    const nlohmann::json encoder = at(watched.end, "/encoders/5-6");
    check(watched.glitchLines == 0 && at(encoder, "/count") == 2 && at(encoder, "/glitches") == 0 &&
              at(encoder, "/pulses") == 8 && watched.pulses.size() == 8,
          "the end line: total +2, 8 pulses measured, no glitch: " + watched.end.dump());

    std::string each;
    for (const double length : watched.pulses) {
        each += ' ';
        each += millisecondsText(length);
    }
    const double shortest = number(at(encoder, "/shortest_ms")), typical = number(at(encoder, "/typical_ms")),
                 longest = number(at(encoder, "/longest_ms"));
    const bool plausible = !watched.pulses.empty() && kPulseMs / 2 <= shortest && shortest <= typical &&
                           typical <= longest && longest <= 3 * kPulseMs &&
                           shortest == *std::min_element(watched.pulses.begin(), watched.pulses.end()) &&
                           longest == *std::max_element(watched.pulses.begin(), watched.pulses.end());
    check(plausible, "pulses shortest " + millisecondsText(shortest) + ", typical " + millisecondsText(typical) +
                         ", longest " + millisecondsText(longest) + " ms (set " + pulse + " ms, held to " +
                         std::to_string(kPulseMs / 2) + " ... " + std::to_string(3 * kPulseMs) + "); each:" + each);
}

}  // namespace

int encoderTurnChecks(const std::string& boardProgram, const std::string& korvexctl) {
    check.kind = std::filesystem::path(boardProgram).filename().string();
    std::cout << "An encoder turned and watched, " << check.kind << ":" << std::endl;
    turnedAndWatched(boardProgram, korvexctl);
    return check.takeFailures();
}

}  // namespace korvex::kerneltest
