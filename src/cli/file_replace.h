// Writing a file so that it is never seen half-written: `save` replaces a settings file this way.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvex::cli {

// Writes `content` to a new file beside `target`, flushes it to the disk and renames it over
// `target`. A full disk or a crash leaves the old file whole, and a symbolic link at `target` is
// replaced by the file, not written through. Returns what failed, with the system's reason, or
// an empty text when the file is in place.
std::string replaceFile(const std::filesystem::path& target, std::string_view content);

}  // namespace korvex::cli
