#pragma once
// The part of writing a message that needs no window: the From value and
// the rewritten address fields, the account's signature, files added to
// the message, and the two saves ("Save to Outbox", "Save to Draft box").
// The compose window and the batch front end both drive it.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/Mailbox.h"

namespace corvina {

class MailMessage;
class MimeTypeTable;
struct AccountProfile;
struct Settings;

// Longest signature line read at once, and longest text-file line.
inline constexpr std::size_t kSignatureLineBytes = 256;
inline constexpr std::size_t kTextFileLineBytes = 8192;

// "Name <address>" of the account, the name quoted when it holds one of
// kDisplayNameSpecials (message/Address.h); the bare address when the
// account has no name.
std::string FromValue(const AccountProfile& account);

// Every address of the list as "name <address>" (name quoted when needed,
// a local part with a comma or blank quoted) or the bare address, joined
// with ", ".
std::string RewriteAddressField(std::string_view field);

// "<home>Sig%02d.TXT"
std::filesystem::path SignatureFile(const std::filesystem::path& homeDirectory, int number);

class Composition {
public:
    // Edits `message` (a new empty one when null) as it is.
    explicit Composition(std::unique_ptr<MailMessage> message);
    // A new message: its attachment encoding number is the DefEncode
    // setting.
    explicit Composition(const Settings& settings);
    ~Composition();

    MailMessage& Message() { return *message_; }
    std::unique_ptr<MailMessage> Release();

    // Body text given as one block (LF or CR LF line ends).
    void AddBodyText(std::string_view text);

    // Appends the lines of signature file `number`, each marked as coming
    // from the signature; a missing file adds nothing (false).
    bool AppendSignature(const std::filesystem::path& homeDirectory, int number);
    // Another signature chosen: only the marked lines go, the new ones come.
    bool ReplaceSignature(const std::filesystem::path& homeDirectory, int number);
    std::size_t SignatureLineCount() const;

    // A "mailto:" text sets To; a text file's lines go into the body; any
    // other file becomes a base64 attachment of the type its extension
    // maps to. A missing path or a folder adds an error line to the body
    // and returns false. A message left without body lines gets one empty
    // line.
    bool AddFileToMessage(const std::filesystem::path& path, const MimeTypeTable& types);

    // Appends the account's PermanentCc and PermanentBcc (each may list
    // several addresses) to Cc and Bcc, or to Resent-Cc and Resent-Bcc in
    // resent mode, leaving out every address the message already goes to.
    // For a new message once its recipients are filled in.
    void AddPermanentRecipients(const AccountProfile& account);

    // From from the account, every address field rewritten, status cleared.
    void PrepareForSending(const AccountProfile& account);

    // Prepares, sets status "W", drops the header lines a sent copy must
    // not carry and stores a copy into OutBox, durably. False when it could
    // not be stored.
    bool SaveToOutbox(const AccountProfile& account, const StoreContext& context);
    // From from the account, status "D", a copy into Draft.
    bool SaveToDraft(const AccountProfile& account, const StoreContext& context);

private:
    bool Store(std::string_view folder, const StoreContext& context);

    std::unique_ptr<MailMessage> message_;
    std::vector<bool> signatureLine_;  // per body line
};

// Removes other-header lines beginning (any case) with "Received:",
// "X-Mailer:", "X-Marlo-", "From " or "Content-".
void RemoveTransportHeaders(MailMessage& message);

}  // namespace corvina
