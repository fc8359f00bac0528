// korvexctl run on a simulated bus, with its output kept and the reports that reached the boards.
#pragma once

#include "cli/cli_context.h"
#include "cli/korvexctl.h"
#include "support/sim_world.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace korvex::testing {

class CliTest : public ::testing::Test {
protected:
    CliTest();
    ~CliTest() override;

    int run(const std::vector<std::string>& arguments);
    // Write reports and follow-ups that reached any board.
    std::vector<Bytes> writes() const;
    std::filesystem::path file(const std::string& name, const std::string& content = {}) const;

    SimulatedBus bus;
    std::ostringstream out, err;
    std::filesystem::path scratch;  // removed after each test
    cli::SystemPaths paths;
    int stopSignal = 0;  // as the signal handler sets it: SIGINT for Ctrl+C, SIGTERM
};

}  // namespace korvex::testing
