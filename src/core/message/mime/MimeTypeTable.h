#pragma once
// The table that maps MIME types to file extensions and to what the
// attachment pane does with a file of that type. Built-in rows come first;
// rows kept in the config store under "MimeType\<type>/<subtype>" replace a
// built-in row of the same type (letter case ignored) or are added after.

#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class ConfigStore;
struct AttachmentEntry;

enum class MimeAction : int { Default = 0, Save = 1, Launch = 2 };

struct MimeTypeEntry {
    std::string type;
    std::string subtype;
    std::string application;              // program path, may be empty
    std::vector<std::string> extensions;  // without dots; first is preferred
    MimeAction action = MimeAction::Default;

    // First extension, or "" when the row lists none.
    std::string_view PreferredExtension() const;
};

class MimeTypeTable {
public:
    // A table holding only the built-in rows.
    MimeTypeTable();

    // Built-in rows, then the "MimeType\..." sections of the store.
    void LoadFromConfig(const ConfigStore& store);

    // Replaces the row of that type (case ignored) or appends a new one.
    // `extensionText` is the stored form ".jpg.jpeg.jpe".
    void ApplyRow(std::string_view typeSlashSubtype, std::string_view application,
                  std::string_view extensionText, int action);

    // First row whose type and subtype match without regard to case.
    const MimeTypeEntry* FindByType(std::string_view type, std::string_view subtype) const;

    // First row listing the extension (case ignored); application/octet-stream
    // with no application when none does.
    const MimeTypeEntry& FindByExtension(std::string_view extension) const;

    // Same, taking the extension from the last "." of a file name or path.
    const MimeTypeEntry& FindByFileName(std::string_view fileName) const;

    const std::vector<MimeTypeEntry>& Rows() const { return rows_; }

    // ".jpg.jpeg.jpe" <-> {"jpg","jpeg","jpe"}
    static std::vector<std::string> SplitExtensionText(std::string_view text);
    static std::string JoinExtensions(const std::vector<std::string>& extensions);

private:
    void Reset();

    std::vector<MimeTypeEntry> rows_;
    MimeTypeEntry fallback_;
};

// Whether files of this subtype are BinHex or uuencode text
// ("mac-binhex40", "x-uuencode", letter case ignored): such a file travels
// as it is, with the transfer encoding "7bit".
bool IsTextEncodedFileType(std::string_view subtype);

// The transfer encoding of a file of this subtype: "7bit" for BinHex and
// uuencode text, "base64" for everything else.
std::string_view FileTransferEncoding(std::string_view subtype);

// An attachment known only by its file (a stored link, a decoded file):
// type and subtype from the table by the file's extension, transfer
// encoding "7bit" for uuencode and BinHex text, "base64" for the rest.
void TypeAttachmentByFileName(AttachmentEntry& entry, const MimeTypeTable& types);

}  // namespace corvina
