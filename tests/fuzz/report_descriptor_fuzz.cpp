// Feeds arbitrary bytes to the report descriptor parser, as a board (or anything pretending to
// be one) could hand them to us. Sanitizers catch reads out of bounds and overflows; the checks
// below catch lengths that no descriptor can produce.
#include "device/report_descriptor.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> descriptor(data, size);
    // The button map walks the same items with a stack of its own: it must stand the same input.
    (void)korvex::parseInputButtons(descriptor);
    const auto lengths = korvex::parseReportLengths(descriptor);
    if (!lengths) return 0;
    // A report has at least one data byte besides its ID byte, or it is absent.
    for (const std::uint16_t length : {lengths->input, lengths->output, lengths->feature})
        if (length == 1) std::abort();
    return 0;
}
