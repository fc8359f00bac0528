#include "cli_fixture.h"

#include "cli/commands.h"

#include <fstream>

namespace korvex::testing {
namespace {

using ::testing::HasSubstr;

TEST_F(CliTest, WatchShowsButtonsDownAndEncoderSteps) {
    // Pair 3 (buttons 5 and 6) decodes an encoder in 1:2; button 1 is an ordinary button.
    bus.addDevice(board(u"KX0001", 0x0114, BoardSettings{0x00, 0x04, 1, 0}));
    BoardFirmware& firmware = bus.firmware(0);
    firmware.holdButtons(0x0001);
    firmware.pulseButton(5);
    firmware.pulseButton(5);
    firmware.pulseButton(6);
    ASSERT_EQ(run({"watch", "KX0001", "--count", "8"}), 0) << err.str();
    EXPECT_EQ(out.str(),
              "Watching KX0001 until Ctrl+C; 16 buttons, encoders on 5-6 (1:2)\n"
              "down: 1\n"
              "encoder 5-6: +1 (button 5), total +1\n"
              "encoder 5-6: +1 (button 5), total +2\n"
              "encoder 5-6: -1 (button 6), total +1\n");
    EXPECT_TRUE(writes().empty());

    // Without a report descriptor (as on Windows) the reports are shown as bytes when they change.
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::Descriptor; });
    firmware.holdButtons(0x0102);
    EXPECT_EQ(run({"watch", "KX0001", "--seconds", "0.05"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("shown as bytes\ninput: 00 02 01\n"));

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
#endif

}  // namespace
}  // namespace korvex::testing
