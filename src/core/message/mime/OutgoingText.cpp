#include "message/mime/OutgoingText.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>
#include <random>
#include <system_error>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/Address.h"
#include "message/Base64.h"
#include "message/BinHex.h"
#include "message/HeaderWords.h"
#include "message/JapaneseCode.h"
#include "message/MailDate.h"
#include "message/MailMessage.h"
#include "message/PrivateFile.h"
#include "message/QuotedPrintable.h"
#include "message/Uuencode.h"
#include "message/mime/MimeTypeTable.h"
#include "platform/Paths.h"

namespace corvina {

namespace {

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 12;
constexpr std::size_t kContentTypeFold = 74;
constexpr std::size_t kMaxAttachmentName = 260;
constexpr std::string_view kBinHexSubtype = "mac-binhex40";
constexpr std::string_view kUuSubtype = "x-uuencode";

enum class BodyForm { Plain, Jis, QuotedPrintable };

bool IsSjisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool IsSjisTrail(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// JIS for Japanese text on a Japanese system, quoted-printable for any
// other 8-bit text, the lines unchanged when they are all ASCII.
BodyForm ChooseBodyForm(const MailMessage& m, const CodePage& cp) {
    for (const MessageLine& line : m.bodyLines) {
        std::string_view t = line.Content();
        for (std::size_t i = 0; i < t.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(t[i]);
            if (c < 0x80) {
                continue;
            }
            bool japanese = IsSjisLead(c) && i + 1 < t.size() &&
                            IsSjisTrail(static_cast<unsigned char>(t[i + 1]));
            return japanese && cp.IsDbcs() ? BodyForm::Jis : BodyForm::QuotedPrintable;
        }
    }
    return BodyForm::Plain;
}

// No CR or LF from a field may reach a header line.
std::string Flatten(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

std::string EncodeOrKeep(std::string_view line, const CodePage& cp) {
    std::optional<std::string> encoded = EncodeHeaderLine(line, cp);
    return encoded ? std::move(*encoded) : std::string(line);
}

bool Has8Bit(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

// The file name as the name= and filename= parameters carry it: the whole
// name as encoded words when it holds 8-bit text (and `encode` is set),
// at most kMaxAttachmentName bytes. A longer name is cut before it is
// encoded, on a character boundary and before its extension, so that the
// words stay whole and the receiver still knows the type.
std::string WireFileName(std::string_view name, const CodePage& cp, bool encode) {
    auto wire = [&](std::string_view n) {
        return encode && Has8Bit(n) ? EncodeWholeText(n, cp, true) : std::string(n);
    };
    std::string whole = wire(name);
    if (whole.size() <= kMaxAttachmentName) {
        return whole;
    }
    std::size_t dot = name.rfind('.');
    std::string_view extension =
        dot == std::string_view::npos || dot == 0 ? std::string_view() : name.substr(dot);
    std::string_view stem = name.substr(0, name.size() - extension.size());
    if (stem.empty() ||
        wire(std::string(stem.substr(0, static_cast<std::size_t>(cp.CharLength(stem, 0)))) +
             std::string(extension))
                .size() > kMaxAttachmentName) {
        // An extension too long to keep is cut with the rest.
        stem = name;
        extension = {};
    }
    std::vector<std::size_t> ends;  // end of each character of the stem
    for (std::size_t i = 0; i < stem.size();) {
        i += static_cast<std::size_t>(std::max(1, cp.CharLength(stem, i)));
        ends.push_back(i);
    }
    // The longest prefix whose wire form fits; the length only grows with
    // the characters kept.
    std::size_t lo = 0, hi = ends.size();
    std::string best = wire(extension);
    while (lo < hi) {
        std::size_t mid = (lo + hi + 1) / 2;
        std::string candidate =
            wire(std::string(stem.substr(0, ends[mid - 1])) + std::string(extension));
        if (candidate.size() <= kMaxAttachmentName) {
            lo = mid;
            best = std::move(candidate);
        } else {
            hi = mid - 1;
        }
    }
    return best;
}

// Whether an attached message must leave its own form. RFC 2046 lets
// message/rfc822 travel only unencoded, so its lines must be lines: no NUL,
// no CR outside a line end, none over 998 bytes, none that would end the
// enclosing part. Sets `eightBit` when a byte is >= 0x80. nullopt when the
// file cannot be read.
std::optional<bool> NeedsEncoding(const std::filesystem::path& path, std::string_view boundary,
                                  bool& eightBit) {
    constexpr std::size_t kMaxLine = 998;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::string delimiter = "--" + std::string(boundary);
    eightBit = false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > kMaxLine || line.find('\0') != std::string::npos ||
            line.find('\r') != std::string::npos || line.starts_with(delimiter)) {
            return true;
        }
        eightBit = eightBit || Has8Bit(line);
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return false;
}

bool StartsWithFromWord(std::string_view line) {
    return StartsWithNoCase(line, "from");
}

// mboxrd: "From " after any number of ">".
bool IsMboxFromLine(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && line[i] == '>') {
        ++i;
    }
    return line.substr(i).starts_with("From ");
}

std::string FileNameOf(const std::filesystem::path& path) {
    return path.filename().string();
}

// Deletes the temporary files of the encoding steps when the message is done.
class TempFiles {
public:
    ~TempFiles() {
        for (const auto& p : paths_) {
            std::error_code ec;
            std::filesystem::remove(p, ec);
        }
    }
    void Add(const std::filesystem::path& p) { paths_.push_back(p); }

private:
    std::vector<std::filesystem::path> paths_;
};

enum class Mode { Send, Export };

class Assembler {
public:
    Assembler(MailMessage& m, const OutgoingOptions& o, Mode mode, bool unixFormat, LineSender sink)
        : m_(m),
          opt_(o),
          cp_(o.codePage ? *o.codePage : CodePage::Working()),
          mode_(mode),
          // Sending always converts for transport; an export does so too,
          // except on the Japanese system, whose exports keep Shift_JIS
          // text as stored.
          transport_(mode == Mode::Send || !IsJapaneseSystem(cp_)),
          unix_(unixFormat),
          sink_(std::move(sink)) {}

    bool Run();

private:
    // kinds of lines, for the stuffing and quoting rules
    enum class Kind { Header, Body, Attachment };
    bool Emit(std::string_view line, Kind kind);
    bool EmitPhysical(std::string_view line, Kind kind);
    bool Header(std::string_view line) { return Emit(Flatten(line), Kind::Header); }
    bool EncodedHeader(std::string_view line) {
        std::string flat = Flatten(line);
        return Emit(transport_ ? EncodeOrKeep(flat, cp_) : flat, Kind::Header);
    }
    std::string ContentTypeLine(BodyForm form) const;
    std::string BodyTransferEncoding(BodyForm form) const;
    bool Headers(BodyForm form);
    bool Body(BodyForm form);
    bool Attachment(AttachmentEntry entry);
    std::string MessageId();

    MailMessage& m_;
    const OutgoingOptions& opt_;
    const CodePage& cp_;
    Mode mode_;
    bool transport_;  // charset labels, encoded words, quoted-printable 8-bit text
    bool unix_;
    LineSender sink_;
    TempFiles temp_;
    std::string date_;
};

bool Assembler::EmitPhysical(std::string_view line, Kind kind) {
    if (mode_ == Mode::Send) {
        // Every transmitted line, attachments included, is stuffed once.
        if (!line.empty() && line.front() == '.') {
            std::string stuffed = "." + std::string(line);
            return sink_(stuffed);
        }
        return sink_(line);
    }
    if (unix_ && kind != Kind::Header && IsMboxFromLine(line)) {
        std::string quoted = ">" + std::string(line);
        return sink_(quoted);
    }
    if (!unix_ && kind == Kind::Body && !line.empty() && line.front() == '.') {
        std::string doubled = "." + std::string(line);
        return sink_(doubled);
    }
    return sink_(line);
}

bool Assembler::Emit(std::string_view line, Kind kind) {
    // Quoted-printable soft breaks come back as "=" CR LF inside one line.
    std::size_t start = 0;
    while (true) {
        std::size_t crlf = line.find("\r\n", start);
        if (crlf == std::string_view::npos) {
            return EmitPhysical(line.substr(start), kind);
        }
        if (!EmitPhysical(line.substr(start, crlf - start), kind)) {
            return false;
        }
        start = crlf + 2;
    }
}

std::string Assembler::MessageId() {
    if (!m_.messageId.empty()) {
        return Flatten(m_.messageId);
    }
    std::string sender =
        AddressOf(m_.hasResent && !m_.resentFrom.empty() ? m_.resentFrom : m_.from);
    std::size_t at = sender.rfind('@');
    std::string domain = at == std::string::npos ? std::string() : sender.substr(at + 1);
    std::string clean;
    for (char c : domain) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u > 0x20 && u < 0x7F && c != '<' && c != '>' && c != '@') {
            clean += c;
        }
    }
    if (clean.empty()) {
        clean = "localhost";
    }
    std::random_device device;
    std::uint64_t random = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "<%lld.%016llx@",
                  static_cast<long long>(std::time(nullptr)),
                  static_cast<unsigned long long>(random));
    std::string id = buffer + clean + ">";
    m_.messageId = id;
    m_.AddOtherHeader("Message-Id: " + id);
    return id;
}

// A signed or encrypted body, kept as it came (its signature covers the
// bytes): it goes out unchanged.
bool IsRawMultipart(const MailMessage& m) {
    return m.attachments.empty() && EqualNoCase(m.contentType, "multipart") &&
           (EqualNoCase(m.contentSubtype, "signed") || EqualNoCase(m.contentSubtype, "encrypted"));
}

bool Has8BitText(const MailMessage& m) {
    for (const MessageLine& line : m.bodyLines) {
        for (char c : line.Content()) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                return true;
            }
        }
    }
    return false;
}

std::string Assembler::ContentTypeLine(BodyForm form) const {
    if (!m_.attachments.empty()) {
        return "Content-Type: multipart/mixed; boundary=\"" + m_.boundary + "\"";
    }
    if (EqualNoCase(m_.contentType, "multipart")) {
        // Signed and encrypted bodies are kept raw: their own type line
        // carries the boundary and the protocol. Any other multipart body
        // was decoded into text when the message arrived.
        if (IsRawMultipart(m_)) {
            for (const std::string& line : m_.otherHeaders) {
                if (StartsWithNoCase(line, "Content-Type:")) {
                    return Flatten(line);
                }
            }
            if (!m_.boundary.empty()) {
                return "Content-Type: " + Flatten(m_.contentType) + "/" +
                       Flatten(m_.contentSubtype) + "; boundary=\"" + Flatten(m_.boundary) + "\"";
            }
        }
        return "Content-Type: text/plain";
    }
    std::string line =
        "Content-Type: " + Flatten(m_.contentType) + "/" + Flatten(m_.contentSubtype);
    if (form == BodyForm::Jis) {
        line += "; charset=ISO-2022-JP";
    } else if (form == BodyForm::QuotedPrintable) {
        // Without a charset receivers would read the text as US-ASCII.
        line += std::string("; charset=") + cp_.MimeCharsetName();
    }
    return line;
}

// The body lines are always text as the store keeps it: a base64 or
// quoted-printable label of the received message no longer describes them.
std::string Assembler::BodyTransferEncoding(BodyForm form) const {
    if (!m_.attachments.empty()) {
        return "7bit";
    }
    if (transport_ && form == BodyForm::QuotedPrintable) {
        return "Quoted-Printable";
    }
    std::string encoding = m_.transferEncoding.empty() ? "7bit" : Flatten(m_.transferEncoding);
    if (EqualNoCase(encoding, "base64") || EqualNoCase(encoding, "quoted-printable")) {
        encoding = Has8BitText(m_) ? "8bit" : "7bit";
    }
    return encoding;
}

bool Assembler::Headers(BodyForm form) {
    const bool resent = mode_ == Mode::Send && m_.hasResent;
    std::string to = ExpandRecipients(resent ? m_.resentTo : m_.to, opt_.groups);
    std::string cc = ExpandRecipients(resent ? m_.resentCc : m_.cc, opt_.groups);
    const std::string& from = resent ? m_.resentFrom : m_.from;

    if (mode_ == Mode::Send && opt_.sendDate) {
        if (!Header((resent ? "Resent-Date: " : "Date: ") + date_)) {
            return false;
        }
    }
    auto field = [&](std::string_view name, const std::string& value) {
        return value.empty() || EncodedHeader(std::string(name) + value);
    };
    const char* p = resent ? "Resent-" : "";
    if (!field(std::string(p) + "To: ", to) || !field(std::string(p) + "From: ", from) ||
        !field(std::string(p) + "Cc: ", cc) || !field("Subject: ", m_.subject)) {
        return false;
    }
    if (resent) {
        if (!field("To: ", m_.to) || !field("From: ", m_.from) || !field("Cc: ", m_.cc) ||
            (!m_.date.empty() && !Header("Date: " + m_.date))) {
            return false;
        }
    }
    if (mode_ == Mode::Export) {
        if (!m_.date.empty() && !Header("Date: " + m_.date)) {
            return false;
        }
        if (m_.priority != 3 && m_.priority != 0 &&
            !Header("X-Priority: " + std::to_string(m_.priority))) {
            return false;
        }
    }
    // Message-Id goes out on its own line below; the stored one is skipped
    // here so it is not sent twice.
    std::string messageId = mode_ == Mode::Send ? MessageId() : std::string();
    for (const std::string& line : m_.otherHeaders) {
        std::string_view l = line;
        bool skip = StartsWithNoCase(l, "MIME-Version:") || StartsWithNoCase(l, "Content-");
        if (mode_ == Mode::Send) {
            skip = skip || StartsWithNoCase(l, "X-Mailer:") || StartsWithNoCase(l, "X-Marlo-") ||
                   StartsWithNoCase(l, "Message-Id:") || StartsWithNoCase(l, "Received:");
        }
        if (!skip && !EncodedHeader(l)) {
            return false;
        }
    }
    if (!messageId.empty() && !Header("Message-Id: " + messageId)) {
        return false;
    }
    if (!Header("MIME-Version: 1.0")) {
        return false;
    }
    if (!Header(ContentTypeLine(form)) ||
        !Header("Content-Transfer-Encoding: " + BodyTransferEncoding(form))) {
        return false;
    }
    if (mode_ == Mode::Send) {
        char mailer[64];
        std::snprintf(mailer, sizeof mailer, "X-Mailer: Marlo! ver %d.%02d", kVersionMajor,
                      kVersionMinor);
        if (!Header(mailer)) {
            return false;
        }
        if (m_.priority == 1 || m_.priority == 2) {
            if (!Header("X-Priority: " + std::to_string(m_.priority)) ||
                !Header("X-MSMail-Priority: High") || !Header("Priority: high")) {
                return false;
            }
        } else if (m_.priority == 4 || m_.priority == 5) {
            if (!Header("X-Priority: " + std::to_string(m_.priority)) ||
                !Header("X-MSMail-Priority: Low") || !Header("Priority: low")) {
                return false;
            }
        }
    }
    return Emit("", Kind::Header);
}

bool Assembler::Body(BodyForm form) {
    const bool multipart = !m_.attachments.empty();
    if (multipart) {
        if (!Emit("--" + m_.boundary, Kind::Header)) {
            return false;
        }
        if (form == BodyForm::Jis) {
            if (!Emit("Content-Type: text/plain; charset=ISO-2022-JP", Kind::Header)) {
                return false;
            }
        } else if (form == BodyForm::QuotedPrintable) {
            if (!Emit("Content-Transfer-Encoding: Quoted-Printable", Kind::Header) ||
                !Emit(std::string("Content-Type: text/plain; charset=") + cp_.MimeCharsetName(),
                      Kind::Header)) {
                return false;
            }
        } else if (!Emit("Content-Type: text/plain", Kind::Header)) {
            return false;
        }
        if (!Emit("", Kind::Header)) {
            return false;
        }
    }
    for (const MessageLine& ml : m_.bodyLines) {
        std::string_view content = ml.Content();
        if (form == BodyForm::Plain && mode_ == Mode::Export) {
            if (!Emit(content, Kind::Body)) {
                return false;
            }
            continue;
        }
        std::string line;
        // An export quotes "From " lines the mailbox way when it writes them.
        if (mode_ == Mode::Send && StartsWithFromWord(content)) {
            line = ">";
        }
        line.append(content);
        if (form == BodyForm::Jis) {
            line = SjisToJis(line, true);
        } else if (form == BodyForm::QuotedPrintable) {
            line = QpEncodeLine(line);
        }
        if (!Emit(line, Kind::Body)) {
            return false;
        }
    }
    if (multipart) {
        if (!Emit("", Kind::Body) || !Emit("", Kind::Body)) {
            return false;
        }
        for (const AttachmentEntry& entry : m_.attachments) {
            if (!Attachment(entry)) {
                return false;
            }
        }
        if (!Emit("--" + m_.boundary + "--", Kind::Header)) {
            return false;
        }
    }
    return true;
}

bool Assembler::Attachment(AttachmentEntry entry) {
    if (!Emit("--" + m_.boundary, Kind::Header)) {
        return false;
    }
    if (IsTextEncodedFileType(entry.subtype)) {
        entry.encoding = FileTransferEncoding(entry.subtype);
    } else if (mode_ == Mode::Send && (m_.encoding == 1 || m_.encoding == 2)) {
        std::optional<std::filesystem::path> encoded;
        if (opt_.tempDirectory.empty()) {
            encoded = m_.encoding == 1 ? UuEncodeFile(entry.path) : BinHexEncodeFile(entry.path);
        } else {
            encoded = m_.encoding == 1 ? UuEncodeFile(entry.path, opt_.tempDirectory)
                                       : BinHexEncodeFile(entry.path, opt_.tempDirectory);
        }
        if (!encoded) {
            return false;
        }
        temp_.Add(*encoded);
        entry.path = *encoded;
        entry.type = "application";
        entry.subtype = m_.encoding == 1 ? kUuSubtype : kBinHexSubtype;
        entry.encoding = "7bit";
    }
    if (EqualNoCase(entry.type, "message")) {
        bool eightBit = false;
        std::optional<bool> encode = NeedsEncoding(entry.path, m_.boundary, eightBit);
        if (!encode) {
            return false;
        }
        if (*encode) {
            entry.type = "application";
            entry.subtype = "octet-stream";
            entry.encoding = "base64";
        } else {
            entry.encoding = eightBit ? "8bit" : "7bit";
        }
    }
    std::string name = WireFileName(Flatten(FileNameOf(entry.path)), cp_, transport_);
    std::string quoted;
    for (char c : name) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    std::string typeLine =
        "Content-Type: " + Flatten(entry.type) + "/" + Flatten(entry.subtype) + ";";
    std::string nameParam = " name=\"" + quoted + "\"";
    if (typeLine.size() + nameParam.size() <= kContentTypeFold) {
        if (!Emit(typeLine + nameParam, Kind::Header)) {
            return false;
        }
    } else if (!Emit(typeLine, Kind::Header) || !Emit(nameParam, Kind::Header)) {
        return false;
    }
    const bool image = EqualNoCase(entry.type, "image");
    if (!Emit(image ? "Content-Disposition: inline;" : "Content-Disposition: attachment;",
              Kind::Header) ||
        !Emit(" filename=\"" + quoted + "\"", Kind::Header) ||
        !Emit("Content-Transfer-Encoding: " + Flatten(entry.encoding), Kind::Header) ||
        !Emit("", Kind::Header)) {
        return false;
    }
    if (EqualNoCase(entry.encoding, "base64")) {
        bool refused = false;
        bool ok = Base64EncodeFile(entry.path, [&](std::string_view line) {
            if (!Emit(line, Kind::Attachment)) {
                refused = true;
                return false;
            }
            return true;
        });
        if (!ok || refused) {
            return false;
        }
    } else {
        std::ifstream in(entry.path, std::ios::binary);
        if (!in) {
            return false;
        }
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!Emit(line, Kind::Attachment)) {
                return false;
            }
        }
        if (in.bad()) {
            return false;
        }
    }
    return Emit("", Kind::Attachment);
}

bool Assembler::Run() {
    date_ = opt_.dateText.empty() ? FormatMailDate() : opt_.dateText;
    if (!m_.attachments.empty()) {
        m_.boundary = Base64EncodeText(date_);
    }
    BodyForm form = transport_ && !IsRawMultipart(m_) ? ChooseBodyForm(m_, cp_) : BodyForm::Plain;
    return Headers(form) && Body(form);
}

}  // namespace

std::string OutgoingEnvelope::RecipientText() const {
    std::string out;
    for (const std::string& r : recipients) {
        out += r;
        out += '\t';
    }
    return out;
}

std::string ExpandRecipients(std::string_view field, const GroupAddresses& groups) {
    std::string out;
    auto add = [&](std::string_view address) {
        if (!out.empty()) {
            out += ',';
        }
        out.append(address);
    };
    AddressTokenizer tokens(field);
    while (std::optional<std::string> token = tokens.Next()) {
        std::string_view t = Trim(*token);
        if (t.empty() || t.front() != '@') {
            add(*token);
            continue;
        }
        std::string_view rest = t.substr(1);
        std::string name;
        if (!rest.empty() && rest.front() == '"') {
            std::size_t close = rest.find('"', 1);
            name = rest.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        } else {
            name = rest.substr(0, rest.find_first_of(", \t"));
        }
        if (!groups) {
            continue;
        }
        for (const std::string& address : groups(name)) {
            add(address);
        }
    }
    return out;
}

OutgoingEnvelope BuildEnvelope(const MailMessage& m, const OutgoingOptions& options) {
    const bool resent = m.hasResent;
    OutgoingEnvelope env;
    env.sender = AddressOf(resent ? m.resentFrom : m.from);
    for (const std::string* field : {resent ? &m.resentTo : &m.to, resent ? &m.resentCc : &m.cc,
                                     resent ? &m.resentBcc : &m.bcc}) {
        std::string expanded = ExpandRecipients(*field, options.groups);
        AddressTokenizer tokens(expanded);
        while (std::optional<std::string> token = tokens.Next()) {
            std::string address = Flatten(AddressOf(*token));
            if (!address.empty()) {
                env.recipients.push_back(std::move(address));
            }
        }
    }
    env.sender = Flatten(env.sender);
    return env;
}

std::optional<std::string> CheckAttachmentFiles(const MailMessage& message) {
    for (const AttachmentEntry& entry : message.attachments) {
        std::error_code ec;
        std::filesystem::file_status status = std::filesystem::status(entry.path, ec);
        std::string reason;
        if (!std::filesystem::exists(status)) {
            reason = "it no longer exists";
        } else if (std::filesystem::is_directory(status)) {
            reason = "it is a folder";
        } else if (!std::ifstream(entry.path, std::ios::binary)) {
            reason = "it cannot be read";
        }
        if (!reason.empty()) {
            return "the attached file \"" + entry.path.string() + "\" cannot be sent: " + reason +
                   "; attach it again or remove it from the message";
        }
    }
    return std::nullopt;
}

bool BuildOutgoingText(MailMessage& message, const LineSender& send, const OutgoingOptions& options,
                       OutgoingEnvelope* envelope) {
    if (envelope != nullptr) {
        *envelope = BuildEnvelope(message, options);
    }
    Assembler assembler(message, options, Mode::Send, false, send);
    return assembler.Run();
}

std::string UnixFromLineDate(std::string_view mailDate) {
    if (Trim(mailDate).empty()) {
        return {};
    }
    std::time_t when = ParseMailDate(mailDate);
    // Text without a usable date reads as a time before 1970.
    if (when <= 0) {
        return {};
    }
    std::tm tm{};
    if (localtime_r(&when, &tm) == nullptr) {
        return {};
    }
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s %s%3d %02d:%02d:%02d %04d", kDays[tm.tm_wday % 7],
                  kMonths[tm.tm_mon % 12], tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  tm.tm_year + 1900);
    return buffer;
}

bool ExportMessage(const MailMessage& message, const std::filesystem::path& output,
                   std::string_view separator, bool unixFormat, const OutgoingOptions& options) {
    std::string text;
    auto sink = [&](std::string_view line) {
        text.append(line);
        text += "\r\n";
        return true;
    };
    if (unixFormat) {
        sink("From " + Flatten(AddressOf(message.from)) + " " + UnixFromLineDate(message.date));
    }
    // The export writer changes nothing in the message; it works on a copy
    // so that the boundary of the run stays out of the original.
    MailMessage copy = message;
    // The store keeps only an attachment's path; its type and encoding come
    // from the MIME type table, as for a stored message being sent.
    static const MimeTypeTable builtIn;
    const MimeTypeTable& types = options.types ? *options.types : builtIn;
    for (AttachmentEntry& entry : copy.attachments) {
        TypeAttachmentByFileName(entry, types);
    }
    Assembler assembler(copy, options, Mode::Export, unixFormat, sink);
    if (!assembler.Run()) {
        return false;
    }
    std::string_view sep = separator;
    while (!sep.empty() && (sep.back() == '\n' || sep.back() == '\r')) {
        sep.remove_suffix(1);
    }
    if (!separator.empty()) {
        sink(sep);
    }
    std::FILE* file = OpenPrivateFile(output, PrivateOpen::kAppend);
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

}  // namespace corvina
