#include "message/QuotedPrintable.h"

#include <cstring>

#include "common/Bytes.h"

namespace corvina {

namespace {

}  // namespace

std::string QpEncodeLine(std::string_view line) {
    static constexpr char kHex[] = "0123456789abcdef";
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
    std::string& out = result.bytes;
    out.reserve(line.size());
    std::size_t end = line.find('\n');
    if (end == std::string_view::npos) {
        end = line.size();
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        // Copy up to the next "=" in one piece: most bytes are literal.
        const void* eq = i < end ? std::memchr(line.data() + i, '=', end - i) : nullptr;
        const std::size_t at = eq ? static_cast<const char*>(eq) - line.data() : line.size();
        out.append(line.data() + i, at - i);
        i = at;
        if (i >= line.size()) {
            break;
        }
        // A soft break: "=" as the last or next-to-last byte, or followed
        // only by blanks and CR (padding some senders leave).
        bool soft = end - i <= 2;
        if (!soft) {
            soft = true;
            for (std::size_t k = i + 1; k < end; ++k) {
                if (line[k] != ' ' && line[k] != '\t' && line[k] != '\r') {
                    soft = false;
                    break;
                }
            }
        }
        if (soft) {
            result.softBreak = true;
            return result;
        }
        int hi = HexDigitValue(line[i + 1]);
        int lo = HexDigitValue(line[i + 2]);
        if (hi >= 0 && lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += '=';
        }
    }
    return result;
}

std::vector<std::string> QpDecodeText(std::string_view text) {
    std::vector<std::string> lines;
    std::string logical;
    bool joining = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
        QpDecodedLine d = QpDecodeLine(text.substr(pos, next - pos));
        pos = next;
        if (logical.size() < kQpMaxLogicalLine) {
            logical.append(d.bytes, 0, kQpMaxLogicalLine - logical.size());
        }
        joining = d.softBreak;
        if (!joining) {
            lines.push_back(std::move(logical));
            logical.clear();
        }
    }
    if (joining) {
        lines.push_back(std::move(logical));
    }
    return lines;
}

}  // namespace corvina
