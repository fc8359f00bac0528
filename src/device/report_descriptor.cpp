#include "device/report_descriptor.h"

#include <array>
#include <cstddef>

namespace korvex {

namespace {

enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

enum MainTag : std::uint8_t { kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB, kEndCollection = 0xC };

enum GlobalTag : std::uint8_t { kReportSize = 0x7, kReportId = 0x8, kReportCount = 0x9, kPush = 0xA, kPop = 0xB };

constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::size_t kMaxPushDepth = 16;
// A length must fit 16 bits together with its report ID byte.
constexpr std::uint64_t kMaxReportBits = 65534ull * 8;

// The global items that decide a report's size.
struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;  // 0: the device numbers no reports (so far)
};

enum Kind : std::size_t { kInputKind, kOutputKind, kFeatureKind, kKinds };

std::uint32_t littleEndian(std::span<const std::uint8_t> data) {
    std::uint32_t value = 0;
    for (std::size_t i = data.size(); i-- > 0;) value = (value << 8) | data[i];
    return value;
}

std::uint16_t byteLength(std::uint64_t bits) {
    // Checked against kMaxReportBits on every addition, so this fits.
    return bits == 0 ? 0 : static_cast<std::uint16_t>((bits + 7) / 8 + 1);
}

}  // namespace

std::optional<ReportLengths> parseReportLengths(std::span<const std::uint8_t> descriptor) {
    // Bits of every report, by kind and report ID: one report may be spread over many main items.
    std::array<std::array<std::uint64_t, 256>, kKinds> bits{};
    std::array<Globals, kMaxPushDepth> stack{};
    std::size_t depth = 0;
    std::size_t collections = 0;
    Globals globals;

    std::size_t at = 0;
    while (at < descriptor.size()) {
        const std::uint8_t prefix = descriptor[at];
        if (prefix == kLongItemPrefix) {
            // Long items carry no sizes we use; skip prefix, size, tag and data.
            if (descriptor.size() - at < 3) return std::nullopt;
            const std::size_t dataSize = descriptor[at + 1];
            if (descriptor.size() - at - 3 < dataSize) return std::nullopt;
            at += 3 + dataSize;
            continue;
        }
        const std::size_t dataSize = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        if (descriptor.size() - at - 1 < dataSize) return std::nullopt;
        const std::uint32_t value = littleEndian(descriptor.subspan(at + 1, dataSize));
        const std::uint8_t type = (prefix >> 2) & 0x3;
        const std::uint8_t tag = prefix >> 4;
        at += 1 + dataSize;

        if (type == kGlobal) {
            switch (tag) {
            case kReportSize: globals.reportSize = value; break;
            case kReportCount: globals.reportCount = value; break;
            case kReportId:
                if (value == 0 || value > 255) return std::nullopt;
                globals.reportId = static_cast<std::uint8_t>(value);
                break;
            case kPush:
                if (depth == kMaxPushDepth) return std::nullopt;
                stack[depth++] = globals;
                break;
            case kPop:
                if (depth == 0) return std::nullopt;
                globals = stack[--depth];
                break;
            default: break;
            }
        } else if (type == kMain) {
            std::optional<Kind> kind;
            switch (tag) {
            case kInput: kind = kInputKind; break;
            case kOutput: kind = kOutputKind; break;
            case kFeature: kind = kFeatureKind; break;
            case kCollection: ++collections; break;
            case kEndCollection:
                if (collections == 0) return std::nullopt;
                --collections;
                break;
            default: break;
            }
            if (kind) {
                const std::uint64_t added = std::uint64_t{globals.reportSize} * globals.reportCount;
                std::uint64_t& total = bits[*kind][globals.reportId];
                if (added > kMaxReportBits - total) return std::nullopt;
                total += added;
            }
        }
        // Local items (usages, designators, strings) and reserved items change no length.
    }
    if (collections != 0) return std::nullopt;

    auto longest = [&bits](Kind kind) {
        std::uint64_t most = 0;
        for (const std::uint64_t b : bits[kind]) most = b > most ? b : most;
        return byteLength(most);
    };
    return ReportLengths{longest(kInputKind), longest(kOutputKind), longest(kFeatureKind)};
}

}  // namespace korvex
