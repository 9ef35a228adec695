#include "store/MailboxParser.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/HeaderUnfold.h"
#include "message/MailMessage.h"
#include "message/StoredForm.h"

namespace corvina {

namespace {

// Longest text of one line without its LF.
constexpr std::size_t kMaxLineText = kMaxLineBytes - 1;

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

// Lines whose value the index needs: every field but the ones only kept.
bool IndexNeedsValue(StoredField field) {
    return field != StoredField::Other && field != StoredField::Received &&
           field != StoredField::OwnOther;
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
    // The program's own files: the store's own lines are read.
    StoredFieldReader fields(mailboxDir, CodePage::Working(), true);
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
        const StoredName name = ClassifyStoredLine(line);
        const bool keep = KeepsStoredLine(name.field);
        const bool wantText = pass == HeaderPass::Index ? IndexNeedsValue(name.field) : keep;
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
                const std::string_view part = more.substr(0, kContinuationMax);
                joined.append(part);
                used = part.size();
            }
            // Pieces of an over-long continuation count against its limit.
            while (!reader.AtEnd() && reader.NextIsPiece()) {
                reader.Next(more, morePiece);
                if (wantText && used < kContinuationMax) {
                    const std::string_view part = more.substr(0, kContinuationMax - used);
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
                fields.Apply(name, joined, message);
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

}  // namespace corvina
