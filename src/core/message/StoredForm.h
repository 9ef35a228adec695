#pragma once
// The stored header block of a message, read and written in one place: one
// table from header name to the MailMessage field it fills serves the
// mailbox loader and writer, the MIME parser and the serializer.
//
// Names match without regard to letter case. The store's own lines (the
// attachment links, the decoded, replied and rendered-from-HTML flags, the
// encoding number) and the Status line are trusted only in the program's own mailbox files
// and copies; in mail from outside they are dropped.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;
class MailMessage;

enum class StoredField : unsigned char {
    Other,  // any name the table does not know
    Received,
    From,
    To,
    Subject,
    Date,
    Status,
    Cc,
    Bcc,
    ReplyTo,
    ResentFrom,
    ResentTo,
    ResentDate,
    ResentCc,
    ResentBcc,
    ResentReplyTo,
    ResentOther,  // any other "Resent-" name
    AttachmentFile,
    Decoded,
    Replied,
    Encoding,
    RenderedHtml,   // the body is a rendering of the HTML part
    OwnOther,       // any other name with the store's prefix: an ordinary line
    Priority,       // "X-Priority"
    OtherPriority,  // another name ending in "Priority" ("X-MSMail-Priority")
    ContentType,
    TransferEncoding,
    MessageId,
    InReplyTo,
    References,  // the last: the codec's tables are sized by it
};

// A header line's field and where its value begins (after the colon).
struct StoredName {
    StoredField field = StoredField::Other;
    std::size_t valueStart = 0;
};

// Looks the line's name up in the table; allocates nothing.
StoredName ClassifyStoredLine(std::string_view line);

// The name the table holds for a field ("From", "X-Marlo-Decorded"); empty
// for the catch-all fields.
std::string_view StoredFieldName(StoredField field);

// One of the store's own lines, trusted only from the program's own files.
bool IsOwnStoreField(StoredField field);

// Whether a line of this field belongs to the message's other-header list
// (it is kept verbatim and written back in order).
bool KeepsStoredLine(StoredField field);

// Reads the header lines of one message into it. Holds what a message's
// lines share (a numeric priority, once read, is not overridden by a word).
class StoredFieldReader {
public:
    // `trusted`: the text comes from the program's own mailbox files or
    // copies. Attachment links resolve against mailboxDirectory / "Attach".
    StoredFieldReader(const std::filesystem::path& mailboxDirectory, const CodePage& cp,
                      bool trusted);

    // Applies one whole (unfolded) header line, classified as `name`, to
    // the message's fields. True when the line is also to be kept in the
    // other-header list; the caller keeps or counts it.
    bool Apply(const StoredName& name, std::string_view line, MailMessage& message);
    bool Apply(std::string_view line, MailMessage& message) {
        return Apply(ClassifyStoredLine(line), line, message);
    }
    // Whether a line of this field is read at all (the store's own lines
    // and Status only when trusted).
    bool Reads(StoredField field) const;

private:
    const std::filesystem::path& mailboxDirectory_;
    const CodePage& cp_;
    bool trusted_;
    bool priorityFixed_ = false;
};

// Appends the stored header block of the message in store order, lines
// ending in LF, without the empty line that ends it. A CR or LF inside a
// value is written as a blank, so no value can start a line of its own.
void AppendStoredHeader(const MailMessage& message, const std::filesystem::path& mailboxDirectory,
                        std::string& out);

// The parent reference from an In-Reply-To value (from its first "<") or a
// References value (from its last "<") to the last ">"; the trimmed value
// when the brackets are missing or out of order.
std::string ReferenceFromValue(std::string_view value, bool lastOpening);

}  // namespace corvina
