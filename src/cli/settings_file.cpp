#include "cli/settings_file.h"

#include "cli/command_error.h"
#include "cli/settings_text.h"
#include "device/hid_platform.h"
#include "protocol/settings.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace korvex::cli {

namespace {

// Far more than a settings file needs; a bigger file is something else and is not read whole.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::string productText() {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", kBoardVendorId, kBoardProductId);
    return text;
}

std::string readBounded(const std::string& path) {
    std::ifstream file(fileFromUtf8(path), std::ios::binary);
    if (!file) badInput(path + ": cannot be read: " + systemErrorText(errno));
    std::string text;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kMaxFileBytes) badInput(path + ": too large to be a settings file");
    }
    return text;
}

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
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        // "[json.exception.parse_error.101] parse error at line 3, column 1: ..." → from "at".
        std::string what = error.what();
        const auto at = what.find(" at ");
        badInput(path + ": truncated or not JSON:" + (at == std::string::npos ? " " + what : what.substr(at)));
    }
    const auto problem = [&path](const std::string& what) { badInput(path + ": " + what); };

    if (!document.is_object() || !document.contains("format") || document["format"] != kSettingsFormat)
        problem("not a korvexctl settings file");
    const auto& version = document["version"];
    if (!version.is_number_integer()) problem("\"version\" is missing or not a number");
    if (version.get<long long>() != kSettingsVersion)
        problem("settings version " + version.dump() + " cannot be read; this korvexctl reads version " +
                std::to_string(kSettingsVersion));
    const auto& product = document["product"];
    if (!product.is_string()) problem("\"product\" is missing");
    if (product.get<std::string>() != productText())
        problem("the settings are for product " + product.get<std::string>() + ", not for this board (" +
                productText() + ")");

    const auto& modes = document["modes"];
    if (!modes.is_object()) problem("\"modes\" must give the mode of each pair 1-2 ... 15-16");
    std::array<int, kPairCount> codes{};
    codes.fill(-1);
    for (const auto& [pair, mode] : modes.items()) {
        const auto number = pairOf(pair);
        if (!number) problem("unknown pair \"" + pair + "\" in \"modes\"");
        const auto code = mode.is_string() ? modeCodeOf(mode.get<std::string>()) : std::nullopt;
        if (!code) problem("pair " + pair + ": unknown mode " + mode.dump() + "; the modes are OFF, 1:1, 1:2 and 1:4");
        codes[static_cast<std::size_t>(*number - 1)] = *code;
    }
    for (int pair = 1; pair <= kPairCount; ++pair)
        if (codes[static_cast<std::size_t>(pair - 1)] < 0) problem("no mode for pair " + pairName(pair));

    const auto& pulse = document["pulse_ms"];
    const auto pulseCode = pulse.is_number_integer() ? pulseCodeOfMs(pulse.get<long long>()) : std::nullopt;
    if (!pulseCode) problem("\"pulse_ms\" " + pulse.dump() + " is not one of " + pulseChoices());
    const auto& hide = document["hide"];
    if (!hide.is_boolean()) problem("\"hide\" must be true or false");

    BoardSettings settings;
    const EncoderModeBytes bytes = packEncoderModes(codes);
    settings.modesLow = bytes.low;
    settings.modesHigh = bytes.high;
    settings.pulseCode = static_cast<std::uint8_t>(*pulseCode);
    settings.hideFlag = hide.get<bool>() ? 1 : 0;
    return settings;
}

}  // namespace korvex::cli
