#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace corvina {
namespace {

bool WriteAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
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

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, int mode) {
    std::error_code ec;
    std::filesystem::path target = path;
    // Replace the file a link points to, not the link.
    if (std::filesystem::is_symlink(target, ec)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
        if (ec) {
            return false;
        }
        target = resolved;
    }

    mode_t fileMode;
    struct stat st {};
    if (mode >= 0) {
        fileMode = static_cast<mode_t>(mode) & 07777;
    } else if (::stat(target.c_str(), &st) == 0) {
        fileMode = st.st_mode & 07777;
    } else {
        fileMode = 0666 & ~CurrentUmask();
    }

    std::filesystem::path dir = target.parent_path();
    std::string pattern = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return false;
    }
    bool ok =
        ::fchmod(fd, fileMode) == 0 && WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    if (::close(fd) != 0) {
        ok = false;
    }
    if (ok && ::rename(pattern.c_str(), target.c_str()) != 0) {
        ok = false;
    }
    if (!ok) {
        ::unlink(pattern.c_str());
        return false;
    }
    // The rename is durable only once the directory is on disk.
    return FsyncDirectory(dir);
}

}  // namespace corvina
