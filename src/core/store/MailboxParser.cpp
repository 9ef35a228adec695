#include "store/MailboxParser.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "common/Bytes.h"
#include "message/AttachmentLink.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

// Longest text of one line without its LF.
constexpr std::size_t kMaxLineText = kMaxLineBytes - 1;
// Longest part of one continuation line joined to its header line.
constexpr std::size_t kMaxContinuation = 8192;

const char* FindLineEndTail(const char* p, const char* end) {
    for (; p < end; ++p) {
        if (*p == '\n' || *p == '\r') {
            return p;
        }
    }
    return end;
}

#if defined(__x86_64__)
// First CR or LF in [p, end), or end. Most of a load is spent here, so the
// 32-byte form is used where the processor has it.
__attribute__((target("avx2"))) const char* FindLineEndAvx2(const char* p, const char* end) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    while (end - p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_or_si256(_mm256_cmpeq_epi8(v, lf), _mm256_cmpeq_epi8(v, cr))));
        if (mask != 0) {
            return p + __builtin_ctz(mask);
        }
        p += 32;
    }
    return FindLineEndTail(p, end);
}
#endif

const char* FindLineEndSse2(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        if (mask != 0) {
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
        p += 16;
    }
#endif
    return FindLineEndTail(p, end);
}

using FindLineEndFn = const char* (*)(const char*, const char*);

FindLineEndFn ChooseFindLineEnd() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) {
        return FindLineEndAvx2;
    }
#endif
    return FindLineEndSse2;
}

const FindLineEndFn FindLineEnd = ChooseFindLineEnd();

enum class BodyScan { Terminated, Continue };

#if defined(__x86_64__)
// The body pass of a load only counts lines and looks for the terminator,
// so it runs over 32-byte blocks and handles each line end with a few bit
// operations. It stops at a line start (BodyScan::Continue) wherever the
// general reader must take over: near the end of the bytes, at a lone CR or
// at an over-long line.
__attribute__((target("avx2,bmi"))) BodyScan CountBodyAvx2(const char*& at, const char* end,
                                                           int& count) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    const char* p = at;
    const char* lineStart = at;
    while (end - p > 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        std::uint64_t lfMask =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, lf)));
        const std::uint64_t crMask =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, cr)));
        if (crMask != 0) {
            const std::uint64_t following = lfMask | (p[32] == '\n' ? (1ull << 32) : 0);
            if ((crMask << 1) & ~following) {
                break;  // a lone CR ends a line too: the general reader knows
            }
        }
        while (lfMask != 0) {
            const char* nl = p + __builtin_ctzll(lfMask);
            lfMask &= lfMask - 1;
            std::size_t length = static_cast<std::size_t>(nl - lineStart);
            if (length > 0 && nl[-1] == '\r') {
                --length;
            }
            if (length > kMaxLineText) {
                at = lineStart;
                return BodyScan::Continue;
            }
            if (length == 1 && *lineStart == '.') {
                at = nl + 1;
                return BodyScan::Terminated;
            }
            ++count;
            lineStart = nl + 1;
        }
        p += 32;
        if (static_cast<std::size_t>(p - lineStart) > kMaxLineText + 1) {
            break;
        }
    }
    at = lineStart;
    return BodyScan::Continue;
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
#endif

enum class HeaderKind {
    Other,
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
    ResentOther,
    MarloAttachment,
    MarloDecoded,
    MarloReply,
    MarloEncoding,
    MarloOther,
    Priority,
    ContentType,
    TransferEncoding,
    MessageId,
    InReplyTo,
    References,
};

struct Classified {
    HeaderKind kind;
    std::size_t nameLength;  // up to and including the colon; 0 when none
};

// Case-insensitive test of a header name; `name` is ASCII.
bool Prefix(std::string_view line, std::string_view name) {
    if (line.size() < name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (AsciiLower(line[i]) != AsciiLower(name[i])) {
            return false;
        }
    }
    return true;
}

// The name table in its order; the first match wins. Dispatching on the
// first letter keeps the common case (Received, DKIM-Signature...) cheap.
Classified Classify(std::string_view line) {
    if (line.empty()) {
        return {HeaderKind::Other, 0};
    }
    switch (AsciiLower(line[0])) {
        case 'r':
            if (Prefix(line, "Received:"))
                return {HeaderKind::Received, 9};
            if (Prefix(line, "Reply-To:"))
                return {HeaderKind::ReplyTo, 9};
            if (Prefix(line, "Resent-")) {
                if (Prefix(line, "Resent-From:"))
                    return {HeaderKind::ResentFrom, 12};
                if (Prefix(line, "Resent-To:"))
                    return {HeaderKind::ResentTo, 10};
                if (Prefix(line, "Resent-Date:"))
                    return {HeaderKind::ResentDate, 12};
                if (Prefix(line, "Resent-Cc:"))
                    return {HeaderKind::ResentCc, 10};
                if (Prefix(line, "Resent-Bcc:"))
                    return {HeaderKind::ResentBcc, 11};
                if (Prefix(line, "Resent-Reply-To:"))
                    return {HeaderKind::ResentReplyTo, 16};
                return {HeaderKind::ResentOther, 0};
            }
            if (Prefix(line, "References:"))
                return {HeaderKind::References, 11};
            break;
        case 'f':
            if (Prefix(line, "From:"))
                return {HeaderKind::From, 5};
            break;
        case 't':
            if (Prefix(line, "To:"))
                return {HeaderKind::To, 3};
            break;
        case 's':
            if (Prefix(line, "Subject:"))
                return {HeaderKind::Subject, 8};
            if (Prefix(line, "Status:"))
                return {HeaderKind::Status, 7};
            break;
        case 'd':
            if (Prefix(line, "Date:"))
                return {HeaderKind::Date, 5};
            break;
        case 'c':
            if (Prefix(line, "Cc:"))
                return {HeaderKind::Cc, 3};
            if (Prefix(line, "Content-Type:"))
                return {HeaderKind::ContentType, 13};
            if (Prefix(line, "Content-Transfer-Encoding:"))
                return {HeaderKind::TransferEncoding, 26};
            break;
        case 'b':
            if (Prefix(line, "Bcc:"))
                return {HeaderKind::Bcc, 4};
            break;
        case 'x':
            if (Prefix(line, "X-Marlo-")) {
                if (Prefix(line, "X-Marlo-Attachment-File:"))
                    return {HeaderKind::MarloAttachment, 24};
                if (Prefix(line, "X-Marlo-Decorded:"))
                    return {HeaderKind::MarloDecoded, 17};
                if (Prefix(line, "X-Marlo-Reply:"))
                    return {HeaderKind::MarloReply, 14};
                if (Prefix(line, "X-Marlo-Encoding:"))
                    return {HeaderKind::MarloEncoding, 17};
                return {HeaderKind::MarloOther, 0};
            }
            if (Prefix(line, "X-Priority:"))
                return {HeaderKind::Priority, 11};
            break;
        case 'm':
            if (Prefix(line, "Message-Id:"))
                return {HeaderKind::MessageId, 11};
            break;
        case 'i':
            if (Prefix(line, "In-Reply-To:"))
                return {HeaderKind::InReplyTo, 12};
            break;
        default:
            break;
    }
    return {HeaderKind::Other, 0};
}

// Lines that belong to the other-header list.
bool KeepsLine(HeaderKind kind) {
    switch (kind) {
        case HeaderKind::Other:
        case HeaderKind::Received:
        case HeaderKind::ReplyTo:
        case HeaderKind::ResentReplyTo:
        case HeaderKind::ResentOther:
        case HeaderKind::MarloOther:
        case HeaderKind::ContentType:
        case HeaderKind::TransferEncoding:
        case HeaderKind::MessageId:
        case HeaderKind::InReplyTo:
        case HeaderKind::References:
            return true;
        default:
            return false;
    }
}

// Lines whose value the index needs.
bool IndexNeedsValue(HeaderKind kind) {
    return kind != HeaderKind::Other && kind != HeaderKind::Received &&
           kind != HeaderKind::MarloOther;
}

std::string_view ValueOf(std::string_view line, std::size_t nameLength) {
    std::string_view value = line.substr(std::min(nameLength, line.size()));
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    return value;
}

bool EndsWord(char c) {
    return c == ' ' || c == ';' || c == '\t';
}

void ParseContentType(std::string_view value, MailMessage& message) {
    std::size_t i = 0;
    while (i < value.size() && value[i] != '/' && !EndsWord(value[i])) {
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
    while (i < value.size() && !EndsWord(value[i])) {
        ++i;
    }
    message.contentSubtype.assign(value.substr(subStart, i - subStart));
    if (!EqualNoCase(type, "multipart")) {
        return;
    }
    // Only a first parameter named "boundary" counts.
    while (i < value.size() && (EndsWord(value[i]))) {
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
        while (end < rest.size() && !EndsWord(rest[end])) {
            ++end;
        }
        message.boundary.assign(rest.substr(0, end));
    }
}

void ApplyIndexLine(HeaderKind kind, std::string_view value, MailMessage& m,
                    const std::filesystem::path& mailboxDir) {
    switch (kind) {
        case HeaderKind::From:
            m.from.assign(value);
            break;
        case HeaderKind::To:
            m.to.assign(value);
            break;
        case HeaderKind::Subject:
            m.subject.assign(value);
            break;
        case HeaderKind::Date:
            m.date.assign(value);
            break;
        case HeaderKind::Status:
            m.status.assign(value);
            break;
        case HeaderKind::Cc:
            m.cc.assign(value);
            break;
        case HeaderKind::Bcc:
            m.bcc.assign(value);
            break;
        case HeaderKind::ReplyTo:
            m.replyTo.assign(value);
            break;
        case HeaderKind::ResentFrom:
            m.hasResent = true;
            m.resentFrom.assign(value);
            break;
        case HeaderKind::ResentTo:
            m.hasResent = true;
            m.resentTo.assign(value);
            break;
        case HeaderKind::ResentDate:
            m.hasResent = true;
            m.resentDate.assign(value);
            break;
        case HeaderKind::ResentCc:
            m.hasResent = true;
            m.resentCc.assign(value);
            break;
        case HeaderKind::ResentBcc:
            m.hasResent = true;
            m.resentBcc.assign(value);
            break;
        case HeaderKind::ResentReplyTo:
            m.hasResent = true;
            m.resentReplyTo.assign(value);
            break;
        case HeaderKind::ResentOther:
            m.hasResent = true;
            break;
        case HeaderKind::MarloAttachment: {
            AttachmentEntry entry;
            entry.path = AttachmentLinkPath(value, mailboxDir);
            m.attachments.push_back(std::move(entry));
            break;
        }
        case HeaderKind::MarloDecoded:
            m.decoded = true;
            break;
        case HeaderKind::MarloReply:
            m.replied = true;
            break;
        case HeaderKind::MarloEncoding:
            m.encoding = AtoI(value);
            break;
        case HeaderKind::Priority: {
            const int p = AtoI(value);
            m.priority = p == 0 ? 3 : p;
            break;
        }
        case HeaderKind::ContentType:
            ParseContentType(value, m);
            break;
        case HeaderKind::TransferEncoding:
            m.transferEncoding.assign(Trim(value));
            break;
        case HeaderKind::MessageId:
            m.messageId.assign(TrimRight(value));
            break;
        case HeaderKind::InReplyTo:
            if (m.parentReference.empty()) {
                m.parentReference = ReferenceFromValue(value, false);
            }
            break;
        case HeaderKind::References:
            m.parentReference = ReferenceFromValue(value, true);
            break;
        default:
            break;
    }
}

bool IsBlank(int b) {
    return b == ' ' || b == '\t';
}

}  // namespace

bool MailboxLineReader::Next(std::string_view& line, bool& piece) {
    if (p_ >= end_) {
        return false;
    }
    piece = nextIsPiece_;
    nextIsPiece_ = false;
    const std::size_t left = static_cast<std::size_t>(end_ - p_);
    const char* window = p_ + std::min(left, kMaxLineText + 1);
    const char* q = FindLineEnd(p_, window);
    if (q < window) {
        line = std::string_view(p_, static_cast<std::size_t>(q - p_));
        p_ = (*q == '\r' && q + 1 < end_ && q[1] == '\n') ? q + 2 : q + 1;
    } else if (left <= kMaxLineText) {
        line = std::string_view(p_, left);  // last line without a line end
        p_ = end_;
    } else {
        line = std::string_view(p_, kMaxLineText);
        p_ += kMaxLineText;
        nextIsPiece_ = true;
    }
    return true;
}

bool ReadMessageHeader(MailboxLineReader& reader, MailMessage& message,
                       const std::filesystem::path& mailboxDir, HeaderPass pass) {
    std::string joined;
    std::string_view line;
    bool piece = false;
    for (;;) {
        if (!reader.Next(line, piece)) {
            return false;
        }
        if (line.empty()) {
            return true;
        }
        const Classified c = Classify(line);
        const bool keep = KeepsLine(c.kind);
        const bool wantText = pass == HeaderPass::Index ? IndexNeedsValue(c.kind) : keep;
        if (wantText) {
            joined.assign(line);
        }
        // Pieces of an over-long header line belong to it; a line starting
        // with a blank or tab continues it.
        for (;;) {
            std::string_view more;
            bool morePiece = false;
            if (reader.AtEnd()) {
                break;
            }
            if (reader.NextIsPiece()) {
                reader.Next(more, morePiece);
                if (wantText) {
                    joined.append(more);
                }
                continue;
            }
            if (!IsBlank(reader.PeekByte())) {
                break;
            }
            reader.Next(more, morePiece);
            std::size_t used = 0;
            if (wantText) {
                std::size_t skip = 0;
                while (skip < more.size() && IsBlank(static_cast<unsigned char>(more[skip]))) {
                    ++skip;
                }
                more.remove_prefix(skip);
                if (more.empty() || more.front() != '=') {
                    joined.push_back(' ');
                }
                const std::string_view part = more.substr(0, kMaxContinuation);
                joined.append(part);
                used = part.size();
            }
            // Pieces of an over-long continuation count against its limit.
            while (!reader.AtEnd() && reader.NextIsPiece()) {
                reader.Next(more, morePiece);
                if (wantText && used < kMaxContinuation) {
                    const std::string_view part = more.substr(0, kMaxContinuation - used);
                    joined.append(part);
                    used += part.size();
                }
            }
        }
        if (pass == HeaderPass::Index) {
            if (keep) {
                ++message.otherHeaderCount;
            }
            if (wantText) {
                ApplyIndexLine(c.kind, ValueOf(joined, c.nameLength), message, mailboxDir);
            }
        } else if (keep) {
            message.otherHeaders.push_back(joined);
        }
    }
}

bool SkipMessageHeader(MailboxLineReader& reader) {
    std::string_view line;
    bool piece = false;
    while (reader.Next(line, piece)) {
        if (line.empty() && !piece) {
            return true;
        }
    }
    return false;
}

bool CountMessageBody(MailboxLineReader& reader, int& lineCount) {
#if defined(__x86_64__)
    if (kHaveAvx2 && !reader.NextIsPiece()) {
        const char* at = reader.Position();
        if (CountBodyAvx2(at, reader.End(), lineCount) == BodyScan::Terminated) {
            reader.SetLineStart(at);
            return true;
        }
        reader.SetLineStart(at);
    }
#endif
    std::string_view line;
    bool piece = false;
    while (reader.Next(line, piece)) {
        if (line.size() == 1 && line[0] == '.' && !piece) {
            return true;
        }
        ++lineCount;
    }
    return false;
}

bool ReadMessageBody(MailboxLineReader& reader, MailMessage& message) {
    std::string_view line;
    bool piece = false;
    while (reader.Next(line, piece)) {
        if (!piece && line.size() <= 2 && !line.empty() && line[0] == '.') {
            if (line.size() == 1) {
                return true;
            }
            if (line[1] == '.') {
                line = line.substr(0, 1);
            }
        }
        message.bodyLineCount += static_cast<int>(message.bodyLines.Append(line));
    }
    return false;
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
