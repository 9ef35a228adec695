#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "common/FdWrite.h"

namespace corvina {
namespace {

// The mode a replacement of `target` gets.
mode_t ReplacementMode(const std::filesystem::path& target, int mode) {
    struct stat st {};
    if (mode >= 0) {
        return static_cast<mode_t>(mode) & 07777;
    }
    if (::stat(target.c_str(), &st) == 0) {
        return st.st_mode & 07777;
    }
    return 0600;
}

// The file a link points to, or the path itself.
bool ResolveTarget(const std::filesystem::path& path, std::filesystem::path& target) {
    std::error_code ec;
    target = path;
    if (std::filesystem::is_symlink(target, ec)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
        if (ec) {
            return false;
        }
        target = resolved;
    }
    return true;
}

// Writes a new file beside `target` through `fill`, syncs it and renames it
// over `target`. The temporary file is gone whatever happens.
template <typename Fill>
bool ReplaceWith(const std::filesystem::path& target, mode_t fileMode, Fill fill, int& err) {
    const std::filesystem::path dir = target.parent_path();
    std::string pattern = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        err = errno;
        return false;
    }
    bool ok = ::fchmod(fd, fileMode) == 0 && fill(fd) && ::fsync(fd) == 0;
    if (!ok && err == 0) {
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        err = errno;
        ok = false;
    }
    if (ok && ::rename(pattern.c_str(), target.c_str()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(pattern.c_str());
        return false;
    }
    // The rename is durable only once the directory is on disk.
    if (!FsyncDirectory(dir)) {
        err = errno;
        return false;
    }
    return true;
}

}  // namespace

bool FsyncDirectory(const std::filesystem::path& directory) {
    const std::filesystem::path dir = directory.empty() ? std::filesystem::path(".") : directory;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool FsyncFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, int mode,
                         int* err) {
    int ignored = 0;
    int& error = err != nullptr ? *err : ignored;
    error = 0;
    std::filesystem::path target;
    if (!ResolveTarget(path, target)) {
        error = ENOENT;
        return false;
    }
    return ReplaceWith(
        target, ReplacementMode(target, mode), [&](int fd) { return WriteAll(fd, bytes); }, error);
}

bool CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                        int mode, int* err) {
    int ignored = 0;
    int& error = err != nullptr ? *err : ignored;
    error = 0;
    std::filesystem::path target;
    if (!ResolveTarget(to, target)) {
        error = ENOENT;
        return false;
    }
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = errno;
        return false;
    }
    const bool ok = ReplaceWith(
        target, ReplacementMode(target, mode),
        [&](int out) {
            char buffer[65536];
            for (;;) {
                const ssize_t n = ::read(in, buffer, sizeof buffer);
                if (n == 0) {
                    return true;
                }
                if (n < 0) {
                    if (errno == EINTR) {
                        continue;
                    }
                    return false;
                }
                if (!WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(n)))) {
                    return false;
                }
            }
        },
        error);
    ::close(in);
    return ok;
}

}  // namespace corvina
