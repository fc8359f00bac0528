#include "cli_fixture.h"

#include <fstream>
#include <random>

namespace korvex::testing {

CliTest::CliTest() {
    scratch = std::filesystem::temp_directory_path() / ("korvexctl-test-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(scratch);
}

CliTest::~CliTest() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

int CliTest::run(const std::vector<std::string>& arguments) {
    out.str({});
    err.str({});
    cli::CliContext context{bus, out, err, [this] { return stopSignal; }, paths};
    return cli::runKorvexctl(arguments, context);
}

std::vector<Bytes> CliTest::writes() const {
    std::vector<Bytes> found;
    for (const SimCall& call : bus.calls())
        if (call.op == SimOp::SetFeature && call.bytes.size() > 1 && (call.bytes[1] == 0xEE || call.bytes[1] == 0xB0))
            found.push_back(call.bytes);
    return found;
}

std::filesystem::path CliTest::file(const std::string& name, const std::string& content) const {
    const auto path = scratch / name;
    if (!content.empty()) std::ofstream(path, std::ios::binary) << content;
    return path;
}

}  // namespace korvex::testing
