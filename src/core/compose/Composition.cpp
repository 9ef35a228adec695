#include "compose/Composition.h"

#include <cstdio>
#include <system_error>

#include "app/AccountProfile.h"
#include "app/Settings.h"
#include "common/Bytes.h"
#include "message/Address.h"
#include "message/MailMessage.h"
#include "message/mime/MimeTypeTable.h"
#include "store/FolderNames.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"

namespace corvina {

namespace {

// Appends the addresses of `extra` to `field` (joined with ", "), leaving
// out those already in `present`, which grows with them. Addresses compare
// without regard to case.
void AppendNewAddresses(std::string& field, std::string_view extra,
                        std::vector<std::string>& present) {
    AddressTokenizer tokens(extra);
    while (std::optional<std::string> token = tokens.Next()) {
        std::string address = AddressOf(*token);
        if (address.empty())
            continue;
        bool known = false;
        for (const std::string& p : present)
            known = known || EqualNoCase(p, address);
        if (known)
            continue;
        present.push_back(address);
        std::string_view text = Trim(*token);
        if (!Trim(field).empty())
            field += ", ";
        field.append(text);
    }
}

// Reads the file as lines of at most `limit - 1` bytes (a longer line goes
// on in the next one), without their line ends.
bool ReadLimitedLines(const std::filesystem::path& path, std::size_t limit,
                      std::vector<std::string>& lines) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::string line;
    int c;
    bool pending = false;
    while ((c = std::fgetc(f)) != EOF) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(std::move(line));
            line.clear();
            pending = false;
            continue;
        }
        line.push_back(static_cast<char>(c));
        pending = true;
        if (line.size() == limit - 1) {
            lines.push_back(std::move(line));
            line.clear();
            pending = false;
        }
    }
    if (pending)
        lines.push_back(std::move(line));
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

}  // namespace

std::string FromValue(const AccountProfile& account) {
    return FormatNameAddress(account.name, account.address);
}

std::string RewriteAddressField(std::string_view field) {
    std::string result;
    AddressTokenizer tokens(field);
    while (std::optional<std::string> token = tokens.Next()) {
        NameAddress split = SplitNameAddress(*token);
        if (split.address.empty() && split.name.empty())
            continue;
        std::string address = split.address;
        const std::size_t at = address.rfind('@');
        const std::string_view local =
            std::string_view(address).substr(0, at == std::string::npos ? address.size() : at);
        if (local.find_first_of(", ") != std::string_view::npos && !local.starts_with('"'))
            address = "\"" + std::string(local) + "\"" + address.substr(local.size());
        if (!result.empty())
            result += ", ";
        result += FormatNameAddress(split.name, address);
    }
    return result;
}

std::filesystem::path SignatureFile(const std::filesystem::path& homeDirectory, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "Sig%02d.TXT", number);
    return homeDirectory / name;
}

void RemoveTransportHeaders(MailMessage& message) {
    static constexpr std::string_view kDropped[] = {"Received:", "X-Mailer:", "X-Marlo-", "From ",
                                                    "Content-"};
    std::vector<std::string> kept;
    for (std::string& line : message.otherHeaders) {
        bool drop = false;
        for (std::string_view prefix : kDropped)
            drop = drop || StartsWithNoCase(line, prefix);
        if (!drop)
            kept.push_back(std::move(line));
    }
    message.otherHeaders = std::move(kept);
    message.otherHeaderCount = static_cast<int>(message.otherHeaders.size());
}

Composition::Composition(std::unique_ptr<MailMessage> message) : message_(std::move(message)) {
    if (!message_)
        message_ = std::make_unique<MailMessage>();
    message_->bodyLoaded = true;
    signatureLine_.assign(message_->bodyLines.size(), false);
}

Composition::Composition(const Settings& settings)
    : Composition(std::make_unique<MailMessage>(
          settings.defEncode >= 0 && settings.defEncode <= 2 ? settings.defEncode : 0)) {}

Composition::~Composition() = default;

std::unique_ptr<MailMessage> Composition::Release() {
    signatureLine_.clear();
    return std::move(message_);
}

void Composition::AddBodyText(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        message_->AddBodyLine(line);
        start = end == std::string_view::npos ? text.size() : end + 1;
    }
    signatureLine_.resize(message_->bodyLines.size(), false);
}

bool Composition::AppendSignature(const std::filesystem::path& homeDirectory, int number) {
    std::vector<std::string> lines;
    if (!ReadLimitedLines(SignatureFile(homeDirectory, number), kSignatureLineBytes, lines))
        return false;
    for (const std::string& line : lines) {
        message_->AddBodyLine(line);
        signatureLine_.resize(message_->bodyLines.size(), true);
    }
    return true;
}

bool Composition::ReplaceSignature(const std::filesystem::path& homeDirectory, int number) {
    BodyLines kept;
    std::vector<bool> keptMarks;
    for (std::size_t i = 0; i < message_->bodyLines.size(); ++i) {
        if (i < signatureLine_.size() && signatureLine_[i])
            continue;
        kept.Append(message_->bodyLines[i].Content());
        keptMarks.push_back(false);
    }
    message_->bodyLines = std::move(kept);
    message_->bodyLineCount = static_cast<int>(message_->bodyLines.size());
    signatureLine_ = std::move(keptMarks);
    return AppendSignature(homeDirectory, number);
}

std::size_t Composition::SignatureLineCount() const {
    std::size_t n = 0;
    for (bool marked : signatureLine_)
        n += marked ? 1 : 0;
    return n;
}

bool Composition::AddFileToMessage(const std::filesystem::path& path, const MimeTypeTable& types) {
    const std::string text = path.string();
    bool ok = true;
    std::error_code ec;
    if (StartsWithNoCase(text, "mailto:")) {
        message_->to = std::string(Trim(std::string_view(text).substr(7)));
    } else if (!std::filesystem::exists(path, ec)) {
        message_->AddBodyLine("Error: File Not Found. \"" + text + "\"");
        ok = false;
    } else if (std::filesystem::is_directory(path, ec)) {
        message_->AddBodyLine("Error: A folder can not be sent. \"" + text + "\"");
        ok = false;
    } else {
        const MimeTypeEntry& entry = types.FindByFileName(path.filename().string());
        if (EqualNoCase(entry.type, "text") && EqualNoCase(entry.subtype, "plain")) {
            std::vector<std::string> lines;
            if (!ReadLimitedLines(path, kTextFileLineBytes, lines)) {
                message_->AddBodyLine("Error: File Not Found. \"" + text + "\"");
                ok = false;
            }
            for (const std::string& line : lines)
                message_->AddBodyLine(line);
        } else {
            AttachmentEntry attachment;
            attachment.path = path;
            attachment.type = entry.type;
            attachment.subtype = entry.subtype;
            attachment.encoding = "base64";
            message_->attachments.push_back(std::move(attachment));
        }
    }
    if (message_->bodyLines.empty())
        message_->AddBodyLine("");
    message_->bodyLoaded = true;
    signatureLine_.resize(message_->bodyLines.size(), false);
    return ok;
}

void Composition::AddPermanentRecipients(const AccountProfile& account) {
    MailMessage& m = *message_;
    std::string& cc = m.hasResent ? m.resentCc : m.cc;
    std::string& bcc = m.hasResent ? m.resentBcc : m.bcc;
    std::vector<std::string> present;
    for (const std::string* field : {m.hasResent ? &m.resentTo : &m.to, &cc, &bcc}) {
        AddressTokenizer tokens(*field);
        while (std::optional<std::string> token = tokens.Next())
            present.push_back(AddressOf(*token));
    }
    AppendNewAddresses(cc, account.permanentCc, present);
    AppendNewAddresses(bcc, account.permanentBcc, present);
}

void Composition::PrepareForSending(const AccountProfile& account) {
    MailMessage& m = *message_;
    if (m.hasResent) {
        m.resentFrom = FromValue(account);
        m.resentTo = RewriteAddressField(m.resentTo);
        m.resentCc = RewriteAddressField(m.resentCc);
        m.resentBcc = RewriteAddressField(m.resentBcc);
    } else {
        m.from = FromValue(account);
        m.to = RewriteAddressField(m.to);
    }
    m.cc = RewriteAddressField(m.cc);
    m.bcc = RewriteAddressField(m.bcc);
    m.SetStatus("");
}

bool Composition::Store(std::string_view folderName, const StoreContext& context) {
    // A folder missing on disk would send the message to InBox instead;
    // make its file so it lands where it was asked to.
    const std::string name = ResolveFolderName(folderName);
    std::unique_ptr<MailFolder> made;
    if (!FindFolder(context.mailboxDir, name)) {
        const std::filesystem::path path = FolderFilePath(context.mailboxDir, name);
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        if (!std::filesystem::exists(path, ec)) {
            std::FILE* f = std::fopen(path.c_str(), "ab");
            if (!f)
                return false;
            std::fclose(f);
        }
        made = std::make_unique<MailFolder>(path);
    }
    // The store takes a copy, so the composition keeps its message
    // whichever way the save ends.
    auto copy = std::make_unique<MailMessage>(*message_);
    copy->dirty = true;
    if (!DeliverMessage(context, name, std::move(copy)))
        return false;
    return context.store == nullptr || context.store->SyncDeliveries();
}

bool Composition::SaveToOutbox(const AccountProfile& account, const StoreContext& context) {
    PrepareForSending(account);
    message_->SetStatus("W");
    RemoveTransportHeaders(*message_);
    return Store("OutBox", context);
}

bool Composition::SaveToDraft(const AccountProfile& account, const StoreContext& context) {
    if (message_->hasResent)
        message_->resentFrom = FromValue(account);
    else
        message_->from = FromValue(account);
    message_->SetStatus("D");
    return Store("Draft", context);
}

}  // namespace corvina
