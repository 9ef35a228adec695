#include "common/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace corvina {
namespace {
const char kEmpty[1] = {'\0'};
}

MappedFile::~MappedFile() {
    Close();
}

MappedFile::MappedFile(MappedFile&& other) noexcept {
    *this = std::move(other);
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Close();
        base_ = std::exchange(other.base_, nullptr);
        scan_ = std::exchange(other.scan_, nullptr);
        size_ = std::exchange(other.size_, 0);
        released_ = std::exchange(other.released_, 0);
        open_ = std::exchange(other.open_, false);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

bool MappedFile::Open(const std::filesystem::path& name) {
    Close();
    int fd;
    do {
        fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    if (size == 0) {
        // Nothing to map; an empty view is a successful open.
        ::close(fd);
        base_ = kEmpty;
        scan_ = base_;
        size_ = 0;
        open_ = true;
        mapped_ = false;
        return true;
    }
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (view == MAP_FAILED) {
        return false;
    }
    base_ = static_cast<const char*>(view);
    scan_ = base_;
    size_ = size;
    open_ = true;
    mapped_ = true;
    return true;
}

void MappedFile::Close() {
    if (mapped_) {
        ::munmap(const_cast<char*>(base_), size_);
    }
    base_ = nullptr;
    scan_ = nullptr;
    size_ = 0;
    released_ = 0;
    open_ = false;
    mapped_ = false;
}

bool MappedFile::NextLine(std::string_view& line) {
    if (!open_ || AtEnd()) {
        return false;
    }
    const char* end = base_ + size_;
    const void* nl = std::memchr(scan_, '\n', static_cast<std::size_t>(end - scan_));
    const char* stop = nl ? static_cast<const char*>(nl) + 1 : end;
    line = std::string_view(scan_, static_cast<std::size_t>(stop - scan_));
    scan_ = stop;
    return true;
}

void MappedFile::AdviseSequential() const {
    if (mapped_) {
        ::madvise(const_cast<char*>(base_), size_, MADV_SEQUENTIAL);
    }
}

void MappedFile::ReleaseBefore(std::size_t offset) {
    if (!mapped_) {
        return;
    }
    static const std::size_t kPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = std::min(offset, size_) / kPage * kPage;
    if (end <= released_) {
        return;
    }
    // A shared read-only file mapping: the pages stay in the page cache and
    // come back on the next touch, so this loses nothing.
    ::madvise(const_cast<char*>(base_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
}

}  // namespace corvina
