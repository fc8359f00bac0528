#include "cli/settings_file.h"

#include "cli/command_error.h"
#include "cli/settings_text.h"
#include "device/hid_platform.h"
#include "protocol/settings.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvex::cli {

namespace {

// Far more than a settings file needs; a bigger file is something else and is not read whole.
constexpr std::size_t kMaxFileBytes = 64 * 1024;
// A settings file nests two levels (the document, its modes). nlohmann builds, compares and prints
// a value by recursion, so a file of nested brackets would overflow the stack: anything deeper
// than this is refused before a value is built.
constexpr int kMaxDepth = 8;
// Values from the file are quoted in messages at most this long.
constexpr std::size_t kMaxQuoted = 40;

std::string productText() {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", kBoardVendorId, kBoardProductId);
    return text;
}

std::string shortened(const std::string& text) {
    return text.size() > kMaxQuoted ? text.substr(0, kMaxQuoted) + "..." : text;
}
std::string quoted(const std::string& text) { return "\"" + shortened(text) + "\""; }

// What a value is, for a message that must not print the value itself.
std::string typeOf(const nlohmann::json& value) {
    switch (value.type()) {
    case nlohmann::json::value_t::object: return "an object";
    case nlohmann::json::value_t::array: return "an array";
    case nlohmann::json::value_t::string: return "a string";
    case nlohmann::json::value_t::boolean: return "a boolean";
    case nlohmann::json::value_t::number_float: return "a fractional number";
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned: return "a number";
    case nlohmann::json::value_t::null: return "null";
    default: return "binary";
    }
}

// Only a regular file is read: a FIFO or a device node could block the command or never end.
// The type is checked before opening, and again on what was opened, in case the name changed.
std::string readBounded(const std::string& path) {
    const std::filesystem::path name = fileFromUtf8(path);
#ifdef _WIN32
    std::error_code error;
    const auto status = std::filesystem::status(name, error);
    if (error) badInput(path + ": cannot be read: " + error.message());
    if (!std::filesystem::is_regular_file(status)) badInput(path + ": not a regular file");
    std::ifstream file(name, std::ios::binary);
    if (!file) badInput(path + ": cannot be read");
    std::string text;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxFileBytes) badInput(path + ": too large to be a settings file");
    }
    return text;
#else
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) badInput(path + ": cannot be read: " + systemErrorText(errno));
    if (!S_ISREG(status.st_mode)) badInput(path + ": not a regular file");
    if (static_cast<std::uintmax_t>(status.st_size) > kMaxFileBytes)
        badInput(path + ": too large to be a settings file");
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) badInput(path + ": cannot be read: " + systemErrorText(errno));
    std::string text;
    std::string problem;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) problem = "not a regular file";
    char chunk[4096];
    while (problem.empty()) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) problem = "cannot be read: " + systemErrorText(errno);
        if (got <= 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
        if (text.size() > kMaxFileBytes) problem = "too large to be a settings file";
    }
    ::close(fd);
    if (!problem.empty()) badInput(path + ": " + problem);
    return text;
#endif
}

// Parses without building anything, to learn whether the text is JSON and nests no deeper than
// kMaxDepth. Returns what is wrong, or nothing.
class DepthCheck final : public nlohmann::json_sax<nlohmann::json> {
public:
    std::string problem;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return deeper(); }
    bool key(string_t&) override { return true; }
    bool end_object() override { return --depth_, true; }
    bool start_array(std::size_t) override { return deeper(); }
    bool end_array() override { return --depth_, true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override {
        // "[json.exception.parse_error.101] parse error at line 3, column 1: ..." → from "at", and
        // short: the message quotes the token read last, which may be a long string.
        std::string what = error.what();
        const auto at = what.find(" at ");
        what = at == std::string::npos ? " " + what : what.substr(at);
        problem = "truncated or not JSON:" + (what.size() > 160 ? what.substr(0, 160) + "..." : what);
        return false;
    }

private:
    bool deeper() {
        if (++depth_ <= kMaxDepth) return true;
        problem = "nested deeper than " + std::to_string(kMaxDepth) + " levels: not a korvexctl settings file";
        return false;
    }
    int depth_ = 0;
};

}  // namespace

nlohmann::json settingsJson(const BoardSettings& settings) {
    nlohmann::json modes = nlohmann::json::object();
    const auto codes = modeCodes(settings);
    for (int pair = 1; pair <= kPairCount; ++pair)
        modes[pairName(pair)] = kEncoderModeTexts[static_cast<std::size_t>(codes[static_cast<std::size_t>(pair - 1)])];
    nlohmann::json json;
    json["modes"] = modes;
    json["pulse_ms"] = pulseKnown(settings) ? nlohmann::json(settings.pulseCode * kPulseStepMs) : nlohmann::json();
    json["hide"] = hideKnown(settings) ? nlohmann::json(settings.hideFlag == 1) : nlohmann::json();
    return json;
}

std::string settingsDocument(const BoardSettings& settings, const std::string& serial, const std::string& firmware) {
    nlohmann::ordered_json document;
    document["format"] = kSettingsFormat;
    document["version"] = kSettingsVersion;
    document["product"] = productText();
    document["firmware"] = firmware;
    document["serial"] = serial;
    const nlohmann::json values = settingsJson(settings);
    nlohmann::ordered_json modes;
    for (int pair = 1; pair <= kPairCount; ++pair) modes[pairName(pair)] = values["modes"][pairName(pair)];
    document["modes"] = modes;
    document["pulse_ms"] = values["pulse_ms"];
    document["hide"] = values["hide"];
    return document.dump(2) + "\n";
}

BoardSettings readSettingsFile(const std::string& path) {
    const std::string text = readBounded(path);
    const auto problem = [&path](const std::string& what) { badInput(path + ": " + what); };
    DepthCheck check;
    if (!nlohmann::json::sax_parse(text, &check) || !check.problem.empty())
        problem(check.problem.empty() ? "truncated or not JSON" : check.problem);
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception&) {
        problem("truncated or not JSON");
    }
    // A value of the wrong kind is named by its type, never printed: it may be large.
    const auto wrongType = [&problem](const std::string& key, const nlohmann::json& value, const std::string& wanted) {
        problem("the value of \"" + key + "\" is " + typeOf(value) + ", expected " + wanted);
    };

    if (!document.is_object() || !document.contains("format") || document["format"] != kSettingsFormat)
        problem("not a korvexctl settings file");
    const auto& version = document["version"];
    if (version.is_null()) problem("\"version\" is missing");
    if (!version.is_number_integer()) wrongType("version", version, "a number");
    if (version.get<long long>() != kSettingsVersion)
        problem("settings version " + std::to_string(version.get<long long>()) +
                " cannot be read; this korvexctl reads version " + std::to_string(kSettingsVersion));
    const auto& product = document["product"];
    if (product.is_null()) problem("\"product\" is missing");
    if (!product.is_string()) wrongType("product", product, "a string");
    if (product.get<std::string>() != productText())
        problem("the settings are for product " + shortened(product.get<std::string>()) + ", not for this board (" +
                productText() + ")");

    const auto& modes = document["modes"];
    if (modes.is_null()) problem("\"modes\" is missing: it gives the mode of each pair 1-2 ... 15-16");
    if (!modes.is_object()) wrongType("modes", modes, "an object");
    std::array<int, kPairCount> codes{};
    codes.fill(-1);
    for (const auto& [pair, mode] : modes.items()) {
        const auto number = pairOf(pair);
        if (!number) problem("unknown pair " + quoted(pair) + " in \"modes\"");
        if (!mode.is_string()) wrongType(pair, mode, "a mode: OFF, 1:1, 1:2 or 1:4");
        const auto code = modeCodeOf(mode.get<std::string>());
        if (!code)
            problem("pair " + pair + ": unknown mode " + quoted(mode.get<std::string>()) +
                    "; the modes are OFF, 1:1, 1:2 and 1:4");
        codes[static_cast<std::size_t>(*number - 1)] = *code;
    }
    for (int pair = 1; pair <= kPairCount; ++pair)
        if (codes[static_cast<std::size_t>(pair - 1)] < 0) problem("no mode for pair " + pairName(pair));

    const auto& pulse = document["pulse_ms"];
    if (!pulse.is_number_integer()) wrongType("pulse_ms", pulse, "a number: " + pulseChoices());
    const auto pulseCode = pulseCodeOfMs(pulse.get<long long>());
    if (!pulseCode)
        problem("\"pulse_ms\" " + std::to_string(pulse.get<long long>()) + " is not one of " + pulseChoices());
    const auto& hide = document["hide"];
    if (!hide.is_boolean()) problem("\"hide\" must be true or false, not " + typeOf(hide));
    BoardSettings settings;
    const EncoderModeBytes bytes = packEncoderModes(codes);
    settings.modesLow = bytes.low;
    settings.modesHigh = bytes.high;
    settings.pulseCode = static_cast<std::uint8_t>(*pulseCode);
    settings.hideFlag = hide.get<bool>() ? 1 : 0;
    return settings;
}

}  // namespace korvex::cli
