#include "korvexctl_steps.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <vector>

namespace korvex::kerneltest {

namespace {

using namespace std::chrono_literals;

KorvexctlRun korvexctl(const std::string& program, const std::vector<std::string>& arguments) {
    return runKorvexctl(program, arguments);
}

std::string state(BoardProcess& boards, const std::string& serial) {
    boards.send("state " + serial);
    return boards.nextLine(2s).value_or("<no answer>");
}

}  // namespace

KorvexctlRun runKorvexctl(const std::string& program, const std::vector<std::string>& arguments) {
    BoardProcess run;
    KorvexctlRun outcome;
    if (!run.start(program, arguments)) return outcome;
    while (const auto line = run.nextLine(10s)) outcome.output += *line + "\n";
    outcome.exitCode = run.finish();
    return outcome;
}

void runKorvexctlSteps(const std::string& program, BoardProcess& boards, const std::string& serial,
                       const Check& check) {
    const auto listed = korvexctl(program, {"list", "--json"});
    const auto list = nlohmann::json::parse(listed.output, nullptr, false);
    check(listed.exitCode == 0 && list.is_array() && !list.empty() && list[0]["serial"] == serial &&
              list[0]["firmware"] == "1.14",
          "korvexctl list --json names the board: " + listed.output.substr(0, 120));

    const auto shown = korvexctl(program, {"show", serial, "--json"});
    const auto show = nlohmann::json::parse(shown.output, nullptr, false);
    check(shown.exitCode == 0 && show.is_object() && show["pulse_ms"] == 28 && show["hide"] == true &&
              show["modes"]["1-2"] == "1:2" && show["modes"]["15-16"] == "OFF",
          "korvexctl show --json reads what the board holds");

    // Pair 1 from 1:2 to 1:4 sets bit 0 of the low byte: 0x5A becomes 0x5B.
    const auto set = korvexctl(program, {"set", serial, "1-2=1:4", "pulse=12", "hide=off"});
    check(set.exitCode == 0 && set.output == serial + ": set 1-2 1:4, pulse 12 ms, hide off\n",
          "korvexctl set writes and reads back: " + set.output);
    check(state(boards, serial) == "state " + serial + " hide=0 low=91 high=15 pulse=3 followups=2",
          "the firmware holds what korvexctl set");

    const auto saved = korvexctl(program, {"save", serial, "/tmp/settings.json"});
    const auto changed = korvexctl(program, {"set", serial, "pulse=100"});
    const auto loaded = korvexctl(program, {"load", serial, "/tmp/settings.json"});
    check(saved.exitCode == 0 && changed.exitCode == 0 && loaded.exitCode == 0 &&
              loaded.output == serial + ": set pulse 12 ms\n",
          "korvexctl save, set and load bring the saved pulse back: " + loaded.output);
    check(state(boards, serial).find(" pulse=3 ") != std::string::npos, "the firmware holds the loaded pulse");
    check(korvexctl(program, {"set", serial, "pulse=13"}).exitCode == 2, "korvexctl refuses pulse=13 with exit 2");

    // Button 11 (pair 11-12 is OFF) held, then one step of the encoder on pair 1-2 (1:4).
    boards.send("hold " + serial + " 11");
    boards.nextLine(2s);
    BoardProcess watch;
    check(watch.start(program, {"watch", serial, "--seconds", "3"}), "korvexctl watch started");
    const auto header = watch.nextLine(10s);
    check(header && header->rfind("Watching " + serial, 0) == 0, "korvexctl watch: " + header.value_or("<nothing>"));
    boards.send("pulse " + serial + " 1");
    boards.nextLine(2s);
    std::string lines;
    while (const auto line = watch.nextLine(10s)) lines += *line + "\n";
    const int watched = watch.finish();
    check(watched == 0 && lines.find("down: 11\n") != std::string::npos &&
              lines.find("encoder 1-2: +1 (button 1), total +1\n") != std::string::npos,
          "korvexctl watch sees button 11 down and one step of encoder 1-2: " + lines);
    boards.send("hold " + serial + " none");
    boards.nextLine(2s);
}

}  // namespace korvex::kerneltest
