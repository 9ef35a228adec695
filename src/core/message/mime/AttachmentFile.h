#pragma once
// Creation of the file that receives one decoded attachment, with the
// naming rules of the attachment directory: the name the sender gave
// (reduced to a safe base name), the type's preferred extension, the
// "00_" .. "ff_" prefixes on a collision, and "Atch0000.ext" .. when there
// is no usable name. Files are always created new (never overwriting an
// existing file, never following a symbolic link).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;
struct MimeTypeEntry;

// Longest base name kept from a message.
inline constexpr std::size_t kMaxAttachmentNameBytes = 200;

// The last path component of `name` with control bytes replaced by "_" and
// leading dots and blanks removed, cut to kMaxAttachmentNameBytes on a
// character boundary (the extension kept when short). "/" always separates
// components, "\" too where it cannot be a trail byte. May be empty.
std::string SafeAttachmentName(std::string_view name, const CodePage& cp);

// The name a part's file gets before collisions are considered: the safe
// given name, with the row's preferred extension appended when it has no
// ".", or its extension replaced by ".hqx" / ".uue" for BinHex and
// uuencode rows. Empty when there is no usable name.
std::string AttachmentBaseName(std::string_view givenName, const MimeTypeEntry* row,
                               const CodePage& cp);

class AttachmentFile {
public:
    // Creates the file in `directory` (made when missing). `row` is the
    // part type's table row, or null when the type has none.
    static std::optional<AttachmentFile> Create(const std::filesystem::path& directory,
                                                std::string_view givenName,
                                                const MimeTypeEntry* row, const CodePage& cp);

    AttachmentFile(AttachmentFile&& other) noexcept;
    AttachmentFile& operator=(AttachmentFile&& other) noexcept;
    AttachmentFile(const AttachmentFile&) = delete;
    AttachmentFile& operator=(const AttachmentFile&) = delete;
    ~AttachmentFile();

    const std::filesystem::path& Path() const { return path_; }

    // False once any write failed; later writes are then skipped.
    bool Write(std::string_view bytes);
    // Flushes and closes; false when a write or the close failed.
    bool Close();

private:
    AttachmentFile(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    bool Flush();

    std::filesystem::path path_;
    int fd_ = -1;
    bool failed_ = false;
    std::string buffer_;
};

// Creates `path` exclusively (O_EXCL, no symbolic link followed) with mode
// 0600; -1 when it exists or cannot be made.
int CreateFileExclusive(const std::filesystem::path& path);

}  // namespace corvina
