// Every wrong request ends with exit 2, one line naming the problem, and nothing written.
#include "cli_fixture.h"

#include <nlohmann/json.hpp>

#ifndef _WIN32
#include <pthread.h>
#include <sys/stat.h>
#endif

namespace korvex::testing {
namespace {

struct BadInput {
    const char* name;
    std::vector<std::string> arguments;  // "FILE" stands for the settings file below
    std::string file;                    // content of the settings file; empty: no file
    std::string says;                    // part of the message
};

const std::string kGood = R"({"format": "korvexctl-settings", "version": 1, "product": "5a17:0102",
  "modes": {"1-2": "OFF", "3-4": "1:1", "5-6": "1:2", "7-8": "1:4", "9-10": "OFF", "11-12": "OFF",
            "13-14": "OFF", "15-16": "OFF"}, "pulse_ms": 12, "hide": true})";

std::string edited(const std::string& from, const std::string& to) {
    std::string text = kGood;
    text.replace(text.find(from), from.size(), to);
    return text;
}

// kGood with one value replaced.
std::string withValue(const std::string& key, const nlohmann::json& value) {
    auto document = nlohmann::json::parse(kGood);
    document[key] = value;
    return document.dump();
}

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

const std::vector<BadInput> kBadInputs = {
    {"unknown serial", {"set", "KX9999", "pulse=8"}, "", "no board with serial number KX9999"},
    {"duplicate serial", {"set", "KX0002", "pulse=8"}, "", "2 boards have serial number KX0002"},
    {"index past the boards", {"set", "KX0002", "--index", "3", "pulse=8"}, "", "--index 3"},
    {"unknown pair", {"set", "KX0001", "17-18=OFF"}, "", "unknown setting \"17-18\""},
    {"unknown mode", {"set", "KX0001", "5-6=1:3"}, "", "unknown mode \"1:3\""},
    {"pulse off the list", {"set", "KX0001", "pulse=13"}, "", "pulse=13"},
    {"pulse too long", {"set", "KX0001", "pulse=104"}, "", "4, 8, 12 ... 100"},
    {"hide neither on nor off", {"set", "KX0001", "hide=yes"}, "", "hide=on or hide=off"},
    {"a later bad setting", {"set", "KX0001", "pulse=8", "3-4=fast"}, "", "unknown mode \"fast\""},
    {"pair twice", {"set", "KX0001", "1-2=OFF", "1-2=1:1"}, "", "given twice"},
    {"no setting", {"set", "KX0001", "pulse"}, "", "is no setting"},
    {"missing file", {"load", "KX0001", "FILE"}, "", "cannot be read"},
    {"truncated file", {"load", "KX0001", "FILE"}, kGood.substr(0, 80), "truncated or not JSON"},
    {"malformed file", {"load", "KX0001", "FILE"}, "{\"format\": korvex}", "not JSON"},
    {"foreign JSON",
     {"load", "KX0001", "FILE"},
     R"({"name": "a package", "version": 1})",
     "not a korvexctl settings file"},
    {"another product", {"load", "KX0001", "FILE"}, edited("5a17:0102", "5a17:0103"), "for product 5a17:0103"},
    {"newer version", {"load", "KX0001", "FILE"}, edited("\"version\": 1", "\"version\": 2"), "version 2"},
    {"pair missing", {"load", "KX0001", "FILE"}, edited("\"7-8\": \"1:4\",", ""), "no mode for pair 7-8"},
    {"unknown pair in file", {"load", "KX0001", "FILE"}, edited("\"9-10\"", "\"9-11\""), "unknown pair \"9-11\""},
    {"mode in file", {"load", "KX0001", "FILE"}, edited("\"1:4\"", "\"1:8\""), "pair 7-8: unknown mode"},
    {"pulse in file", {"load", "KX0001", "FILE"}, edited("\"pulse_ms\": 12", "\"pulse_ms\": 10"), "\"pulse_ms\" 10"},
    {"hide in file", {"load", "KX0001", "FILE"}, edited("true", "\"on\""), "\"hide\" must be"},
    {"modes of another type",
     {"load", "KX0001", "FILE"},
     withValue("modes", {1, 2}),
     "the value of \"modes\" is an array, expected an object"},
    {"pulse of another type", {"load", "KX0001", "FILE"}, withValue("pulse_ms", "12"), "\"pulse_ms\" is a string"},
    {"nested too deep", {"load", "KX0001", "FILE"}, edited("\"1:4\"", nested(20)), "nested deeper than 8 levels"},
    {"file too large", {"load", "KX0001", "FILE"}, nested(50 * 1024), "too large"},
    {"control characters", {"load", "KX0001", "FILE"}, withValue("product", "\x1b[2J\n"), "product \\x1b[2J\\n,"},
#ifndef _WIN32
    {"device node", {"load", "KX0001", "/dev/null"}, "", "/dev/null: not a regular file"},
#endif
    {"file for an unknown board", {"load", "KX9999", "FILE"}, kGood, "no board with serial number KX9999"},
    {"copy to a duplicate", {"copy", "KX0001", "KX0002"}, "", "choose one with --index"},
    {"unknown command", {"flash", "KX0001"}, "", "unknown command \"flash\""},
    {"missing serial", {"save"}, "", "SERIAL is required"},
    {"watch count", {"watch", "KX0001", "--count", "0"}, "", "--count"},
};

TEST_F(CliTest, BadInputIsRefusedWithOneLineAndNothingWritten) {
    bus.addDevice(board(u"KX0001"));
    bus.addDevice(board(u"KX0002"));
    bus.addDevice(board(u"KX0002"));
    for (const BadInput& row : kBadInputs) {
        SCOPED_TRACE(row.name);
        const auto settings = file("settings.json", row.file);
        std::vector<std::string> arguments = row.arguments;
        for (auto& argument : arguments)
            if (argument == "FILE") argument = settings.string();
        bus.clearCalls();
        EXPECT_EQ(run(arguments), 2);
        EXPECT_THAT(err.str(), ::testing::HasSubstr(row.says));
        const std::string message = err.str();
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
        EXPECT_TRUE(writes().empty());
        std::filesystem::remove(settings);
    }
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

// A FIFO would block a reader until a writer comes: load refuses it without reading, and save
// does not put a file in its place.
#ifndef _WIN32
TEST_F(CliTest, LoadAndSaveRefuseAFifo) {
    bus.addDevice(board(u"KX0001"));
    const auto fifo = scratch / "settings.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(run({"load", "KX0001", fifo.string()}), 2);
    EXPECT_THAT(err.str(), ::testing::HasSubstr("not a regular file"));
    EXPECT_EQ(run({"save", "KX0001", fifo.string()}), 2);
    EXPECT_THAT(err.str(), ::testing::HasSubstr("not a regular file"));
    EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);
}
#endif

// Deep nesting inside a file's size limit, loaded with the stack of a Windows main thread (1 MiB):
// refused with exit 2, where nlohmann's recursion would have overflowed the stack.
TEST_F(CliTest, DeeplyNestedJsonIsRefusedOnASmallStack) {
    bus.addDevice(board(u"KX0001"));
    const auto deep = file("deep.json", edited("\"1:4\"", nested(30000)));
    int code = -1;
    const auto load = [&] { code = run({"load", "KX0001", deep.string()}); };
#ifdef _WIN32
    load();  // gtest runs on the main thread, whose stack is 1 MiB here
#else
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 1024 * 1024);
    pthread_t thread;
    auto* job = new std::function<void()>(load);
    ASSERT_EQ(pthread_create(
                  &thread, &attributes,
                  [](void* task) -> void* {
                      (*static_cast<std::function<void()>*>(task))();
                      return nullptr;
                  },
                  job),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    delete job;
#endif
    EXPECT_EQ(code, 2);
    EXPECT_THAT(err.str(), ::testing::HasSubstr("nested deeper than"));
}

}  // namespace
}  // namespace korvex::testing
