#include "cli_fixture.h"

#include "app/diagnostics.h"
#include "cli/commands.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace korvex::testing {
namespace {

using ::testing::HasSubstr;

TEST_F(CliTest, WatchShowsButtonsStepsPulsesAndGlitches) {
    // Pair 3 (buttons 5 and 6) decodes an encoder in 1:2 with pulses of 20 ms; button 1 is an
    // ordinary button. The board turns the encoder three steps one way and two the other at 20
    // steps a second, and the bus hands each report over when the board sends it.
    bus.addDevice(board(u"KX0001", 0x0114, BoardSettings{0x00, 0x04, 5, 0}));
    bus.setRealWaits(true);
    bus.setRecording(false);
    BoardFirmware& firmware = bus.firmware(0);
    firmware.holdButtons(0x0001);
    const auto start = BoardFirmware::Clock::now() + std::chrono::milliseconds(150);  // after the first report
    firmware.turn(3, 3, 20, start);
    firmware.turn(3, -2, 20, start);
    ASSERT_EQ(run({"watch", "KX0001", "--seconds", "0.6"}), 0) << err.str();
    std::string text = out.str();
    EXPECT_THAT(text, HasSubstr("Watching KX0001 until Ctrl+C; 16 buttons, encoders on 5-6 (1:2), pulses of 20 ms\n"
                                "down: 1\n"
                                "encoder 5-6: +1 (button 5), total +1\n"
                                "encoder 5-6: pulse "));
    EXPECT_THAT(text, HasSubstr("encoder 5-6: -1 (button 6), total +1\n"));
    // Pulse lengths are timed as the reports arrive: on a busy machine a late report can make one
    // look short, so the count of glitches is not asserted here (the --json run below is exact).
    EXPECT_THAT(text, HasSubstr("encoder 5-6 in all: total +1, "));
    EXPECT_THAT(text, HasSubstr(" 5 pulses (shortest "));

    // --json: a start line, then one object a line for each press, step, release and glitch.
    // Both buttons of the pair down in the first report are a glitch; so is a pulse of 4 ms when
    // the board holds 100 ms by the time it is watched.
    firmware.holdButtons(0x0031);
    firmware.pulseButton(1);  // two reports with 1, 5 and 6 down, then 1 alone
    firmware.holdButtons(0x0001);
    firmware.setSettings({0x00, 0x04, 1, 0});
    firmware.turn(3, 1, 20, BoardFirmware::Clock::now() + std::chrono::milliseconds(150));
    firmware.setSettings({0x00, 0x04, 25, 0});
    ASSERT_EQ(run({"watch", "KX0001", "--json", "--seconds", "0.4"}), 0) << err.str();
    std::vector<nlohmann::json> lines;
    std::istringstream stream(out.str());
    for (std::string line; std::getline(stream, line);) lines.push_back(nlohmann::json::parse(line));
    ASSERT_GE(lines.size(), 4u) << out.str();
    EXPECT_EQ(lines[0]["event"], "start");
    EXPECT_EQ(lines[0]["encoders"]["5-6"], "1:2");
    EXPECT_EQ(lines[0]["pulse_set_ms"], 100);
    std::vector<std::string> glitches;
    for (const auto& line : lines)
        if (line["event"] == "glitch") glitches.push_back(line["glitch"]);
    EXPECT_EQ(glitches, (std::vector<std::string>{"both_down", "short_pulse"})) << out.str();
    // The end line sums up the encoder as the events told it.
    const auto& end = lines.back();
    EXPECT_EQ(end["event"], "end");
    EXPECT_EQ(end["encoders"]["5-6"]["glitches"], 2);
    EXPECT_EQ(end["encoders"]["5-6"]["pulses"], 1);
    EXPECT_EQ(end["encoders"]["5-6"]["shortest_ms"], end["encoders"]["5-6"]["longest_ms"]);
    EXPECT_TRUE(writes().empty());

    // Without a report descriptor (as on Windows) the buttons are read from the board's 2-byte report.
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::Descriptor; });
    firmware.holdButtons(0x0102);
    EXPECT_EQ(run({"watch", "KX0001", "--count", "1"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("read as the board's 2-byte report), encoders on 5-6 (1:2), pulses of 100 ms\n"
                                     "down: 2 9\n"));

    // Unplugged while watched: a device error.
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::Read; });
    EXPECT_EQ(run({"watch", "KX0001", "--count", "3"}), 1);
    EXPECT_THAT(err.str(), HasSubstr("gone"));
}

#ifndef _WIN32
TEST_F(CliTest, DoctorFindsTheRuleAndTheNodesAndSaysHowToFixThem) {
    // A system in the scratch folder: one board node and one keyboard node, no rule yet.
    paths.sysClassHidraw = scratch / "sys";
    paths.dev = scratch / "dev";
    paths.udevData = scratch / "udev";
    paths.ruleDirs = {scratch / "etc", scratch / "lib"};
    for (const auto& dir : {paths.dev, paths.udevData, paths.ruleDirs[0], paths.ruleDirs[1]})
        std::filesystem::create_directories(dir);
    const auto node = [&](const std::string& name, const std::string& id, const std::string& number) {
        std::filesystem::create_directories(paths.sysClassHidraw / name / "device");
        std::ofstream(paths.sysClassHidraw / name / "device" / "uevent") << "HID_ID=" << id << "\nHID_UNIQ=KX0001\n";
        std::ofstream(paths.sysClassHidraw / name / "dev") << number << "\n";
        std::ofstream(paths.dev / name) << "";
    };
    node("hidraw0", "0003:0000046D:0000C31C", "244:0");
    node("hidraw1", "0003:00005A17:00000102", "244:1");

    EXPECT_EQ(run({"doctor"}), 1);
    EXPECT_THAT(out.str(), HasSubstr("udev rule: not installed"));
    EXPECT_THAT(out.str(), HasSubstr((paths.dev / "hidraw1").string() + ": board KX0001"));
    EXPECT_THAT(out.str(), ::testing::Not(HasSubstr("hidraw0")));
    EXPECT_THAT(out.str(), HasSubstr("korvexctl doctor --rule | sudo tee /etc/udev/rules.d/70-korvex-config.rules"));
    // The rule is re-applied to the board's node alone, chosen through its HID device as the
    // Debian package does; no command triggers every hidraw node.
    EXPECT_THAT(out.str(),
                HasSubstr("  sudo udevadm control --reload\n  sudo udevadm trigger --action=change "
                          "--subsystem-match=hidraw --parent-match=" +
                          std::filesystem::canonical(paths.sysClassHidraw / "hidraw1" / "device").string() + "\n"));
    EXPECT_EQ(out.str().find("udevadm trigger"), out.str().rfind("udevadm trigger"));

    ASSERT_EQ(run({"doctor", "--rule"}), 0);
    std::ofstream(paths.ruleDirs[1] / "70-korvex-config.rules") << out.str();
    std::ofstream(paths.udevData / "c244:1") << "E:ID_SERIAL=KX0001\nG:uaccess\n";
    // The nodes here are plain files this user may open: nothing is left to fix.
    EXPECT_EQ(run({"doctor"}), 0) << out.str();
    EXPECT_THAT(out.str(), HasSubstr("installed as " + (paths.ruleDirs[1] / "70-korvex-config.rules").string()));
    EXPECT_THAT(out.str(), HasSubstr("rule applied (uaccess)"));
    EXPECT_THAT(out.str(), ::testing::Not(HasSubstr("differs")));
}
// The report a user attaches to a question: everything doctor knows, as JSON, with the home
// folder and the user name left out wherever they appear.
TEST_F(CliTest, DoctorJsonReportsVersionsBoardsRuleSettingsAndErrorsWithoutTheUser) {
    paths.sysClassHidraw = scratch / "sys";
    paths.dev = scratch / "dev";
    paths.udevData = scratch / "udev";
    paths.ruleDirs = {scratch / "etc"};
    for (const auto& dir : {paths.dev, paths.udevData, paths.ruleDirs[0], paths.sysClassHidraw / "hidraw1" / "device"})
        std::filesystem::create_directories(dir);
    std::ofstream(paths.sysClassHidraw / "hidraw1" / "device" / "uevent")
        << "HID_ID=0003:00005A17:00000102\nHID_UNIQ=KX0001\n";
    std::ofstream(paths.sysClassHidraw / "hidraw1" / "dev") << "244:1\n";
    std::ofstream(paths.dev / "hidraw1") << "";
    std::ofstream(paths.ruleDirs[0] / "70-korvex-config.rules") << "an old rule\n";

    bus.addDevice(board(u"KX0001", 0x0114, BoardSettings{0x00, 0x04, 3, 1}));
    SimDeviceInfo locked = board(u"KX0002");
    locked.openable = false;
    bus.addDevice(locked);
    bus.addDevice(board(u"tester"));  // a serial that is the user's name
    const auto saved = [](const char* name) { return std::string(std::getenv(name) ? std::getenv(name) : ""); };
    const std::string home = saved("HOME"), user = saved("USER");
    ::setenv("HOME", scratch.c_str(), 1);
    ::setenv("USER", "tester", 1);
    const int code = run({"doctor", "--json"});
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("USER", user.c_str(), 1);
    ASSERT_EQ(code, 0) << err.str();

    const auto report = nlohmann::json::parse(out.str());
    EXPECT_THAT(report["program"].get<std::string>(), ::testing::StartsWith("korvexctl "));
    EXPECT_FALSE(report["system"].get<std::string>().empty());
    ASSERT_EQ(report["boards"].size(), 3u);
    EXPECT_EQ(report["boards"][0]["serial"], "KX0001");
    EXPECT_EQ(report["boards"][0]["firmware"], "1.14");
    EXPECT_EQ(report["boards"][1]["access"], "denied");
    EXPECT_EQ(report["boards"][2]["serial"], "<user>");
    EXPECT_EQ(report["udev_rule"]["installed"], "~/etc/70-korvex-config.rules");
    EXPECT_EQ(report["udev_rule"]["differs"], true);
    EXPECT_EQ(report["udev_rule"]["nodes"][0]["path"], "~/dev/hidraw1");
    EXPECT_EQ(report["loaded_board"]["serial"], "KX0001");
    EXPECT_EQ(report["loaded_board"]["modes"]["5-6"], "1:2");
    EXPECT_EQ(report["loaded_board"]["pulse_ms"], 12);
    ASSERT_EQ(report["errors"].size(), 1u);
    EXPECT_EQ(report["errors"][0]["where"], bus.path(1));
    EXPECT_EQ(out.str().find(scratch.string()), std::string::npos);
    EXPECT_TRUE(writes().empty());

    // Only whole words are the user's name; the home folder goes first, as "~".
    EXPECT_EQ(app::scrubbed("/home/al/x al:rw alan /x/al", "/home/al", "al"), "~/x <user>:rw alan /x/<user>");
}
#endif

}  // namespace
}  // namespace korvex::testing
