#include "message/mime/MessageParser.h"

#include <cstring>
#include <optional>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/Address.h"
#include "message/Base64.h"
#include "message/HeaderUnfold.h"
#include "message/HeaderWords.h"
#include "message/MailMessage.h"
#include "message/QuotedPrintable.h"
#include "message/StoredForm.h"
#include "message/mime/AttachmentFile.h"
#include "message/mime/HtmlToText.h"
#include "message/mime/MessageOptions.h"
#include "message/mime/MimeParameters.h"
#include "message/mime/MimeTypeTable.h"
#include "message/mime/SecondStageDecode.h"

namespace corvina {

namespace {

constexpr std::size_t kSeparatorWidth = 64;
constexpr std::size_t kAutoWrapFrom = 80;  // bytes of a line, LF included

// The text with the transport forms undone: CR before LF removed, the
// terminator "." and what follows dropped, one dot taken from lines that
// start "..". Most stored texts need none of it and are not copied.
std::string_view NormaliseText(std::string_view text, std::string& storage) {
    bool needsCopy = text.find('\r') != std::string_view::npos ||
                     (!text.empty() && text[0] == '.') ||
                     text.find("\n.") != std::string_view::npos;
    if (!needsCopy) {
        return text;
    }
    storage.clear();
    storage.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view line = text.substr(pos, end - pos);
        pos = lf == std::string_view::npos ? text.size() : lf + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line == ".") {
            break;
        }
        if (line.size() >= 2 && line[0] == '.' && line[1] == '.') {
            line.remove_prefix(1);
        }
        storage.append(line);
        storage += '\n';
    }
    return storage;
}

// One line at pos (without LF); pos moves past it.
std::string_view TakeLine(std::string_view text, std::size_t& pos) {
    const char* start = text.data() + pos;
    const void* lf = std::memchr(start, '\n', text.size() - pos);
    std::size_t end =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = lf ? end + 1 : text.size();
    return line;
}

std::string_view ValueAfterColon(std::string_view line) {
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return {};
    }
    return Trim(line.substr(colon + 1));
}

// "From address date" of a UNIX mailbox: "From " and no colon right after
// the word, which a "From :" header field would have.
bool IsMboxEnvelopeLine(std::string_view text) {
    if (!text.starts_with("From ")) {
        return false;
    }
    std::size_t next = text.find_first_not_of(" \t", 5);
    return next == std::string_view::npos || text[next] != ':';
}

// Whether a plain (not encoded) body in `charset` must be converted into
// W: on 932 only UTF-8 and EUC-JP (JIS was converted on receipt), elsewhere
// any known charset that is not W itself.
bool PlainBodyNeedsConversion(std::string_view charset, const CodePage& cp) {
    if (charset.empty() || EqualNoCase(charset, "us-ascii") || cp.IsCharsetOfW(charset)) {
        return false;
    }
    if (cp.IsDbcs()) {
        return EqualNoCase(charset, "utf-8") || EqualNoCase(charset, "utf8") ||
               EqualNoCase(charset, "euc-jp") || EqualNoCase(charset, "x-euc-jp");
    }
    return !CodePage::IconvCharsetName(charset).empty();
}

enum class WalkEnd { Closed, Ancestor, EndOfText };

struct PartHeader {
    std::string type = "text";
    std::string subtype = "plain";
    std::string encoding = "7bit";
    std::string charset;
    std::string fileName;
    bool fileNameFromExtended = false;
    std::optional<std::string> boundary;
};

class Parser {
public:
    Parser(MailMessage& message, const ParseOptions& options, ParseResult& result)
        : message_(message),
          options_(options),
          result_(result),
          cp_(options.codePage ? *options.codePage : CodePage::Working()),
          types_(options.types ? *options.types : BuiltInMimeTypes()),
          attachDir_(options.AttachmentDirectory()),
          fields_(options.mailboxDirectory, cp_, options.trustStoreLines) {}

    void Run(std::string_view text);

private:
    void HeaderLine(const std::string& line);
    void ContentTypeLine(std::string_view value);

    void AddShownLine(std::string_view line);
    void AddShownText(std::string_view text);
    void AddRawRest(std::size_t pos);

    // The part walker. `single`: the whole message is one body whose header
    // is the message header (pos at the start of the message).
    WalkEnd DecodeParts(std::size_t& pos, bool single, int depth, std::size_t& hitLevel);
    void ReadPartHeader(std::size_t& pos, PartHeader& part, bool& hitBoundary);
    // Level of the boundary this line opens or closes (innermost first), or
    // -1. `closing` tells "--boundary--".
    int MatchBoundary(std::string_view line, bool& closing) const;
    // Moves pos to the next boundary line of any open level; returns the
    // end of the body before it.
    std::size_t ScanToBoundary(std::size_t& pos) const;
    void DecodeLeaf(PartHeader part, std::string_view body, bool single);
    // A message whose only text is HTML shows a rendering of its first
    // HTML part; the part itself stays an attachment.
    void KeepHtml(const PartHeader& part, std::string_view decoded);
    void ShowRenderedHtml();

    MailMessage& message_;
    const ParseOptions& options_;
    ParseResult& result_;
    const CodePage& cp_;
    const MimeTypeTable& types_;
    std::filesystem::path attachDir_;

    std::string_view text_;
    std::vector<std::string> boundaries_;
    StoredFieldReader fields_;
    bool toSplit_ = false;
    std::string bodyCharset_;
    bool limitHit_ = false;
    bool shownText_ = false;  // a part was shown as text
    std::optional<std::string> html_;
    std::string htmlCharset_;
};

void Parser::ContentTypeLine(std::string_view value) {
    MimeTypeName name = ParseContentTypeValue(value);
    message_.contentType = name.type;
    message_.contentSubtype = name.subtype;
    if (EqualNoCase(name.type, "text")) {
        if (std::optional<std::string> charset = FindCharset(value)) {
            if (EqualNoCase(*charset, "US-ASCII")) {
                result_.charsetJis = false;
            } else {
                result_.charsetDeclared = true;
                if (EqualNoCase(*charset, "ISO-2022-JP")) {
                    result_.charsetJis = true;
                }
            }
            bodyCharset_ = std::move(*charset);
        }
    } else if (EqualNoCase(name.type, "multipart")) {
        if (std::optional<std::string> boundary = FindBoundary(value)) {
            message_.boundary = std::move(*boundary);
        }
        if (EqualNoCase(name.subtype, "signed") || EqualNoCase(name.subtype, "encrypted")) {
            // Kept raw for the PGP step.
            message_.decoded = true;
        } else if (!message_.boundary.empty()) {
            toSplit_ = true;
        }
    }
}

void Parser::HeaderLine(const std::string& line) {
    const StoredName name = ClassifyStoredLine(line);
    const std::size_t linked = message_.attachments.size();
    const bool keep = fields_.Apply(name, line, message_);
    if (!fields_.Reads(name.field)) {
        return;
    }
    if (keep) {
        message_.AddOtherHeader(line);
    }
    switch (name.field) {
        case StoredField::From:
            if (!options_.ownAddress.empty() &&
                EqualNoCase(AddressOf(message_.from), options_.ownAddress)) {
                message_.read = true;
            }
            break;
        case StoredField::AttachmentFile:
            for (std::size_t i = linked; i < message_.attachments.size(); ++i) {
                TypeAttachmentByFileName(message_.attachments[i], types_);
            }
            result_.storedAttachments = true;
            break;
        case StoredField::ContentType:
            ContentTypeLine(std::string_view(line).substr(name.valueStart));
            break;
        default:
            break;
    }
}

void Parser::AddShownLine(std::string_view line) {
    if (options_.autoWrap && line.size() + 1 >= kAutoWrapFrom) {
        AutoWrapLine(message_, line, options_.breakSets, cp_);
    } else {
        message_.AddBodyLine(line);
    }
}

void Parser::AddShownText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::string_view line = TakeLine(text, pos);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        AddShownLine(line);
    }
}

void Parser::AddRawRest(std::size_t pos) {
    while (pos < text_.size()) {
        message_.AddBodyLine(TakeLine(text_, pos));
    }
}

int Parser::MatchBoundary(std::string_view line, bool& closing) const {
    if (line.size() < 2 || line[0] != '-' || line[1] != '-') {
        return -1;
    }
    std::string_view rest = line.substr(2);
    for (std::size_t i = boundaries_.size(); i-- > 0;) {
        const std::string& b = boundaries_[i];
        if (rest.size() >= b.size() && rest.compare(0, b.size(), b) == 0) {
            closing =
                rest.size() >= b.size() + 2 && rest[b.size()] == '-' && rest[b.size() + 1] == '-';
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::size_t Parser::ScanToBoundary(std::size_t& pos) const {
    while (pos < text_.size()) {
        if (text_[pos] == '-' && pos + 1 < text_.size() && text_[pos + 1] == '-') {
            std::size_t probe = pos;
            std::string_view line = TakeLine(text_, probe);
            bool closing = false;
            if (MatchBoundary(line, closing) >= 0) {
                return pos;
            }
        }
        const void* lf = std::memchr(text_.data() + pos, '\n', text_.size() - pos);
        pos = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text_.data()) + 1
                 : text_.size();
    }
    return pos;
}

void Parser::ReadPartHeader(std::size_t& pos, PartHeader& part, bool& hitBoundary) {
    hitBoundary = false;
    while (pos < text_.size()) {
        if (text_[pos] == '\n') {
            ++pos;  // the empty line ending the header
            return;
        }
        if (text_[pos] == '-' && !boundaries_.empty()) {
            std::size_t probe = pos;
            bool closing = false;
            if (MatchBoundary(TakeLine(text_, probe), closing) >= 0) {
                hitBoundary = true;  // a part with a header and no body
                return;
            }
        }
        // Fields with parameters are read as written: their quoted strings
        // are unescaped before any encoded word in them is decoded.
        const std::string_view rest = text_.substr(pos);
        const bool structured = StartsWithNoCase(rest, "CONTENT-TYPE:") ||
                                StartsWithNoCase(rest, "CONTENT-DISPOSITION:");
        std::string line = UnfoldStoredField(text_, pos, cp_, !structured);
        std::string_view l = line;
        if (StartsWithNoCase(l, "CONTENT-TYPE:")) {
            std::string_view value = l.substr(13);
            MimeTypeName name = ParseContentTypeValue(value);
            if (EqualNoCase(name.type, "multipart")) {
                if (std::optional<std::string> b = FindBoundary(value); b && !b->empty()) {
                    part.type = name.type;
                    part.subtype = name.subtype;
                    part.boundary = std::move(*b);
                }
                continue;
            }
            part.type = name.type;
            part.subtype = name.subtype;
            if (std::optional<std::string> charset = FindCharset(value)) {
                if (EqualNoCase(name.type, "text") && !EqualNoCase(*charset, "US-ASCII")) {
                    result_.charsetDeclared = true;
                }
                part.charset = std::move(*charset);
            }
            if (std::optional<DecodedParameter> n = FindExtendedParameter(value, "name", cp_)) {
                part.fileName = ParameterText(*n, cp_);
                part.fileNameFromExtended = n->extended;
            }
        } else if (StartsWithNoCase(l, "CONTENT-TRANSFER-ENCODING:")) {
            part.encoding = ValueAfterColon(l);
        } else if (StartsWithNoCase(l, "CONTENT-DISPOSITION:")) {
            std::string_view value = l.substr(20);
            if (std::optional<DecodedParameter> f = FindExtendedParameter(value, "filename", cp_)) {
                const bool extended = f->extended;
                // A name in the RFC 2231 form wins; a plain one only fills a gap.
                if (part.fileName.empty() || (extended && !part.fileNameFromExtended)) {
                    part.fileName = ParameterText(*f, cp_);
                    part.fileNameFromExtended = extended;
                }
            }
        }
    }
}

void Parser::DecodeLeaf(PartHeader part, std::string_view body, bool single) {
    if (EqualNoCase(part.type, "multipart")) {
        return;  // a multipart whose parts were never found holds nothing
    }
    if (EqualNoCase(part.encoding, "x-uuencode")) {
        part.type = "application";
        part.subtype = "x-uuencode";
        part.encoding = "7bit";
    }
    const bool shown = IsShownTextType(part.type, part.subtype, types_);
    const bool base64 = EqualNoCase(part.encoding, "base64");
    const bool qp = EqualNoCase(part.encoding, "quoted-printable");
    const bool wantsFile = !shown || (base64 && !single);

    if (shown && message_.bodyLineCount > 0) {
        message_.AddBodyLine(std::string(kSeparatorWidth, '-'));
    }
    shownText_ = shownText_ || shown;
    const bool html =
        !shown && !html_ && EqualNoCase(part.type, "text") && EqualNoCase(part.subtype, "html");
    std::optional<AttachmentFile> file;
    if (wantsFile) {
        file = AttachmentFile::Create(attachDir_, part.fileName,
                                      types_.FindByType(part.type, part.subtype), cp_);
        if (file) {
            AttachmentEntry entry;
            entry.path = file->Path();
            entry.type = part.type;
            entry.subtype = part.subtype;
            entry.encoding = part.encoding;
            message_.attachments.push_back(std::move(entry));
            result_.createdFiles.push_back(file->Path());
        }
    }

    if (base64) {
        Base64Decoded decoded = Base64DecodeBody(body);
        if (file) {
            file->Write(decoded.bytes);
        }
        if (html) {
            KeepHtml(part, decoded.bytes);
        }
        if (shown) {
            AddShownText(ShownTextToWorking(decoded.bytes, part.charset, cp_));
        }
        if (!decoded.complete) {
            // The message is stored decoded, so the encoded text would be
            // gone for good: keep it in the body for the user to recover.
            if (message_.bodyLineCount > 0) {
                message_.AddBodyLine(std::string(kSeparatorWidth, '-'));
            }
            AddShownText(body);
        }
    } else if (qp) {
        if (html) {
            KeepHtml(part, QpDecodeBody(body));
        }
        if (shown) {
            AddShownText(ShownTextToWorking(QpDecodeBody(body), part.charset, cp_));
        } else if (file) {
            for (const std::string& l : QpDecodeText(body)) {
                if (!l.empty() && l.back() == '\n') {
                    file->Write(std::string_view(l).substr(0, l.size() - 1));
                    file->Write("\r\n");
                } else {
                    file->Write(l);
                }
            }
        }
    } else if (shown) {
        AddShownText(ShownTextToWorking(body, part.charset, cp_));
    } else if (file) {
        if (html) {
            KeepHtml(part, body);
        }
        std::size_t pos = 0;
        while (pos < body.size()) {
            file->Write(TakeLine(body, pos));
            file->Write("\r\n");
        }
    }
    if (file) {
        file->Close();
    }
}

void Parser::KeepHtml(const PartHeader& part, std::string_view decoded) {
    html_.emplace(decoded);
    htmlCharset_ = part.charset;
}

void Parser::ShowRenderedHtml() {
    if (shownText_ || !html_) {
        return;
    }
    const std::vector<std::string> lines = HtmlToText(*html_, htmlCharset_, cp_);
    html_.reset();
    if (lines.empty()) {
        return;
    }
    if (message_.bodyLineCount > 0) {
        message_.AddBodyLine(std::string(kSeparatorWidth, '-'));
    }
    for (const std::string& line : lines) {
        message_.AddBodyLine(line);
    }
    message_.renderedFromHtml = true;
}

WalkEnd Parser::DecodeParts(std::size_t& pos, bool single, int depth, std::size_t& hitLevel) {
    const std::size_t myLevel = boundaries_.size();  // index of my boundary + 1
    bool epilogue = false;                           // reading what follows a nested multipart
    while (true) {
        if (++result_.partCount > kMaxMimeParts || depth > kMaxMimeDepth) {
            limitHit_ = true;
            AddRawRest(pos);
            pos = text_.size();
            return WalkEnd::EndOfText;
        }
        PartHeader part;
        bool bodyless = false;
        if (!epilogue) {
            ReadPartHeader(pos, part, bodyless);
        }
        if (part.boundary && !bodyless && !single) {
            // Skip to the nested multipart's first boundary, walk its parts,
            // then read what follows its closing boundary as a text part.
            boundaries_.push_back(*part.boundary);
            std::size_t scan = pos;
            ScanToBoundary(scan);
            WalkEnd end = WalkEnd::EndOfText;
            if (scan < text_.size()) {
                bool closing = false;
                std::size_t after = scan;
                int level = MatchBoundary(TakeLine(text_, after), closing);
                if (level == static_cast<int>(myLevel)) {
                    pos = after;
                    end = closing ? WalkEnd::Closed : DecodeParts(pos, false, depth + 1, hitLevel);
                } else {
                    pos = scan;
                    end = WalkEnd::Ancestor;
                    hitLevel = static_cast<std::size_t>(level);
                }
            } else {
                pos = scan;
            }
            boundaries_.pop_back();
            if (end == WalkEnd::EndOfText) {
                return end;
            }
            if (end == WalkEnd::Ancestor && hitLevel + 1 < myLevel) {
                return end;  // an outer level's boundary
            }
            if (end == WalkEnd::Closed) {
                epilogue = true;
                continue;
            }
            // Otherwise pos is at a boundary line of this level.
        } else if (single) {
            DecodeLeaf(part, text_.substr(pos), true);
            pos = text_.size();
            return WalkEnd::EndOfText;
        } else {
            std::size_t bodyStart = pos;
            std::size_t bodyEnd = bodyless ? pos : ScanToBoundary(pos);
            if (epilogue) {
                // Only text that is more than blank lines becomes a part.
                std::string_view rest = text_.substr(bodyStart, bodyEnd - bodyStart);
                if (rest.find_first_not_of(" \t\n") != std::string_view::npos) {
                    DecodeLeaf(part, rest, false);
                }
                epilogue = false;
            } else {
                DecodeLeaf(part, text_.substr(bodyStart, bodyEnd - bodyStart), false);
            }
        }
        // pos is at a boundary line (or the end of the text).
        if (pos >= text_.size()) {
            return WalkEnd::EndOfText;
        }
        std::size_t after = pos;
        bool closing = false;
        int level = MatchBoundary(TakeLine(text_, after), closing);
        if (level < 0) {
            return WalkEnd::EndOfText;  // not reached: ScanToBoundary stops at boundaries
        }
        if (static_cast<std::size_t>(level) + 1 != myLevel) {
            hitLevel = static_cast<std::size_t>(level);
            return WalkEnd::Ancestor;  // an outer level's boundary: leave it to that level
        }
        pos = after;
        if (closing) {
            return WalkEnd::Closed;
        }
    }
}

void Parser::Run(std::string_view text) {
    std::string storage;
    text_ = NormaliseText(text, storage);
    std::size_t pos = 0;
    if (IsMboxEnvelopeLine(text_)) {
        TakeLine(text_, pos);  // the mailbox's separator, not a header field
    }

    while (pos < text_.size() && text_[pos] != '\n') {
        HeaderLine(UnfoldStoredField(text_, pos, cp_));
    }
    if (pos < text_.size()) {
        ++pos;  // the empty line
    }
    const std::size_t bodyStart = pos;

    bool shown = IsShownTextType(message_.contentType, message_.contentSubtype, types_) ||
                 (EqualNoCase(message_.contentType, "application") &&
                  EqualNoCase(message_.contentSubtype, "pgp"));
    const bool encoded = EqualNoCase(message_.transferEncoding, "base64") ||
                         EqualNoCase(message_.transferEncoding, "quoted-printable");
    if (!toSplit_ && !message_.decoded && (!shown || encoded)) {
        if (EqualNoCase(message_.contentType, "application") &&
            EqualNoCase(message_.contentSubtype, "x-www-form-urlencoded")) {
            for (const std::string& line : DecodeFormData(text_.substr(bodyStart))) {
                message_.AddBodyLine(line);
            }
        } else {
            std::size_t start = 0;
            std::size_t unused = 0;
            DecodeParts(start, true, 1, unused);
        }
        message_.decoded = true;
    } else if (toSplit_ && !message_.decoded) {
        boundaries_.push_back(message_.boundary);
        while (pos < text_.size()) {
            std::string_view line = TakeLine(text_, pos);
            bool closing = false;
            if (MatchBoundary(line, closing) == 0) {
                if (!closing) {
                    std::size_t unused = 0;
                    DecodeParts(pos, false, 1, unused);
                }
                message_.decoded = true;
                AddRawRest(pos);  // the epilogue
                break;
            }
            if (options_.autoWrap && line.size() + 1 >= kAutoWrapFrom) {
                AutoWrapLine(message_, line, options_.breakSets, cp_);
            } else {
                message_.AddBodyLine(line);
            }
        }
        boundaries_.clear();
    } else {
        // A plain body. Raw text from outside is read in its declared
        // charset once; the decoded flag then keeps later parses from
        // converting it again.
        const bool convert =
            !message_.decoded && shown && PlainBodyNeedsConversion(bodyCharset_, cp_);
        const bool wrap = options_.autoWrap && !message_.decoded;
        if (convert) {
            // One conversion for the whole body: a converter per line costs
            // more than the text.
            AddShownText(ShownTextToWorking(text_.substr(pos), bodyCharset_, cp_));
            pos = text_.size();
        }
        while (pos < text_.size()) {
            std::string_view line = TakeLine(text_, pos);
            if (wrap && line.size() + 1 >= kAutoWrapFrom) {
                AutoWrapLine(message_, line, options_.breakSets, cp_);
            } else {
                message_.AddBodyLine(line);
            }
        }
        if (convert) {
            message_.decoded = true;
        }
    }

    ShowRenderedHtml();
    if (!result_.storedAttachments) {
        DecodeTextEncodedAttachments(message_, types_, attachDir_, options_.prompt,
                                     result_.createdFiles);
    }
    if (message_.bodyLineCount == 0) {
        message_.AddBodyLine("");
    }
    if (message_.status.find('R') != std::string::npos) {
        message_.read = true;
    }
    message_.bodyLoaded = true;
    result_.limitReached = limitHit_;
}

void ResetMessage(MailMessage& m) {
    m.bodyLineCount = 0;
    m.otherHeaderCount = 0;
    m.priority = 3;
    m.decoded = false;
    m.replied = false;
    m.renderedFromHtml = false;
    m.read = false;
    m.subject.clear();
    m.from.clear();
    m.to.clear();
    m.date.clear();
    m.cc.clear();
    m.replyTo.clear();
    m.bcc.clear();
    m.resentFrom.clear();
    m.resentTo.clear();
    m.resentCc.clear();
    m.resentReplyTo.clear();
    m.resentBcc.clear();
    m.resentDate.clear();
    m.hasResent = false;
    m.parentReference.clear();
    m.messageId.clear();
    m.status.clear();
    m.otherHeaders.clear();
    m.otherHeadersLoaded = true;
    m.contentType = "text";
    m.contentSubtype = "plain";
    m.transferEncoding = "7bit";
    m.boundary.clear();
    m.attachments.clear();
    m.bodyLines.Clear();
}

}  // namespace

std::filesystem::path ParseOptions::AttachmentDirectory() const {
    return attachmentDirectory.empty() ? mailboxDirectory / "Attach" : attachmentDirectory;
}

ParseResult ParseMessage(MailMessage& message, std::string_view text, const ParseOptions& options) {
    ParseResult result;
    ResetMessage(message);
    Parser parser(message, options, result);
    parser.Run(text);
    return result;
}

}  // namespace corvina
