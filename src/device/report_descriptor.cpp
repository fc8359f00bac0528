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

// One short item of a descriptor.
struct Item {
    std::uint8_t type;  // ItemType
    std::uint8_t tag;
    std::uint32_t value;
    std::size_t dataSize;  // 0, 1, 2 or 4 bytes
};

// Calls `visit` with every short item in order; long items carry nothing we use and are skipped.
// False when the descriptor ends inside an item, or when `visit` returns false.
template <typename Visit>
bool forEachItem(std::span<const std::uint8_t> descriptor, Visit&& visit) {
    std::size_t at = 0;
    while (at < descriptor.size()) {
        const std::uint8_t prefix = descriptor[at];
        if (prefix == kLongItemPrefix) {
            // Prefix, size, tag and data.
            if (descriptor.size() - at < 3) return false;
            const std::size_t dataSize = descriptor[at + 1];
            if (descriptor.size() - at - 3 < dataSize) return false;
            at += 3 + dataSize;
            continue;
        }
        const std::size_t dataSize = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        if (descriptor.size() - at - 1 < dataSize) return false;
        const Item item{static_cast<std::uint8_t>((prefix >> 2) & 0x3), static_cast<std::uint8_t>(prefix >> 4),
                        littleEndian(descriptor.subspan(at + 1, dataSize)), dataSize};
        at += 1 + dataSize;
        if (!visit(item)) return false;
    }
    return true;
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

    const bool complete = forEachItem(descriptor, [&](const Item& item) {
        if (item.type == kGlobal) {
            switch (item.tag) {
            case kReportSize: globals.reportSize = item.value; break;
            case kReportCount: globals.reportCount = item.value; break;
            case kReportId:
                if (item.value == 0 || item.value > 255) return false;
                globals.reportId = static_cast<std::uint8_t>(item.value);
                break;
            case kPush:
                if (depth == kMaxPushDepth) return false;
                stack[depth++] = globals;
                break;
            case kPop:
                if (depth == 0) return false;
                globals = stack[--depth];
                break;
            default: break;
            }
        } else if (item.type == kMain) {
            std::optional<Kind> kind;
            switch (item.tag) {
            case kInput: kind = kInputKind; break;
            case kOutput: kind = kOutputKind; break;
            case kFeature: kind = kFeatureKind; break;
            case kCollection: ++collections; break;
            case kEndCollection:
                if (collections == 0) return false;
                --collections;
                break;
            default: break;
            }
            if (kind) {
                const std::uint64_t added = std::uint64_t{globals.reportSize} * globals.reportCount;
                std::uint64_t& total = bits[*kind][globals.reportId];
                if (added > kMaxReportBits - total) return false;
                total += added;
            }
        }
        // Local items (usages, designators, strings) and reserved items change no length.
        return true;
    });
    if (!complete) return std::nullopt;
    if (collections != 0) return std::nullopt;

    auto longest = [&bits](Kind kind) {
        std::uint64_t most = 0;
        for (const std::uint64_t b : bits[kind]) most = b > most ? b : most;
        return byteLength(most);
    };
    return ReportLengths{longest(kInputKind), longest(kOutputKind), longest(kFeatureKind)};
}

}  // namespace korvex

namespace korvex {

namespace {

constexpr std::uint16_t kButtonPage = 0x09;
enum LocalTag : std::uint8_t { kUsage = 0x0, kUsageMinimum = 0x1, kUsageMaximum = 0x2 };
enum GlobalPageTag : std::uint8_t { kUsagePage = 0x0 };

// Usages named by local items, kept as ranges so that a wide minimum-maximum costs nothing.
struct UsageRange {
    std::uint16_t page;
    std::uint32_t first;
    std::uint32_t last;
};

// The usage of field `index` of a main item: the index-th usage listed; past the end, the last.
std::optional<std::pair<std::uint16_t, std::uint32_t>> usageOf(const std::vector<UsageRange>& ranges,
                                                               std::uint32_t index) {
    for (const UsageRange& range : ranges) {
        const std::uint32_t span = range.last - range.first + 1;
        if (index < span) return std::pair{range.page, range.first + index};
        index -= span;
    }
    if (ranges.empty()) return std::nullopt;
    return std::pair{ranges.back().page, ranges.back().last};
}

}  // namespace

std::optional<InputButtons> parseInputButtons(std::span<const std::uint8_t> descriptor) {
    // Checked whole first, so the walk below meets only complete items and sane sizes.
    if (!parseReportLengths(descriptor)) return std::nullopt;

    struct State {
        Globals sizes;
        std::uint16_t page = 0;
    };
    std::array<State, kMaxPushDepth> stack{};
    std::size_t depth = 0;
    State state;
    std::vector<UsageRange> usages;
    // A usage minimum waiting for its maximum (a plain pair: GCC 12 sees an optional as
    // possibly uninitialised here).
    bool haveMinimum = false;
    std::uint32_t minimum = 0;
    std::array<std::uint64_t, 256> inputBits{};
    InputButtons result;

    auto usage = [&state](std::uint32_t value, std::size_t dataSize) {
        // A 4-byte usage carries its own page in the high half.
        return dataSize == 4 ? std::pair{static_cast<std::uint16_t>(value >> 16), value & 0xFFFF}
                             : std::pair{state.page, value};
    };

    forEachItem(descriptor, [&](const Item& item) {
        const std::uint8_t type = item.type, tag = item.tag;
        const std::uint32_t value = item.value;
        if (type == kGlobal) {
            switch (tag) {
            case kUsagePage: state.page = static_cast<std::uint16_t>(value); break;
            case kReportSize: state.sizes.reportSize = value; break;
            case kReportCount: state.sizes.reportCount = value; break;
            case kReportId:
                state.sizes.reportId = static_cast<std::uint8_t>(value);
                result.numbered = true;
                break;
            case kPush: stack[depth++] = state; break;
            case kPop: state = stack[--depth]; break;
            default: break;
            }
        } else if (type == kLocal) {
            const auto [page, id] = usage(value, item.dataSize);
            if (tag == kUsage) usages.push_back({page, id, id});
            if (tag == kUsageMinimum) {
                minimum = id;
                haveMinimum = true;
            }
            if (tag == kUsageMaximum && haveMinimum && minimum <= id) {
                usages.push_back({page, minimum, id});
                haveMinimum = false;
            }
        } else if (type == kMain) {
            if (tag == kInput) {
                const bool constant = value & 0x1;
                const bool variable = value & 0x2;
                std::uint64_t& offset = inputBits[state.sizes.reportId];
                if (constant || !variable || state.sizes.reportSize != 1) {
                    offset += std::uint64_t{state.sizes.reportSize} * state.sizes.reportCount;
                } else {
                    // One bit per field; the whole check above bounds the count.
                    for (std::uint32_t field = 0; field < state.sizes.reportCount; ++field, ++offset) {
                        const auto named = usageOf(usages, field);
                        if (named && named->first == kButtonPage && named->second != 0 && named->second <= 0xFFFF)
                            result.buttons.push_back({state.sizes.reportId, static_cast<std::uint16_t>(named->second),
                                                      static_cast<std::uint32_t>(offset)});
                    }
                }
            }
            usages.clear();
            haveMinimum = false;
        }
        return true;
    });
    return result;
}

}  // namespace korvex
