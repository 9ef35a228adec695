#include "message/StoredForm.h"

#include <array>
#include <cstring>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/AttachmentLink.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

struct NamedField {
    std::string_view name;
    StoredField field;
};

// The one table of stored header names.
constexpr NamedField kStoredNames[] = {
    {"Received", StoredField::Received},
    {"From", StoredField::From},
    {"To", StoredField::To},
    {"Subject", StoredField::Subject},
    {"Date", StoredField::Date},
    {"Status", StoredField::Status},
    {"Cc", StoredField::Cc},
    {"Bcc", StoredField::Bcc},
    {"Reply-To", StoredField::ReplyTo},
    {"Resent-From", StoredField::ResentFrom},
    {"Resent-To", StoredField::ResentTo},
    {"Resent-Date", StoredField::ResentDate},
    {"Resent-Cc", StoredField::ResentCc},
    {"Resent-Bcc", StoredField::ResentBcc},
    {"Resent-Reply-To", StoredField::ResentReplyTo},
    {"X-Marlo-Attachment-File", StoredField::AttachmentFile},
    {"X-Marlo-Decorded", StoredField::Decoded},
    {"X-Marlo-Reply", StoredField::Replied},
    {"X-Marlo-Encoding", StoredField::Encoding},
    {"X-Marlo-Rendered-Html", StoredField::RenderedHtml},
    {"X-Priority", StoredField::Priority},
    {"Content-Type", StoredField::ContentType},
    {"Content-Transfer-Encoding", StoredField::TransferEncoding},
    {"Message-Id", StoredField::MessageId},
    {"In-Reply-To", StoredField::InReplyTo},
    {"References", StoredField::References},
};

// Name families matched by their start (or end) when no name of the table
// matches whole.
constexpr std::string_view kResentPrefix = "Resent-";
constexpr std::string_view kOwnPrefix = "X-Marlo-";
constexpr std::string_view kPrioritySuffix = "Priority";

constexpr std::size_t kLongestName = 25;
constexpr std::size_t kPerLength = 4;

// The table's entries by name length: a lookup compares at most a few
// names, and first the first letter of each.
struct LengthBucket {
    std::size_t count = 0;
    std::array<unsigned char, kPerLength> entry{};
};

constexpr std::array<LengthBucket, kLongestName + 1> kByLength = [] {
    std::array<LengthBucket, kLongestName + 1> buckets{};
    for (std::size_t i = 0; i < std::size(kStoredNames); ++i) {
        LengthBucket& bucket = buckets.at(kStoredNames[i].name.size());
        bucket.entry.at(bucket.count++) = static_cast<unsigned char>(i);
    }
    return buckets;
}();

constexpr std::size_t kFieldCount = static_cast<std::size_t>(StoredField::References) + 1;

// The writer's side of the same table: the name of each field.
constexpr std::array<std::string_view, kFieldCount> kNameOf = [] {
    std::array<std::string_view, kFieldCount> names{};
    for (const NamedField& known : kStoredNames) {
        names.at(static_cast<std::size_t>(known.field)) = known.name;
    }
    return names;
}();

bool HasPrefixNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

StoredField FieldOfName(std::string_view name) {
    if (name.size() <= kLongestName) {
        const LengthBucket& bucket = kByLength[name.size()];
        for (std::size_t i = 0; i < bucket.count; ++i) {
            const NamedField& known = kStoredNames[bucket.entry[i]];
            if (AsciiLower(known.name[0]) == AsciiLower(name[0]) && EqualNoCase(known.name, name)) {
                return known.field;
            }
        }
    }
    if (HasPrefixNoCase(name, kResentPrefix)) {
        return StoredField::ResentOther;
    }
    if (HasPrefixNoCase(name, kOwnPrefix)) {
        return StoredField::OwnOther;
    }
    return StoredField::Other;
}

// "type/subtype; boundary=...": the boundary of a multipart is taken from
// its first parameter when that is named "boundary".
void ReadContentType(std::string_view value, MailMessage& message) {
    auto endsWord = [](char c) { return c == ' ' || c == ';' || c == '\t'; };
    std::size_t i = 0;
    while (i < value.size() && value[i] != '/' && !endsWord(value[i])) {
        ++i;
    }
    const std::string_view type = value.substr(0, i);
    if (type.empty()) {
        return;
    }
    message.contentType.assign(type);
    if (i >= value.size() || value[i] != '/') {
        return;
    }
    const std::size_t subStart = ++i;
    while (i < value.size() && !endsWord(value[i])) {
        ++i;
    }
    message.contentSubtype.assign(value.substr(subStart, i - subStart));
    if (!EqualNoCase(type, "multipart")) {
        return;
    }
    while (i < value.size() && endsWord(value[i])) {
        ++i;
    }
    const std::size_t eq = value.find('=', i);
    if (eq == std::string_view::npos || !EqualNoCase(Trim(value.substr(i, eq - i)), "boundary")) {
        return;
    }
    std::string_view rest = TrimLeft(value.substr(eq + 1));
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        message.boundary.assign(rest.substr(0, rest.find('"')));
    } else {
        std::size_t end = 0;
        while (end < rest.size() && !endsWord(rest[end])) {
            ++end;
        }
        message.boundary.assign(rest.substr(0, end));
    }
}

// Several To or Cc lines make one list; a repeated value is taken once.
void AppendAddresses(std::string& field, std::string_view value) {
    if (field.empty()) {
        field.assign(value);
    } else if (value != field) {
        field += ", ";
        field += value;
    }
}

// A word (HIGH, LOW) or a number 1 to 5; 0 or none means 3. A number
// fixes the priority against later lines.
void ReadPriority(std::string_view value, MailMessage& message, bool& fixed) {
    if (fixed) {
        return;
    }
    if (FindNoCase(value, "HIGH") != std::string_view::npos) {
        message.priority = 1;
    } else if (FindNoCase(value, "LOW") != std::string_view::npos) {
        message.priority = 5;
    } else {
        const int number = AtoI(value);
        if (number <= 0) {
            message.priority = 3;
        } else {
            message.priority = number > 5 ? 5 : number;
            fixed = true;
        }
    }
}

// A CR or LF inside a value would end the line early and could forge
// header lines or a terminator; they are written as blanks.
void AppendClean(std::string& out, std::string_view text) {
    for (char c : text) {
        out.push_back(c == '\r' || c == '\n' ? ' ' : c);
    }
}

void AppendField(std::string& out, StoredField field, std::string_view value) {
    out.append(StoredFieldName(field));
    out.push_back(':');
    AppendClean(out, value);
    out.push_back('\n');
}

void AppendIfSet(std::string& out, StoredField field, std::string_view value) {
    if (!value.empty()) {
        AppendField(out, field, value);
    }
}

}  // namespace

StoredName ClassifyStoredLine(std::string_view line) {
    const void* colon = line.empty() ? nullptr : std::memchr(line.data(), ':', line.size());
    if (colon == nullptr) {
        // No name ends here; only the families tell something of such a line.
        const StoredField family = HasPrefixNoCase(line, kResentPrefix) ? StoredField::ResentOther
                                   : HasPrefixNoCase(line, kOwnPrefix)  ? StoredField::OwnOther
                                                                        : StoredField::Other;
        return {family, line.size()};
    }
    const std::size_t nameLength =
        static_cast<std::size_t>(static_cast<const char*>(colon) - line.data());
    const std::string_view name = line.substr(0, nameLength);
    StoredField field = FieldOfName(name);
    if (field == StoredField::Other && name.size() >= kPrioritySuffix.size() &&
        EqualNoCase(name.substr(name.size() - kPrioritySuffix.size()), kPrioritySuffix)) {
        field = StoredField::OtherPriority;
    }
    return {field, nameLength + 1};
}

std::string_view StoredFieldName(StoredField field) {
    return kNameOf[static_cast<std::size_t>(field)];
}

bool IsOwnStoreField(StoredField field) {
    return field == StoredField::AttachmentFile || field == StoredField::Decoded ||
           field == StoredField::Replied || field == StoredField::Encoding ||
           field == StoredField::RenderedHtml;
}

bool KeepsStoredLine(StoredField field) {
    switch (field) {
        case StoredField::Other:
        case StoredField::Received:
        case StoredField::ReplyTo:
        case StoredField::ResentReplyTo:
        case StoredField::ResentOther:
        case StoredField::OwnOther:
        case StoredField::OtherPriority:
        case StoredField::ContentType:
        case StoredField::TransferEncoding:
        case StoredField::MessageId:
        case StoredField::InReplyTo:
        case StoredField::References:
            return true;
        default:
            return false;
    }
}

StoredFieldReader::StoredFieldReader(const std::filesystem::path& mailboxDirectory,
                                     const CodePage& cp, bool trusted)
    : mailboxDirectory_(mailboxDirectory), cp_(cp), trusted_(trusted) {}

bool StoredFieldReader::Reads(StoredField field) const {
    return trusted_ || (!IsOwnStoreField(field) && field != StoredField::Status);
}

bool StoredFieldReader::Apply(const StoredName& name, std::string_view line, MailMessage& m) {
    if (!Reads(name.field)) {
        return false;  // a sender may not set the store's own lines
    }
    const std::string_view value = Trim(line.substr(std::min(name.valueStart, line.size())));
    switch (name.field) {
        case StoredField::From:
            m.from.assign(value);
            break;
        case StoredField::To:
            AppendAddresses(m.to, value);
            break;
        case StoredField::Cc:
            AppendAddresses(m.cc, value);
            break;
        case StoredField::Subject:
            m.subject.assign(value);
            break;
        case StoredField::Date:
            m.date.assign(value);
            break;
        case StoredField::Status:
            m.status.assign(value);
            break;
        case StoredField::Bcc:
            m.bcc.assign(value);
            break;
        case StoredField::ReplyTo:
            m.replyTo.assign(value);
            break;
        case StoredField::ResentFrom:
            m.resentFrom.assign(value);
            break;
        case StoredField::ResentTo:
            m.resentTo.assign(value);
            break;
        case StoredField::ResentDate:
            m.resentDate.assign(value);
            break;
        case StoredField::ResentCc:
            m.resentCc.assign(value);
            break;
        case StoredField::ResentBcc:
            m.resentBcc.assign(value);
            break;
        case StoredField::ResentReplyTo:
            m.resentReplyTo.assign(value);
            break;
        case StoredField::AttachmentFile:
            // An empty link names no file (and never the directory itself).
            if (!value.empty()) {
                AttachmentEntry entry;
                entry.path = AttachmentLinkPath(value, mailboxDirectory_, cp_);
                m.attachments.push_back(std::move(entry));
            }
            break;
        case StoredField::Decoded:
            m.decoded = true;
            break;
        case StoredField::Replied:
            m.replied = true;
            break;
        case StoredField::RenderedHtml:
            m.renderedFromHtml = true;
            break;
        case StoredField::Encoding:
            m.encoding = AtoI(value);
            break;
        case StoredField::Priority:
        case StoredField::OtherPriority:
            ReadPriority(value, m, priorityFixed_);
            break;
        case StoredField::ContentType:
            ReadContentType(value, m);
            break;
        case StoredField::TransferEncoding:
            m.transferEncoding.assign(value);
            break;
        case StoredField::MessageId:
            m.messageId.assign(value);
            break;
        case StoredField::InReplyTo:
            if (m.parentReference.empty()) {
                m.parentReference = ReferenceFromValue(value, false);
            }
            break;
        case StoredField::References:
            m.parentReference = ReferenceFromValue(value, true);
            break;
        default:
            break;
    }
    switch (name.field) {
        case StoredField::ResentFrom:
        case StoredField::ResentTo:
        case StoredField::ResentDate:
        case StoredField::ResentCc:
        case StoredField::ResentBcc:
        case StoredField::ResentReplyTo:
        case StoredField::ResentOther:
            m.hasResent = true;
            break;
        default:
            break;
    }
    return KeepsStoredLine(name.field);
}

void AppendStoredHeader(const MailMessage& m, const std::filesystem::path& mailboxDirectory,
                        std::string& out) {
    AppendField(out, StoredField::From, m.from);
    AppendField(out, StoredField::To, m.to);
    AppendIfSet(out, StoredField::Cc, m.cc);
    AppendIfSet(out, StoredField::Bcc, m.bcc);
    AppendIfSet(out, StoredField::ResentFrom, m.resentFrom);
    AppendIfSet(out, StoredField::ResentTo, m.resentTo);
    AppendIfSet(out, StoredField::ResentCc, m.resentCc);
    AppendIfSet(out, StoredField::ResentBcc, m.resentBcc);
    AppendIfSet(out, StoredField::ResentDate, m.resentDate);
    AppendField(out, StoredField::Subject, m.subject);
    AppendIfSet(out, StoredField::Date, m.date);
    if (m.priority != 0) {
        AppendField(out, StoredField::Priority, std::to_string(m.priority));
    }
    if (m.read && m.status.find('R') == std::string::npos) {
        AppendField(out, StoredField::Status, "R" + m.status);
    } else {
        AppendIfSet(out, StoredField::Status, m.status);
    }
    for (const std::string& line : m.otherHeaders) {
        AppendClean(out, line);
        out.push_back('\n');
    }
    for (const AttachmentEntry& a : m.attachments) {
        AppendField(out, StoredField::AttachmentFile,
                    AttachmentLinkValue(a.path, mailboxDirectory));
    }
    if (m.decoded) {
        AppendField(out, StoredField::Decoded, "1");
    }
    if (m.replied) {
        AppendField(out, StoredField::Replied, "1");
    }
    if (m.encoding != 0) {
        AppendField(out, StoredField::Encoding, std::to_string(m.encoding));
    }
    if (m.renderedFromHtml) {
        AppendField(out, StoredField::RenderedHtml, "1");
    }
}

std::string ReferenceFromValue(std::string_view value, bool lastOpening) {
    const std::size_t open = lastOpening ? value.rfind('<') : value.find('<');
    const std::size_t close = value.rfind('>');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return std::string(Trim(value));
    }
    return std::string(value.substr(open, close - open + 1));
}

}  // namespace corvina
