// Feeds arbitrary bytes to the report descriptor parser, as a board (or anything pretending to
// be one) could hand them to us. Sanitizers catch reads out of bounds and overflows; the checks
// below catch lengths that no descriptor can produce.
#include "device/report_descriptor.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto lengths = korvex::parseReportLengths(std::span<const std::uint8_t>(data, size));
    if (!lengths) return 0;
    // A report has at least one data byte besides its ID byte, or it is absent.
    for (const std::uint16_t length : {lengths->input, lengths->output, lengths->feature})
        if (length == 1) std::abort();
    return 0;
}
