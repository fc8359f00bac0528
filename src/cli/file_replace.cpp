#include "cli/file_replace.h"

#include "cli/command_error.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace korvex::cli {

namespace fs = std::filesystem;

#ifdef _WIN32

std::string replaceFile(const fs::path& target, std::string_view content) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(L".");
    wchar_t temporary[MAX_PATH] = {};
    if (GetTempFileNameW(folder.c_str(), L"kx", 0, temporary) == 0)
        return "cannot be written: " + systemErrorText(static_cast<int>(GetLastError()));
    const HANDLE file =
        CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    for (std::size_t done = 0; !error && done < content.size();) {
        DWORD wrote = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1 << 20));
        if (!WriteFile(file, content.data() + done, chunk, &wrote, nullptr)) error = GetLastError();
        done += wrote;
    }
    if (!error && !FlushFileBuffers(file)) error = GetLastError();
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && !error) error = GetLastError();
    if (!error && !MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (!error) return {};
    DeleteFileW(temporary);
    return "cannot be written: " + systemErrorText(static_cast<int>(error));
}

#else

namespace {

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t wrote = ::write(fd, content.data(), content.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return false;
        content.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

// The mode of the file being replaced, or that of a new file (0666 less the umask).
mode_t modeFor(const fs::path& target) {
    struct stat old {};
    if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string replaceFile(const fs::path& target, std::string_view content) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // Hidden, in the same folder (a rename does not cross file systems), unique.
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return "cannot be written: " + systemErrorText(errno);
    int error = 0;
    if (::fchmod(fd, modeFor(target)) != 0 || !writeAll(fd, content) || ::fsync(fd) != 0) error = errno;
    // A network file system may report a failed write only when the file is closed.
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return "cannot be written: " + systemErrorText(error);
    }
    // The rename is an entry of the folder: flushed with it, it survives a crash too.
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

#endif

}  // namespace korvex::cli
