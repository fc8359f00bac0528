#include "cli_fixture.h"

#include "cli/command_error.h"
#include "cli/printable_text.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace korvex::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Pair 2 (3-4) 1:1, pair 8 (15-16) 1:4, 24 ms, hidden.
const BoardSettings kSetUp{0x82, 0x80, 6, 1};

TEST_F(CliTest, ListAndShowReadBoardsAsTheWindowDoesAndWriteNothing) {
    bus.addDevice(board(u"KX0001", 0x0114, kSetUp));
    SimDeviceInfo locked = board(u"KX0002");
    locked.openable = false;
    bus.addDevice(locked);
    bus.addDevice(board(u"KX0003", 0x0013));

    ASSERT_EQ(run({"list", "--json"}), 0);
    const auto listed = nlohmann::json::parse(out.str());
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0]["serial"], "KX0001");
    EXPECT_EQ(listed[0]["firmware"], "1.14");
    EXPECT_TRUE(listed[1]["serial"].is_null());
    EXPECT_FALSE(listed[1]["error"].is_null());
    EXPECT_EQ(listed[2]["configurable"], false);
    ASSERT_EQ(run({"list"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("0.13 (too old)"));

    bus.clearCalls();
    ASSERT_EQ(run({"show", "KX0001"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("3-4:          1:1\n"));
    EXPECT_THAT(out.str(), HasSubstr("15-16:        1:4\n"));
    EXPECT_THAT(out.str(), HasSubstr("pulse:        24 ms\n"));
    EXPECT_THAT(out.str(), HasSubstr("hide:         on\n"));
    EXPECT_THAT(out.str(), HasSubstr("manufacturer: Korvex\n"));
    ASSERT_EQ(run({"show", "KX0001", "--json"}), 0);
    const auto shown = nlohmann::json::parse(out.str());
    EXPECT_EQ(shown["modes"]["15-16"], "1:4");
    EXPECT_EQ(shown["pulse_ms"], 24);
    EXPECT_EQ(shown["hide"], true);

    // Old firmware: its details are shown, its settings neither read nor written.
    EXPECT_EQ(run({"show", "KX0003"}), 1);
    EXPECT_THAT(out.str(), HasSubstr("firmware:     0.13"));
    EXPECT_THAT(err.str(), HasSubstr("firmware 0.13 is older than 0.14"));
    EXPECT_EQ(run({"set", "KX0003", "pulse=8"}), 1);
    EXPECT_TRUE(writes().empty());

    // A board that refuses the open is the system's fault, not an unknown serial.
    EXPECT_EQ(run({"show", "KX0002"}), 1);
    EXPECT_THAT(err.str(), HasSubstr("korvexctl doctor"));
}

TEST_F(CliTest, ShowWithoutSerialTakesTheOnlyBoard) {
    EXPECT_EQ(run({"show"}), 1);
    bus.addDevice(board(u"KX0001", 0x0114, kSetUp));
    EXPECT_EQ(run({"show"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("serial:       KX0001"));
    bus.addDevice(board(u"KX0002"));
    EXPECT_EQ(run({"show"}), 2);
}

TEST_F(CliTest, SetWritesOnlyWhatChangedWithTheWindowsReports) {
    bus.addDevice(board(u"KX0001", 0x0114, kSetUp));
    bus.clearCalls();
    ASSERT_EQ(run({"set", "KX0001", "5-6=1:2", "hide=on"}), 0) << err.str();
    // The modes of all eight pairs in two reports; the hide flag already on is not written.
    EXPECT_EQ(writes(), (std::vector<Bytes>{report(9, {0, 0xEE, 8, 0x82}), report(9, {0, 0xEE, 9, 0x84})}));
    EXPECT_EQ(out.str(), "KX0001: set 5-6 1:2\n");

    bus.clearCalls();
    ASSERT_EQ(run({"set", "KX0001", "pulse=100", "hide=off", "3-4=1:1"}), 0);
    EXPECT_EQ(writes(), (std::vector<Bytes>{report(9, {0, 0xEE, 10, 25}), report(9, {0, 0xEE, 1, 0}),
                                            report(9, {0, 0xB0, 1, 0})}));
    EXPECT_EQ(bus.firmware(0).settings(), (BoardSettings{0x82, 0x84, 25, 0}));

    bus.clearCalls();
    ASSERT_EQ(run({"set", "KX0001", "pulse=100ms"}), 0);
    EXPECT_TRUE(writes().empty());
    EXPECT_THAT(out.str(), HasSubstr("nothing written"));
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

TEST_F(CliTest, ValuesTheBoardDidNotTakeAreNamedWithExit1) {
    bus.addDevice(board(u"KX0001"));
    // The board refuses the pulse write and the second mode report; the hide flag goes through.
    bus.failWhen([](const SimCall& call) {
        return call.op == SimOp::SetFeature && call.bytes[1] == 0xEE && (call.bytes[2] == 10 || call.bytes[2] == 9);
    });
    EXPECT_EQ(run({"set", "KX0001", "pulse=12", "1-2=1:4", "hide=on"}), 1);
    EXPECT_THAT(err.str(), HasSubstr("refused the write of the pulse length"));
    EXPECT_THAT(err.str(), HasSubstr("KX0001: pulse is 4 ms, not 12 ms\n"));
    EXPECT_THAT(err.str(), HasSubstr("KX0001: 1-2 is 1:1, not 1:4\n"));
    EXPECT_THAT(err.str(), Not(HasSubstr("hide is")));
    EXPECT_EQ(bus.firmware(0).settings().hideFlag, 1);

    // A board that takes the writes but does not answer the read-back is a failure too.
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::GetFeature; });
    EXPECT_EQ(run({"set", "KX0001", "hide=off"}), 1);
    EXPECT_THAT(err.str(), HasSubstr("did not answer"));
}

TEST_F(CliTest, AFailedWriteIsNamedAndNeverReportedAsWritten) {
    bus.addDevice(board(u"KX0001"));
    // The modes reach the board; it is unplugged as the pulse goes out, which the system refuses.
    bus.failWhen(
        [this](const SimCall& call) {
            if (call.op != SimOp::SetFeature || call.bytes[1] != 0xEE || call.bytes[2] != 10) return false;
            bus.unplug(0);
            return true;
        },
        EPIPE);
    EXPECT_EQ(run({"set", "KX0001", "1-2=1:4", "3-4=1:2", "pulse=40", "hide=on"}), 1);
    EXPECT_EQ(err.str(),
              "korvexctl: KX0001: wrote the encoder modes (1-2 1:4, 3-4 1:2)\n"
              "korvexctl: KX0001: the board refused the write of the pulse length (40 ms): " +
                  cli::systemErrorText(EPIPE) +
                  "\n"
                  "korvexctl: KX0001: the hide flag (on) was not sent: the board stopped answering after the "
                  "refused write\n"
                  "korvexctl: KX0001: the board did not answer when read back: what it holds now is unknown\n");
    EXPECT_TRUE(out.str().empty());
    EXPECT_EQ(bus.firmware(0).settings(), (BoardSettings{0x01, 0x03, 1, 0}));
    EXPECT_EQ(writes().size(), 3u);  // two mode reports and the refused pulse; no hide flag
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

TEST_F(CliTest, CtrlCAndSigtermEndACommandBetweenItsSteps) {
    bus.addDevice(board(u"KX0001"));
    // Asked before any board is touched: nothing is opened.
    stopSignal = SIGTERM;
    bus.clearCalls();
    EXPECT_EQ(run({"set", "KX0001", "pulse=8"}), 143);
    EXPECT_EQ(err.str(), "korvexctl: terminated\n");
    EXPECT_TRUE(bus.calls().empty());

    // Ctrl+C while the modes go out: the rest is not sent, and the board is not read back.
    stopSignal = 0;
    bus.failWhen([this](const SimCall& call) {
        if (call.op == SimOp::SetFeature && call.bytes[1] == 0xEE && call.bytes[2] == 9) stopSignal = SIGINT;
        return false;
    });
    EXPECT_EQ(run({"set", "KX0001", "1-2=1:4", "pulse=40"}), 130);
    EXPECT_THAT(err.str(), HasSubstr("KX0001: wrote the encoder modes (1-2 1:4)\n"));
    EXPECT_THAT(err.str(), HasSubstr("KX0001: the pulse length (40 ms) was not sent: korvexctl was asked to stop\n"));
    EXPECT_THAT(err.str(), HasSubstr("what it holds now is unknown\nkorvexctl: interrupted\n"));
    EXPECT_EQ(bus.firmware(0).settings().pulseCode, 1);
    EXPECT_EQ(bus.openHandleCount(), 0u);

    // A read that the signal cut short fails; the exit code still tells of the signal.
    bus.failWhen([this](const SimCall& call) {
        if (call.op != SimOp::GetFeature) return false;
        stopSignal = SIGTERM;
        return true;
    });
    stopSignal = 0;
    EXPECT_EQ(run({"show", "KX0001"}), 143);
    EXPECT_THAT(err.str(), HasSubstr("did not answer when its settings were read\nkorvexctl: terminated\n"));

    // watch ends on Ctrl+C as it always has: done, exit 0.
    bus.failWhen({});
    stopSignal = 0;
    bus.failWhen([this](const SimCall& call) {
        if (call.op == SimOp::Read) stopSignal = SIGINT;
        return false;
    });
    EXPECT_EQ(run({"watch", "KX0001"}), 0);
}

TEST_F(CliTest, TextFromTheBoardReachesTheTerminalEscaped) {
    SimDeviceInfo hostile = board(u"KX\x1b]0;owned\x07");
    hostile.manufacturer =
        u"Korvex\n\x009b"
        u"31m";
    bus.addDevice(hostile);
    ASSERT_EQ(run({"list"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("KX\\x1b]0;owned\\x07 "));
    ASSERT_EQ(run({"show", "KX\x1b]0;owned\x07"}), 0) << err.str();
    EXPECT_THAT(out.str(), HasSubstr("manufacturer: Korvex\\n\\u009b31m\n"));
    EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
    EXPECT_EQ(run({"set", "KX\x1b]0;owned\x07", "--index", "2", "pulse=8"}), 2);
    EXPECT_THAT(err.str(), HasSubstr("KX\\x1b]0;owned\\x07"));
    ASSERT_EQ(run({"show", "--json"}), 0);
    EXPECT_EQ(nlohmann::json::parse(out.str())["serial"], "KX\x1b]0;owned\x07");
    EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
    // Bytes that are not UTF-8 are shown as bytes.
    EXPECT_EQ(cli::printable("a\xff\xc3\xa9\xe2\x82"), "a\\xff\xc3\xa9\\xe2\\x82");
}

TEST_F(CliTest, SaveLoadAndCopyCarrySettingsBetweenBoards) {
    bus.addDevice(board(u"KX0001", 0x0114, kSetUp));
    bus.addDevice(board(u"KX0002"));
    bus.addDevice(board(u"KX0002"));  // two boards from one batch, one serial
    const auto saved = file("kx0001.json");
    ASSERT_EQ(run({"save", "KX0001", saved.string()}), 0) << err.str();
    const auto document = nlohmann::json::parse(std::ifstream(saved));
    EXPECT_EQ(document["format"], "korvexctl-settings");
    EXPECT_EQ(document["product"], "5a17:0102");
    EXPECT_EQ(document["serial"], "KX0001");
    EXPECT_EQ(document["modes"]["3-4"], "1:1");

    ASSERT_EQ(run({"load", "KX0002", "--index", "2", saved.string()}), 0) << err.str();
    EXPECT_EQ(bus.firmware(2).settings(), kSetUp);
    EXPECT_EQ(bus.firmware(1).settings(), BoardSettings{});

    ASSERT_EQ(run({"copy", "KX0002", "KX0002", "--from-index", "2", "--to-index", "1"}), 0) << err.str();
    EXPECT_EQ(bus.firmware(1).settings(), kSetUp);
    EXPECT_EQ(bus.openHandleCount(), 0u);

    // A board holding a pulse code without a length is not saved as if it had one.
    bus.firmware(0).setSettings({0, 0, 0, 0});
    EXPECT_EQ(run({"save", "KX0001", file("zero.json").string()}), 1);
    EXPECT_THAT(err.str(), HasSubstr("pulse code 0"));
    EXPECT_FALSE(std::filesystem::exists(file("zero.json")));
}

#ifndef _WIN32
TEST_F(CliTest, SaveReplacesTheFileWholeOrLeavesItAsItWas) {
    bus.addDevice(board(u"KX0001", 0x0114, kSetUp));
    const auto saved = file("kx0001.json", "the settings saved before\n");
    const auto readBack = [](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // A disk that takes only a few bytes: the old file stays whole and no temporary file is left.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{16, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int code = run({"save", "KX0001", saved.string()});
        limit.rlim_cur = RLIM_INFINITY;
        setrlimit(RLIMIT_FSIZE, &limit);
        std::ofstream(scratch / "child-err") << err.str();
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_THAT(readBack(scratch / "child-err"), HasSubstr("cannot be written: " + cli::systemErrorText(EFBIG)));
    EXPECT_EQ(readBack(saved), "the settings saved before\n");
    std::filesystem::remove(scratch / "child-err");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch), {}), 1);

    // A symbolic link at the target is replaced by the file; what it pointed to is left alone.
    const auto elsewhere = file("elsewhere.json", "not ours\n");
    const auto link = scratch / "link.json";
    std::filesystem::create_symlink(elsewhere, link);
    ASSERT_EQ(run({"save", "KX0001", link.string()}), 0) << err.str();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readBack(elsewhere), "not ours\n");
    EXPECT_EQ(nlohmann::json::parse(readBack(link))["serial"], "KX0001");
}
#endif

// A board that answers one of its four read-backs short: no command shows, saves or builds a
// write from what it sent.
TEST_F(CliTest, AShortAnswerIsAFailedReadForEveryCommand) {
    const std::array<std::uint8_t, 4> codes{kCommandModesLow, kCommandModesHigh, kCommandPulse, kCommandHide};
    for (std::size_t board = 0; board < codes.size(); ++board)
        bus.addDevice(
            testing::board(u"KX000" + std::u16string(1, static_cast<char16_t>(u'1' + board)), 0x0114, kSetUp));
    // Each board answers short to the select of its own command only.
    bus.failWhen([&](const SimCall& call) {
        if (call.op == SimOp::SetFeature && call.bytes.size() > 1)
            bus.firmware(call.device)
                .setFault(call.bytes[1] == codes[call.device] ? FeatureFault::Short : FeatureFault::None);
        return false;
    });
    const auto saved = scratch / "short.json";
    for (const std::string serial : {"KX0001", "KX0002", "KX0003", "KX0004"}) {
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"show", serial}, {"set", serial, "1-2=1:2"}, {"save", serial, saved.string()}}) {
            SCOPED_TRACE(serial + " " + command[0]);
            out.str("");
            EXPECT_EQ(run(command), 1);
            EXPECT_THAT(out.str(), Not(HasSubstr("1:"))) << "a mode shown";
        }
    }
    EXPECT_TRUE(writes().empty());
    EXPECT_FALSE(std::filesystem::exists(saved));
    for (std::size_t board = 0; board < codes.size(); ++board) EXPECT_EQ(bus.firmware(board).settings(), kSetUp);
}

}  // namespace
}  // namespace korvex::testing
