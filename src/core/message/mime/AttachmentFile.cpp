#include "message/mime/AttachmentFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "common/FdWrite.h"
#include "message/mime/MimeTypeTable.h"

namespace corvina {

namespace {

constexpr std::size_t kWriteBufferBytes = 64 * 1024;
constexpr std::size_t kKeptExtensionBytes = 16;

bool IsControlByte(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Longest prefix of `text` of at most `limit` bytes ending on a character
// boundary.
std::size_t CutAtCharBoundary(std::string_view text, std::size_t limit, const CodePage& cp) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t len = static_cast<std::size_t>(cp.CharLength(text, pos));
        if (len == 0 || pos + len > limit) {
            break;
        }
        pos += len;
    }
    return pos;
}

}  // namespace

std::string SafeAttachmentName(std::string_view name, const CodePage& cp) {
    // Keep only the last path component; walk by characters so that a
    // Shift_JIS trail byte 0x5C is not taken for a backslash.
    std::size_t start = 0;
    for (std::size_t pos = 0; pos < name.size();) {
        int len = cp.CharLength(name, pos);
        if (len <= 0) {
            break;
        }
        if (len == 1 && (name[pos] == '/' || name[pos] == '\\')) {
            start = pos + 1;
        }
        pos += static_cast<std::size_t>(len);
    }
    std::string out;
    out.reserve(name.size() - start);
    for (std::size_t i = start; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        out += IsControlByte(c) ? '_' : static_cast<char>(c);
    }
    std::size_t lead = out.find_first_not_of(". ");
    out.erase(0, lead == std::string::npos ? out.size() : lead);
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    // Nothing but dots, blanks and replaced control bytes is no name.
    if (out.find_first_not_of("._ ") == std::string::npos) {
        out.clear();
    }
    if (out.size() <= kMaxAttachmentNameBytes) {
        return out;
    }
    std::size_t dot = out.rfind('.');
    std::string ext;
    if (dot != std::string::npos && dot > 0 && out.size() - dot <= kKeptExtensionBytes) {
        ext = out.substr(dot);
        out.resize(dot);
    }
    std::size_t keep = CutAtCharBoundary(out, kMaxAttachmentNameBytes - ext.size(), cp);
    out.resize(keep);
    return out + ext;
}

std::string AttachmentBaseName(std::string_view givenName, const MimeTypeEntry* row,
                               const CodePage& cp) {
    std::string name = SafeAttachmentName(givenName, cp);
    if (name.empty()) {
        return name;
    }
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        if (row != nullptr && !row->PreferredExtension().empty()) {
            name += '.';
            name += row->PreferredExtension();
        }
    } else if (row != nullptr && EqualNoCase(row->subtype, "mac-binhex40")) {
        name = name.substr(0, dot) + ".hqx";
    } else if (row != nullptr && EqualNoCase(row->subtype, "x-uuencode")) {
        name = name.substr(0, dot) + ".uue";
    }
    if (name.size() > kMaxAttachmentNameBytes) {
        name = SafeAttachmentName(name, cp);
    }
    return name;
}

int CreateFileExclusive(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

std::optional<AttachmentFile> AttachmentFile::Create(const std::filesystem::path& directory,
                                                     std::string_view givenName,
                                                     const MimeTypeEntry* row, const CodePage& cp) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);

    std::string name = AttachmentBaseName(givenName, row, cp);
    if (!name.empty()) {
        std::filesystem::path path = directory / name;
        int fd = CreateFileExclusive(path);
        // Only a name that is taken moves on to the prefixed names; any
        // other failure goes straight to the fallback name.
        for (int counter = 0; fd < 0 && errno == EEXIST && counter <= 0xFF; ++counter) {
            char prefix[8];
            std::snprintf(prefix, sizeof prefix, "%02x_", counter);
            path = directory / (prefix + name);
            fd = CreateFileExclusive(path);
        }
        if (fd >= 0) {
            return AttachmentFile(std::move(path), fd);
        }
    }
    std::string ext;
    if (row != nullptr && !row->PreferredExtension().empty()) {
        ext = "." + std::string(row->PreferredExtension());
    }
    for (int counter = 0; counter <= 0xFFFF; ++counter) {
        char fallback[16];
        std::snprintf(fallback, sizeof fallback, "Atch%04x", counter);
        std::filesystem::path path = directory / (fallback + ext);
        int fd = CreateFileExclusive(path);
        if (fd >= 0) {
            return AttachmentFile(std::move(path), fd);
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return std::nullopt;
}

AttachmentFile::AttachmentFile(AttachmentFile&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(other.fd_),
      failed_(other.failed_),
      buffer_(std::move(other.buffer_)) {
    other.fd_ = -1;
}

AttachmentFile& AttachmentFile::operator=(AttachmentFile&& other) noexcept {
    if (this != &other) {
        Close();
        path_ = std::move(other.path_);
        fd_ = other.fd_;
        failed_ = other.failed_;
        buffer_ = std::move(other.buffer_);
        other.fd_ = -1;
    }
    return *this;
}

AttachmentFile::~AttachmentFile() {
    Close();
}

bool AttachmentFile::Flush() {
    if (!failed_ && !WriteAll(fd_, std::string_view(buffer_.data(), buffer_.size())))
        failed_ = true;
    buffer_.clear();
    return !failed_;
}

bool AttachmentFile::Write(std::string_view bytes) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    buffer_.append(bytes);
    if (buffer_.size() >= kWriteBufferBytes) {
        return Flush();
    }
    return true;
}

bool AttachmentFile::Close() {
    if (fd_ < 0) {
        return !failed_;
    }
    Flush();
    if (::close(fd_) != 0) {
        failed_ = true;
    }
    fd_ = -1;
    return !failed_;
}

}  // namespace corvina
