#pragma once
// Turning the text of one message into a MailMessage: the known header
// fields, the other header lines, the body lines the viewer shows and the
// attachment files. A received message is decoded once: text parts become
// body lines, other parts are written into the attachment directory, and
// the message is then stored with its decoded flag and attachment links,
// so later parses only read those back.
//
// Limits: nesting deeper than kMaxMimeDepth levels or more than
// kMaxMimeParts parts leaves the rest of the text as body text.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "message/AttachmentLink.h"  // the stored links, for the serializer
#include "message/mime/AutoWrap.h"

namespace corvina {

class CodePage;
class MailMessage;
class UserPrompt;
class MimeTypeTable;

inline constexpr int kMaxMimeDepth = 100;
inline constexpr int kMaxMimeParts = 10000;
// A uuencoded or BinHex attachment larger than this is not decoded again.
inline constexpr std::size_t kMaxSecondStageBytes = 256u * 1024u * 1024u;

inline constexpr std::string_view kInsufficientMemoryText = "Insufficient Memory!!";

struct ParseOptions {
    const CodePage* codePage = nullptr;      // null: the working code page
    const MimeTypeTable* types = nullptr;    // null: the built-in rows only
    std::filesystem::path mailboxDirectory;  // attachment links resolve against it
    // Where decoded parts go; empty: mailboxDirectory / "Attach".
    std::filesystem::path attachmentDirectory;
    std::string ownAddress;  // a message from this address is marked read
    bool autoWrap = false;   // the AutoWrap setting
    LineBreakSets breakSets;
    // True only for the program's own mailbox files and its own serialised
    // copies: then the store's own lines (attachment links, decoded and
    // replied flags, encoding number) and the Status line are read. In text from
    // outside they are dropped, so a sender cannot link a local file to a
    // message nor mark it read.
    bool trustStoreLines = false;
    UserPrompt* prompt = nullptr;  // save dialogs of the second-stage decoders, notices

    std::filesystem::path AttachmentDirectory() const;
};

struct ParseResult {
    bool charsetJis = false;         // the charset flag: ISO-2022-JP declared
    bool charsetDeclared = false;    // a text body or part names a charset other than US-ASCII
    bool storedAttachments = false;  // stored attachment link lines were read
    bool limitReached = false;       // depth or part limit hit
    int partCount = 0;               // MIME parts walked
    std::vector<std::filesystem::path> createdFiles;  // files this parse wrote
};

// Resets the message (header fields, other headers, attachments, body,
// flags) and parses `text`: lines ending in LF (CR LF accepted), a line "."
// ends the text, a line starting ".." loses one dot. Never fails.
ParseResult ParseMessage(MailMessage& message, std::string_view text, const ParseOptions& options);

// application/x-www-form-urlencoded as lines: each field name as "name:",
// each value as a line followed by an empty line.
std::vector<std::string> DecodeFormData(std::string_view body);

// The stored form of the message as ParseMessage reads it back (trusted):
// the header block in store order, the store lines, an empty line, the body
// and the "." terminator, lines ending in LF. Every body line beginning with
// "." gets one more, so that the copy reads back exactly.
std::string SerializeMessage(const MailMessage& message,
                             const std::filesystem::path& mailboxDirectory);

// Whether a part of this type is shown as text: the type's table row is
// text/plain, or without a row the type is "text" or "message".
bool IsShownTextType(std::string_view type, std::string_view subtype, const MimeTypeTable& types);

// Text of a part declared in `charset`, made into the working code page:
// on 932 JIS goes through JisToSjis and UTF-8 / EUC-JP are converted; on
// other code pages any declared charset other than W is converted, and
// undeclared text with JIS escapes is read as ISO-2022-JP.
std::string ShownTextToWorking(std::string_view text, std::string_view charset, const CodePage& cp);

}  // namespace corvina
