#include "message/QuotedPrintable.h"

#include <cstring>

#include "common/Bytes.h"

namespace corvina {

namespace {

// Whether the "=" at `eq` (before `end`, the line's LF or its last byte)
// is a soft break: the last or next-to-last byte of the line, or followed
// only by blanks and CR (padding some senders leave).
bool IsSoftBreak(const char* eq, const char* end) {
    if (end - eq <= 2) {
        return true;
    }
    for (const char* k = eq + 1; k < end; ++k) {
        if (*k != ' ' && *k != '\t' && *k != '\r') {
            return false;
        }
    }
    return true;
}

// Decodes one line [p, lineEnd) (plus its LF at lineEnd when `withLf`) into
// `out`, which has room for every byte of it. Returns the end of the
// written bytes; `soft` tells that the line ended in a soft break.
char* DecodeLineInto(const char* p, const char* lineEnd, bool withLf, char* out, bool& soft) {
    soft = false;
    while (p < lineEnd) {
        // Literal bytes are copied in runs up to the next "=".
        const char* eq = static_cast<const char*>(std::memchr(p, '=', lineEnd - p));
        const char* runEnd = eq ? eq : lineEnd;
        std::memcpy(out, p, runEnd - p);
        out += runEnd - p;
        p = runEnd;
        if (eq == nullptr) {
            break;
        }
        if (IsSoftBreak(eq, lineEnd)) {
            soft = true;
            return out;
        }
        const int hi = HexDigitValue(eq[1]);
        const int lo = HexDigitValue(eq[2]);
        if (hi >= 0 && lo >= 0) {
            *out++ = static_cast<char>(hi * 16 + lo);
            p = eq + 3;
        } else {
            *out++ = '=';
            p = eq + 1;
        }
    }
    if (withLf) {
        *out++ = '\n';
    }
    return out;
}

}  // namespace

std::string QpEncodeLine(std::string_view line) {
    // RFC 2045 asks for upper-case hexadecimal digits.
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(line.size() + line.size() / 8 + 8);
    int column = 0;
    for (unsigned char c : line) {
        bool copied = c == 9 || (c >= 32 && c <= 60) || (c >= 62 && c <= 127);
        if (column > (copied ? 74 : 72)) {
            out += "=\r\n";
            column = 0;
        }
        if (copied) {
            out += static_cast<char>(c);
            column += 1;
        } else {
            out += '=';
            out += kHex[c >> 4];
            out += kHex[c & 15];
            column += 3;
        }
    }
    return out;
}

QpDecodedLine QpDecodeLine(std::string_view line) {
    QpDecodedLine result;
    const char* begin = line.data();
    const char* lf = static_cast<const char*>(std::memchr(begin, '\n', line.size()));
    const char* lineEnd = lf ? lf : begin + line.size();
    result.bytes.resize(line.size());
    char* out = result.bytes.data();
    char* written = DecodeLineInto(begin, lineEnd, lf != nullptr, out, result.softBreak);
    if (!result.softBreak && lf != nullptr) {
        // Bytes after the LF (not normally there) are copied as they are.
        const std::size_t rest = begin + line.size() - (lf + 1);
        std::memcpy(written, lf + 1, rest);
        written += rest;
    }
    result.bytes.resize(static_cast<std::size_t>(written - out));
    return result;
}

namespace {

// The decoder under QpDecodeBody and QpDecodeText: the logical lines of the
// text one after another, each capped at kQpMaxLogicalLine bytes (its LF
// included). `lineEnds`, when given, receives where each logical line ends.
std::string DecodeLogicalLines(std::string_view text, std::vector<std::size_t>* lineEnds) {
    std::string out;
    // Decoding never makes text longer: one allocation for the whole body.
    out.resize(text.size());
    char* const base = out.data();
    char* o = base;
    std::size_t logicalStart = 0;
    bool soft = false;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        const char* lineEnd = lf ? lf : end;
        o = DecodeLineInto(p, lineEnd, lf != nullptr, o, soft);
        p = lf ? lf + 1 : end;
        if (static_cast<std::size_t>(o - base) - logicalStart > kQpMaxLogicalLine) {
            // Cut; a finished line keeps its LF so it does not run into the next.
            const bool ended = !soft && lf != nullptr;
            o = base + logicalStart + kQpMaxLogicalLine - (ended ? 1 : 0);
            if (ended) {
                *o++ = '\n';
            }
        }
        if (!soft) {
            logicalStart = static_cast<std::size_t>(o - base);
            if (lineEnds) {
                lineEnds->push_back(logicalStart);
            }
        }
    }
    if (soft && lineEnds) {
        lineEnds->push_back(static_cast<std::size_t>(o - base));
    }
    out.resize(static_cast<std::size_t>(o - base));
    return out;
}

}  // namespace

std::string QpDecodeBody(std::string_view text) {
    return DecodeLogicalLines(text, nullptr);
}

std::vector<std::string> QpDecodeText(std::string_view text) {
    std::vector<std::size_t> ends;
    const std::string joined = DecodeLogicalLines(text, &ends);
    std::vector<std::string> lines;
    lines.reserve(ends.size());
    std::size_t start = 0;
    for (std::size_t e : ends) {
        lines.emplace_back(joined, start, e - start);
        start = e;
    }
    return lines;
}

}  // namespace corvina
