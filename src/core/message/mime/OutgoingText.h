#pragma once
// The text that leaves the program for one message: the SMTP envelope,
// the header lines, the MIME structure, the body converted for transport
// and the attachments encoded from their files; and the export writer,
// which writes the same structure into a file.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class CodePage;
class MailMessage;
class MimeTypeTable;

// Receives one physical line without its line end. Lines arrive ready for
// the SMTP DATA phase: every line that begins with "." is already
// dot-stuffed. Returning false stops the assembly.
using LineSender = std::function<bool(std::string_view line)>;

// The mail addresses of the address-book group a recipient field names
// ("@name"), in the group's order; empty when there is no such group or it
// cannot be read. The caller's layer knows where groups are kept.
using GroupAddresses = std::function<std::vector<std::string>(std::string_view groupName)>;

struct OutgoingOptions {
    const CodePage* codePage = nullptr;  // null: the working code page
    GroupAddresses groups;               // unset: group references expand to nothing
    bool sendDate = false;               // the SendDate setting
    // Work directory of the uuencode and BinHex steps; empty: the private
    // temp directory.
    std::filesystem::path tempDirectory;
    // The date text used for "Date:" and the MIME boundary; empty: now.
    std::string dateText;
    // Types of exported attachments by extension; null: the built-in rows.
    const MimeTypeTable* types = nullptr;
};

struct OutgoingEnvelope {
    std::string sender;                   // AddressOf From (Resent-From in resent mode)
    std::vector<std::string> recipients;  // To, Cc, Bcc in order, groups expanded
    // The recipients, each followed by a tab.
    std::string RecipientText() const;
};

// The field with every group reference ("@name" or "@\"name\"") replaced
// by the group's addresses, joined with "," (no blank). A group that cannot
// be found or read contributes nothing.
std::string ExpandRecipients(std::string_view field, const GroupAddresses& groups);

OutgoingEnvelope BuildEnvelope(const MailMessage& message, const OutgoingOptions& options);

// Why the message cannot go out, found before a line of it is sent: the
// first attachment file that is gone or cannot be read, named in a text
// that says what to do; nullopt when every file can be read.
std::optional<std::string> CheckAttachmentFiles(const MailMessage& message);

// Sends the message line by line; its other header lines and body must be
// in memory (loaded from the mailbox first). A message without a Message-Id gets one
// ("<time.random@domain of the sender>"), recorded in the message (field
// and other-header line) so that its copy in Sent carries it. The MIME
// boundary is left in message.boundary. `envelope`, when given, is filled
// before the first line is sent. False when a line was refused or an
// attachment file could not be read; temporary files are removed either
// way.
bool BuildOutgoingText(MailMessage& message, const LineSender& send, const OutgoingOptions& options,
                       OutgoingEnvelope* envelope = nullptr);

// Appends the message to `output` (lines ending in CR LF, the file 0600
// when created): with `unixFormat` a "From address date" line first and
// ">From " quoting in the mboxrd way (no "." doubling); otherwise body
// lines beginning with "." are doubled. Then `separator` (its own line)
// when not empty. Attachments take their type from the table by extension
// and go as base64 (uuencode and BinHex text as it is). Except on the
// Japanese system, 8-bit text goes as on the wire: header words encoded,
// the body quoted-printable and labelled with the working charset. False
// on a write error or an unreadable attachment file.
bool ExportMessage(const MailMessage& message, const std::filesystem::path& output,
                   std::string_view separator, bool unixFormat, const OutgoingOptions& options);

// "Www Mmm dd hh:mm:ss yyyy" (24 characters, day right-aligned) of a date
// text read as a mail date; empty when it cannot be read.
std::string UnixFromLineDate(std::string_view mailDate);

}  // namespace corvina
