#include "message/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace corvina {

namespace {

int OpenPrivateFd(const std::filesystem::path& path, PrivateOpen how) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    switch (how) {
        case PrivateOpen::kCreateNew:
            flags |= O_EXCL;
            break;
        case PrivateOpen::kTruncate:
            flags |= O_TRUNC;
            break;
        case PrivateOpen::kAppend:
            flags |= O_APPEND;
            break;
    }
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        return -1;
    }
    // An existing file keeps its old mode on open; a new one loses bits to
    // the umask only, never gains any.
    if (how != PrivateOpen::kCreateNew && ::fchmod(fd, 0600) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

}  // namespace

std::FILE* OpenPrivateFile(const std::filesystem::path& path, PrivateOpen how) {
    const int fd = OpenPrivateFd(path, how);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, how == PrivateOpen::kAppend ? "ab" : "wb");
    if (f == nullptr) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return f;
}

bool CreatePrivateFile(const std::filesystem::path& path) {
    const int fd = OpenPrivateFd(path, PrivateOpen::kTruncate);
    return fd >= 0 && ::close(fd) == 0;
}

}  // namespace corvina
