// The commands of korvexctl, each returning its exit code or throwing a CommandError.
#pragma once

#include "cli/cli_context.h"

#include <optional>
#include <string>
#include <vector>

namespace korvex::cli {

struct BoardChoice {
    std::string serial;        // empty: the only board present
    std::optional<int> index;  // among boards with that serial, from 1
};

int listBoards(CliContext& context, bool json);
int showBoard(CliContext& context, BoardChoice choice, bool json);
int setBoard(CliContext& context, const BoardChoice& choice, const std::vector<std::string>& assignments);
int saveBoard(CliContext& context, const BoardChoice& choice, const std::string& file);
int loadBoard(CliContext& context, const BoardChoice& choice, const std::string& file);
int copyBoard(CliContext& context, const BoardChoice& from, const BoardChoice& to);

struct WatchLimits {
    std::optional<long long> reports;  // stop after this many input reports
    std::optional<double> seconds;     // stop after this long
};
// json: one JSON object a line, a "start" line, one per event and an "end" line that sums up each
// encoder, for scripts.
int watchBoard(CliContext& context, const BoardChoice& choice, const WatchLimits& limits, bool json = false);

// json: the diagnostics report (app/diagnostics.h) instead, with exit 0 once it is written.
int doctor(CliContext& context, bool json = false);

}  // namespace korvex::cli
