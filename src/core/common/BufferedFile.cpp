#include "common/BufferedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "common/CodePage.h"
#include "common/FdWrite.h"

namespace corvina {
namespace {

constexpr unsigned char kEofMark = 0x1A;

// Bytes that end the fast copy of ReadLine.
struct SpecialBytes {
    bool table[256] = {};
    constexpr SpecialBytes() {
        table['\n'] = true;
        table['\r'] = true;
        table[kEofMark] = true;
    }
};
constexpr SpecialBytes kSpecial;

}  // namespace

BufferedFile::~BufferedFile() {
    Close();
}

BufferedFile::BufferedFile(BufferedFile&& other) noexcept {
    *this = std::move(other);
}

BufferedFile& BufferedFile::operator=(BufferedFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, -1);
        mirror_ = std::exchange(other.mirror_, -1);
        endFlag_ = std::exchange(other.endFlag_, false);
        eofSeen_ = std::exchange(other.eofSeen_, false);
        buffer_ = std::move(other.buffer_);
        cursor_ = std::exchange(other.cursor_, 0);
        remaining_ = std::exchange(other.remaining_, 0);
        tabWidth_ = other.tabWidth_;
        noCr_ = other.noCr_;
        tabMode_ = other.tabMode_;
        openMode_ = other.openMode_;
        filePos_ = std::exchange(other.filePos_, 0);
        failed_ = std::exchange(other.failed_, false);
        error_ = std::exchange(other.error_, 0);
    }
    return *this;
}

bool BufferedFile::Open(const std::filesystem::path& name, int mode) {
    if (handle_ >= 0 || (mode != kRead && mode != kWrite)) {
        return false;
    }
    Release();
    int fd;
    do {
        fd = mode == kRead ? ::open(name.c_str(), O_RDONLY | O_CLOEXEC)
                           : ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);  // a directory opens for reading but holds no text
        return false;
    }
    buffer_.reset(new (std::nothrow) char[kBufferSize]);
    if (!buffer_) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    openMode_ = mode;
    endFlag_ = false;
    eofSeen_ = false;
    cursor_ = 0;
    remaining_ = 0;
    filePos_ = 0;
    failed_ = false;
    error_ = 0;
    return true;
}

bool BufferedFile::OpenMirror(const std::filesystem::path& name, bool append) {
    if (handle_ < 0 || openMode_ != kWrite || mirror_ >= 0) {
        return false;
    }
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    if (append && ::lseek(fd, 0, SEEK_END) < 0) {
        ::close(fd);
        return false;
    }
    mirror_ = fd;
    return true;
}

void BufferedFile::Fail(int err) {
    if (!failed_) {
        error_ = err != 0 ? err : EIO;
    }
    failed_ = true;
}

bool BufferedFile::Flush() {
    if (handle_ < 0 || openMode_ != kWrite) {
        return false;
    }
    if (cursor_ == 0) {
        return true;
    }
    bool ok = WriteAll(handle_, std::string_view(buffer_.get(), cursor_));
    const int err = errno;
    if (mirror_ >= 0 && !WriteAll(mirror_, std::string_view(buffer_.get(), cursor_))) {
        ::close(mirror_);
        mirror_ = -1;
    }
    if (!ok) {
        Fail(err);
        ::close(handle_);
        handle_ = -1;
        cursor_ = 0;
        return false;
    }
    filePos_ += static_cast<long>(cursor_);
    cursor_ = 0;
    return true;
}

void BufferedFile::CloseMirror(bool writeRest) {
    if (mirror_ < 0) {
        return;
    }
    if (writeRest && cursor_ > 0 && !WriteAll(mirror_, std::string_view(buffer_.get(), cursor_))) {
        ::close(mirror_);
        mirror_ = -1;
        return;
    }
    const off_t end = ::lseek(mirror_, 0, SEEK_CUR);
    if (end >= 0) {
        [[maybe_unused]] const int rc = ::ftruncate(mirror_, end);
    }
    ::close(mirror_);
    mirror_ = -1;
}

void BufferedFile::Release() {
    buffer_.reset();
    cursor_ = 0;
    remaining_ = 0;
    filePos_ = 0;
    endFlag_ = false;
    eofSeen_ = false;
}

bool BufferedFile::Close() {
    if (handle_ >= 0) {
        if (openMode_ == kWrite) {
            // Flush() also feeds the mirror, so the mirror needs no rest.
            if (Flush() && ::ftruncate(handle_, filePos_) != 0) {
                Fail(errno);
            }
            CloseMirror(false);
        }
        if (handle_ >= 0 && ::close(handle_) != 0 && openMode_ == kWrite) {
            Fail(errno);
        }
        handle_ = -1;
    }
    CloseMirror(false);
    Release();
    return !failed_;
}

long BufferedFile::Tell() const {
    if (handle_ < 0) {
        return -1;
    }
    return openMode_ == kRead ? filePos_ - static_cast<long>(remaining_)
                              : filePos_ + static_cast<long>(cursor_);
}

long BufferedFile::Seek(long distance, int origin) {
    if (handle_ < 0) {
        return -1;
    }
    off_t target = distance;
    int whence = SEEK_SET;
    if (origin == kSeekCur) {
        target = Tell() + distance;
    } else if (origin == kSeekEnd) {
        whence = SEEK_END;
    } else if (origin != kSeekSet) {
        return -1;
    }
    if (openMode_ == kWrite && !Flush()) {
        return -1;
    }
    const off_t pos = ::lseek(handle_, target, whence);
    if (pos < 0) {
        return -1;
    }
    filePos_ = static_cast<long>(pos);
    if (openMode_ == kRead) {
        cursor_ = 0;
        remaining_ = 0;
        endFlag_ = false;
        eofSeen_ = false;
    }
    return filePos_;
}

bool BufferedFile::Ensure(std::size_t count) {
    if (remaining_ >= count) {
        return true;
    }
    if (eofSeen_ || handle_ < 0 || openMode_ != kRead) {
        return false;
    }
    if (remaining_ > 0 && cursor_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + cursor_, remaining_);
    }
    cursor_ = 0;
    while (remaining_ < count) {
        const ssize_t n = ::read(handle_, buffer_.get() + remaining_, kBufferData - remaining_);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A read error ends the text as the end of the file does.
            if (n < 0) {
                Fail(errno);
            }
            eofSeen_ = true;
            return false;
        }
        remaining_ += static_cast<std::size_t>(n);
        filePos_ += n;
    }
    return true;
}

int BufferedFile::ReadLine(char* out, int size) {
    if (handle_ < 0 || openMode_ != kRead || size < 2 || endFlag_) {
        return 0;
    }
    const std::size_t limit = static_cast<std::size_t>(size) - 1;
    std::size_t n = 0;
    bool lookedPastEnd = false;  // a look-ahead found the end of the file
    const auto at = [this](std::size_t k) {
        return static_cast<unsigned char>(buffer_[cursor_ + k]);
    };
    const auto consume = [this](std::size_t k) {
        cursor_ += k;
        remaining_ -= k;
    };
    // Length of the line end at the cursor (which holds a CR): CR LF and
    // CR CR LF end the line, a CR at the end of the file too; 0 otherwise.
    const auto crLineEnd = [&]() -> std::size_t {
        if (!Ensure(2)) {
            lookedPastEnd = true;
            return 1;
        }
        if (at(1) == '\n') {
            return 2;
        }
        if (at(1) == '\r') {
            if (!Ensure(3)) {
                lookedPastEnd = true;
                return 0;
            }
            if (at(2) == '\n') {
                return 3;
            }
        }
        return 0;
    };

    for (;;) {
        if (remaining_ == 0 && !Ensure(1)) {
            endFlag_ = true;
            out[n++] = '\n';
            break;
        }
        if (n == limit) {
            // A line end right at the cut belongs to this piece, so a line
            // of exactly size - 1 bytes is not followed by an empty one.
            const unsigned char c = at(0);
            if (c == '\n') {
                consume(1);
            } else if (c == '\r') {
                consume(crLineEnd());
            } else if (c == kEofMark && !Ensure(2)) {
                lookedPastEnd = true;
                consume(1);
            }
            out[n++] = '\n';
            break;
        }
        // Copy the run of ordinary bytes.
        std::size_t run = remaining_ < limit - n ? remaining_ : limit - n;
        const char* src = buffer_.get() + cursor_;
        std::size_t k = 0;
        while (k < run && !kSpecial.table[static_cast<unsigned char>(src[k])]) {
            ++k;
        }
        std::memcpy(out + n, src, k);
        n += k;
        consume(k);
        if (k == run) {
            continue;
        }
        const unsigned char c = at(0);
        if (c == '\n') {
            consume(1);
            out[n++] = '\n';
            break;
        }
        if (c == '\r') {
            const std::size_t end = crLineEnd();
            if (end > 0) {
                consume(end);
                out[n++] = '\n';
                break;
            }
            // CR x stays; in CR CR x the second CR is dropped.
            const bool doubled = remaining_ >= 2 && at(1) == '\r';
            consume(doubled ? 2 : 1);
            out[n++] = '\r';
            continue;
        }
        // 0x1A: the line's newline when it is the file's last byte.
        if (!Ensure(2)) {
            lookedPastEnd = true;
            consume(1);
            out[n++] = '\n';
            break;
        }
        consume(1);
        out[n++] = static_cast<char>(kEofMark);
    }
    if (lookedPastEnd && remaining_ == 0) {
        endFlag_ = true;
    }
    out[n] = '\0';
    return static_cast<int>(n);
}

int BufferedFile::ReadLine(std::string& line, int size) {
    if (size < 2) {
        line.clear();
        return 0;
    }
    line.resize(static_cast<std::size_t>(size) + 1);
    const int n = ReadLine(line.data(), size);
    line.resize(static_cast<std::size_t>(n));
    return n;
}

unsigned char BufferedFile::ReadChar() {
    if (remaining_ == 0 && !Ensure(1)) {
        endFlag_ = true;
        return kEndChar;
    }
    const unsigned char c = static_cast<unsigned char>(buffer_[cursor_]);
    ++cursor_;
    --remaining_;
    return c;
}

bool BufferedFile::WriteChar(unsigned char c) {
    if (handle_ < 0 || openMode_ != kWrite) {
        return false;
    }
    if (cursor_ >= kBufferData && !Flush()) {
        return false;
    }
    buffer_[cursor_++] = static_cast<char>(c);
    return true;
}

long BufferedFile::Write(const char* text, std::size_t length) {
    if (handle_ < 0 || openMode_ != kWrite) {
        return kWriteFailed;
    }
    char* buf = buffer_.get();
    std::size_t i = 0;
    if (tabMode_ != 1) {
        while (i < length) {
            if (cursor_ >= kBufferData && !Flush()) {
                return kWriteFailed;
            }
            const std::size_t room = kBufferData - cursor_;
            const std::size_t want = length - i < room ? length - i : room;
            const void* nl = std::memchr(text + i, '\n', want);
            const std::size_t k =
                nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - (text + i)) : want;
            std::memcpy(buf + cursor_, text + i, k);
            cursor_ += k;
            i += k;
            if (nl) {
                // The fullness test above leaves room for the CR LF pair.
                if (!noCr_) {
                    buf[cursor_++] = '\r';
                }
                buf[cursor_++] = '\n';
                ++i;
            }
        }
        return static_cast<long>(length);
    }

    // Tab expansion: columns counted from the start of the call (and of
    // each line in it); tabs inside quotes are kept.
    const CodePage& codePage = CodePage::Working();
    const char* end = text + length;
    long column = 0;
    bool inDouble = false;
    bool inSingle = false;
    const auto put = [&](char c) {
        if (cursor_ >= kBufferData && !Flush()) {
            return false;
        }
        buf[cursor_++] = c;
        return true;
    };
    while (i < length) {
        const char c = text[i];
        if (c == '\n') {
            if (cursor_ >= kBufferData && !Flush()) {
                return kWriteFailed;
            }
            if (!noCr_) {
                buf[cursor_++] = '\r';
            }
            buf[cursor_++] = '\n';
            ++i;
            column = 0;
            inDouble = false;
            inSingle = false;
            continue;
        }
        if (c == '\t') {
            const long next = (column / tabWidth_ + 1) * tabWidth_;
            if (inDouble || inSingle) {
                if (!put('\t')) {
                    return kWriteFailed;
                }
            } else {
                for (long col = column; col < next; ++col) {
                    if (!put(' ')) {
                        return kWriteFailed;
                    }
                }
            }
            column = next;
            ++i;
            continue;
        }
        if (c == '"') {
            inDouble = !inDouble;
        } else if (c == '\'') {
            inSingle = !inSingle;
        }
        if (static_cast<unsigned char>(c) < 0x80) {
            if (!put(c)) {
                return kWriteFailed;
            }
            ++column;
            ++i;
            continue;
        }
        const int len = codePage.CharLength(text + i, end);
        column += codePage.Columns(text + i, end);
        for (int k = 0; k < len; ++k) {
            if (!put(text[i + static_cast<std::size_t>(k)])) {
                return kWriteFailed;
            }
        }
        i += static_cast<std::size_t>(len);
    }
    return static_cast<long>(length);
}

bool BufferedFile::Sync() {
    if (handle_ < 0 || openMode_ != kWrite) {
        return false;
    }
    if (!Flush()) {
        return false;
    }
    if (::fsync(handle_) != 0) {
        Fail(errno);
        return false;
    }
    if (mirror_ >= 0) {
        ::fsync(mirror_);
    }
    return !failed_;
}

}  // namespace corvina
