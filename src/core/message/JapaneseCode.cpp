#include "message/JapaneseCode.h"

#include <cstring>

#include "common/Bytes.h"
#include "common/CodePage.h"

namespace corvina {

namespace {

constexpr char kEsc = 0x1B;

// JIS X 0208 codes of the half-width katakana 0xA1-0xDF (JIS X 0201), one
// character each; the voiced-sound marks stay separate characters.
constexpr unsigned short kKatakanaWide[0xDF - 0xA1 + 1] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529,
    0x2563, 0x2565, 0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B,
    0x252D, 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541,
    0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, 0x254E, 0x254F, 0x2552, 0x2555,
    0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C};

struct CellRange {
    unsigned char first, last;
};

// Whether row/cell (1-94 each) is a character of JIS X 0208 (1990 edition).
bool IsJisX0208(int row, int cell) {
    if (cell < 1 || cell > 94) {
        return false;
    }
    auto in = [cell](std::initializer_list<CellRange> ranges) {
        for (const auto& r : ranges) {
            if (cell >= r.first && cell <= r.last) {
                return true;
            }
        }
        return false;
    };
    switch (row) {
        case 1:
            return true;
        case 2:
            return in({{1, 14}, {26, 33}, {42, 48}, {60, 74}, {82, 89}, {94, 94}});
        case 3:
            return in({{16, 25}, {33, 58}, {65, 90}});
        case 4:
            return cell <= 83;
        case 5:
            return cell <= 86;
        case 6:
            return in({{1, 24}, {33, 56}});
        case 7:
            return in({{1, 33}, {49, 81}});
        case 8:
            return cell <= 32;
        case 47:
            return cell <= 51;
        case 84:
            return cell <= 6;
        default:
            return row >= 16 && row <= 83;
    }
}

void JisPairToSjis(unsigned j1, unsigned j2, std::string& out) {
    unsigned s1 = ((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0);
    unsigned s2 = j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
    out += static_cast<char>(s1);
    out += static_cast<char>(s2);
}

// The JIS X 0208 code of a Shift_JIS pair; false when the pair has none.
bool SjisPairToJisCode(unsigned s1, unsigned s2, unsigned& code) {
    if (s2 < 0x40 || s2 > 0xFC || s2 == 0x7F) {
        return false;
    }
    unsigned row2;  // index of the row pair
    if (s1 >= 0x81 && s1 <= 0x9F) {
        row2 = s1 - 0x81;
    } else if (s1 >= 0xE0 && s1 <= 0xEF) {
        row2 = s1 - 0xC1;
    } else {
        return false;
    }
    unsigned j1 = 0x21 + row2 * 2;
    unsigned j2;
    if (s2 >= 0x9F) {
        j1 += 1;
        j2 = s2 - 0x9F + 0x21;
    } else {
        j2 = s2 - 0x40 + 0x21 - (s2 >= 0x80 ? 1 : 0);
    }
    if (!IsJisX0208(static_cast<int>(j1) - 0x20, static_cast<int>(j2) - 0x20)) {
        return false;
    }
    code = (j1 << 8) | j2;
    return true;
}

}  // namespace

bool IsJapaneseSystem(const CodePage& cp) {
    return cp.Id() == CodePage::kShiftJis;
}
bool IsJapaneseSystem() {
    return IsJapaneseSystem(CodePage::Working());
}

std::string WidenHalfWidthKatakana(unsigned char b) {
    std::string out;
    if (b >= 0xA1 && b <= 0xDF) {
        unsigned code = kKatakanaWide[b - 0xA1];
        JisPairToSjis(code >> 8, code & 0xFF, out);
    }
    return out;
}

std::string JisToSjis(std::string_view jis) {
    // Escapes are dropped and a pair stays a pair: the text never grows.
    std::string out;
    out.resize(jis.size());
    char* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(jis.data());
    const auto* const end = p + jis.size();
    bool twoByte = false;
    while (p < end) {
        if (!twoByte) {
            // One-byte mode copies everything up to the next ESC in one piece.
            const void* esc = std::memchr(p, kEsc, static_cast<std::size_t>(end - p));
            const auto* runEnd = esc ? static_cast<const unsigned char*>(esc) : end;
            std::memcpy(o, p, static_cast<std::size_t>(runEnd - p));
            o += runEnd - p;
            p = runEnd;
            if (p == end) {
                break;
            }
        }
        const unsigned c = *p;
        if (c == static_cast<unsigned char>(kEsc) && end - p > 2) {
            const unsigned char a = p[1], b = p[2];
            if (a == '$' && (b == 'B' || b == '@')) {
                twoByte = true;
                p += 3;
                continue;
            }
            if (a == '(' && (b == 'B' || b == 'J')) {
                twoByte = false;
                p += 3;
                continue;
            }
        }
        if (twoByte && end - p > 1) {
            const unsigned d = p[1];
            if (c >= 0x21 && c <= 0x7E && d >= 0x21 && d <= 0x7E) {
                *o++ = static_cast<char>(((c + 1) >> 1) + (c < 0x5F ? 0x70 : 0xB0));
                *o++ = static_cast<char>(d + ((c & 1) ? (d >= 0x60 ? 0x20 : 0x1F) : 0x7E));
                p += 2;
                continue;
            }
        }
        *o++ = static_cast<char>(c);
        ++p;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::string SjisToJis(std::string_view sjis, bool japaneseSystem) {
    std::string out;
    out.reserve(sjis.size() + 8);
    bool twoByte = false;
    auto enter = [&] {
        if (!twoByte) {
            out += "\x1B$B";
            twoByte = true;
        }
    };
    auto writePair = [&](unsigned a, unsigned c) {
        enter();
        unsigned j1 = (2 * a - (c < 0x9F ? 1 : 0) - (a < 0xA0 ? 0xE0 : 0x160)) & 0xFF;
        unsigned j2 = c - (c >= 0x9F ? 0x7E : (c >= 0x80 ? 0x20 : 0x1F));
        out += static_cast<char>(j1);
        out += static_cast<char>(j2 & 0xFF);
    };
    const std::size_t n = sjis.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned a = static_cast<unsigned char>(sjis[i]);
        bool lead = (japaneseSystem && a >= 0x81 && a <= 0x9F) || (a >= 0xE0 && a <= 0xEF);
        if (lead) {
            unsigned c = i + 1 < n ? static_cast<unsigned char>(sjis[i + 1]) : 0;
            if (i + 1 < n && c >= 0x40 && c <= 0xFC) {
                writePair(a, c);
                ++i;
            } else {
                enter();
                out += static_cast<char>(a);
            }
        } else if (japaneseSystem && a >= 0xA1 && a <= 0xDF) {
            std::string wide = WidenHalfWidthKatakana(static_cast<unsigned char>(a));
            writePair(static_cast<unsigned char>(wide[0]), static_cast<unsigned char>(wide[1]));
        } else {
            if (twoByte) {
                out += "\x1B(B";
                twoByte = false;
            }
            out += static_cast<char>(a);
        }
    }
    if (twoByte) {
        out += "\x1B(B";
    }
    return out;
}

std::string SjisToJis(std::string_view sjis) {
    return SjisToJis(sjis, IsJapaneseSystem());
}

std::string JisToWorking(std::string_view text, const CodePage& cp) {
    if (text.find(kEsc) == std::string_view::npos) {
        return std::string(text);
    }
    if (IsJapaneseSystem(cp)) {
        return JisToSjis(text);
    }
    return cp.FromCharset("ISO-2022-JP", text);
}

std::string EucToSjisLine(std::string_view line, int& errorCount) {
    std::string out;
    out.reserve(line.size());
    const std::size_t n = line.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned a = static_cast<unsigned char>(line[i]);
        if (a < 0x80) {
            out += static_cast<char>(a);
            continue;
        }
        if (a == 0x8E) {  // half-width katakana
            if (i + 1 >= n || static_cast<unsigned char>(line[i + 1]) < 0xA1 ||
                static_cast<unsigned char>(line[i + 1]) > 0xDF) {
                ++errorCount;
                return std::string(line);
            }
            out += line[++i];
            continue;
        }
        if (a == 0x8F) {  // JIS X 0212 has no Shift_JIS form
            if (i + 2 >= n || static_cast<unsigned char>(line[i + 1]) < 0xA1 ||
                static_cast<unsigned char>(line[i + 2]) < 0xA1) {
                ++errorCount;
                return std::string(line);
            }
            out += "\x81\x48";
            i += 2;
            continue;
        }
        unsigned b = i + 1 < n ? static_cast<unsigned char>(line[i + 1]) : 0;
        if (b < 0x80 ||
            !IsJisX0208(static_cast<int>(a & 0x7F) - 0x20, static_cast<int>(b & 0x7F) - 0x20)) {
            ++errorCount;
            return std::string(line);
        }
        JisPairToSjis(a & 0x7F, b & 0x7F, out);
        ++i;
    }
    return out;
}

std::string SjisToEucLine(std::string_view line, int& errorCount) {
    std::string out;
    out.reserve(line.size());
    const std::size_t n = line.size();
    for (std::size_t i = 0; i < n; ++i) {
        unsigned a = static_cast<unsigned char>(line[i]);
        if (a < 0x80) {
            out += static_cast<char>(a);
            continue;
        }
        if (a >= 0xA1 && a <= 0xDF) {
            out += '\x8E';
            out += static_cast<char>(a);
            continue;
        }
        unsigned code = 0;
        if (i + 1 >= n || !SjisPairToJisCode(a, static_cast<unsigned char>(line[i + 1]), code)) {
            ++errorCount;
            return std::string(line);
        }
        code |= 0x8080;
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
        ++i;
    }
    return out;
}

}  // namespace corvina
