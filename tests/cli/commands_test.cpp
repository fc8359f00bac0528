#include "cli_fixture.h"

#include <nlohmann/json.hpp>

#include <fstream>

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

}  // namespace
}  // namespace korvex::testing
