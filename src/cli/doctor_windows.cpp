// doctor on Windows: the boards found and any that could not be opened, with the reason.
#include "app/diagnostics.h"
#include "cli/board_access.h"
#include "cli/command_error.h"
#include "cli/commands.h"
#include "cli/printable_text.h"
#include "device/discovery.h"

namespace korvex::cli {

int doctor(CliContext& context, bool json) {
    if (json) {
        context.out << app::diagnosticsReport(context.platform, "korvexctl " KORVEX_VERSION, &context.paths);
        return kExitOk;
    }
    DeviceSession session;
    const auto boards = scanBoards(context.platform, session);
    bool healthy = !boards.empty();
    if (boards.empty())
        context.out << "boards: none found (is it plugged in? Device Manager lists it under Human Interface Devices)\n";
    for (const BoardRecord& board : boards) {
        if (board.usable()) {
            context.out << printable(board.serial) << ": opens, firmware "
                        << versionText(board.attributes.releaseNumber) << "\n";
        } else {
            healthy = false;
            context.out << printable(board.path) << ": could not be opened: " << systemErrorText(board.openError)
                        << " (error " << board.openError << ")\n";
        }
    }
    if (!healthy) return kExitDeviceError;
    context.out << "Everything is in order.\n";
    return kExitOk;
}

}  // namespace korvex::cli
