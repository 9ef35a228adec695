#include "editor/EditorEscapes.h"

#include <algorithm>
#include <cctype>

#include "common/Bytes.h"
#include "common/CodePage.h"

namespace corvina {
namespace {

// The escape letter of a control byte, or 0 when it is written as "\xhh".
char EscapeLetter(unsigned char byte) {
    switch (byte) {
        case 7:
            return 'a';
        case 8:
            return 'b';
        case 9:
            return 't';
        case 10:
            return 'n';
        case 11:
            return 'v';
        case 12:
            return 'f';
        case 13:
            return 'r';
        case 27:
            return 'e';
        default:
            return 0;
    }
}

}  // namespace

std::string EscapeText(std::string_view text, const CodePage& codePage) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        const auto length = static_cast<std::size_t>(std::max(1, codePage.CharLength(text, pos)));
        const auto byte = static_cast<unsigned char>(text[pos]);
        std::string piece;
        if (length > 1) {
            piece.assign(text.substr(pos, length));
        } else if (byte == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') {
            pos += 1;
            continue;
        } else if (byte == '\\') {
            piece = "\\\\";
        } else if (byte < 32) {
            if (const char letter = EscapeLetter(byte)) {
                piece = {'\\', letter};
            } else {
                piece = {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
            }
        } else {
            piece.assign(1, static_cast<char>(byte));
        }
        if (out.size() + piece.size() > kMaxEscapedBytes) {
            break;
        }
        out += piece;
        pos += length;
    }
    return out;
}

std::string UnescapeText(std::string_view text, const CodePage& codePage) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const auto length = static_cast<std::size_t>(std::max(1, codePage.CharLength(text, pos)));
        if (length > 1 || text[pos] != '\\') {
            out.append(text.substr(pos, length));
            pos += length;
            continue;
        }
        ++pos;  // the "\"
        if (pos >= text.size()) {
            break;
        }
        const auto next = static_cast<std::size_t>(std::max(1, codePage.CharLength(text, pos)));
        if (next > 1) {
            out.append(text.substr(pos, next));
            pos += next;
            continue;
        }
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[pos])));
        ++pos;
        switch (c) {
            case '0':
                out += '\0';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'e':
                out += '\x1b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'v':
                out += '\v';
                break;
            case 'x':
                if (pos + 2 <= text.size() && HexDigitValue(text[pos]) >= 0 &&
                    HexDigitValue(text[pos + 1]) >= 0) {
                    out += static_cast<char>(HexDigitValue(text[pos]) * 16 + HexDigitValue(text[pos + 1]));
                    pos += 2;
                } else {
                    out += text[pos - 1];
                }
                break;
            default:
                out += text[pos - 1];
                break;
        }
    }
    return out;
}

}  // namespace corvina
