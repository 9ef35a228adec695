#include "message/mime/MimeParameters.h"

#include <algorithm>
#include <map>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/HeaderWords.h"
#include "message/JapaneseCode.h"

namespace corvina {

namespace {

bool IsSjisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool IsSjisTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int follow = c < 0x80                 ? 0
                     : c >= 0xC2 && c <= 0xDF ? 1
                     : c >= 0xE0 && c <= 0xEF ? 2
                     : c >= 0xF0 && c <= 0xF4 ? 3
                                              : -1;
        if (follow < 0 || i + static_cast<std::size_t>(follow) >= text.size()) {
            return false;
        }
        for (int k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0xC0) !=
                0x80) {
                return false;
            }
        }
        i += static_cast<std::size_t>(follow) + 1;
    }
    return true;
}

bool IsValidSjis(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsSjisLead(c)) {
            if (i + 1 >= text.size() || !IsSjisTrail(static_cast<unsigned char>(text[i + 1]))) {
                return false;
            }
            ++i;
        } else if (c >= 0x80 && !(c >= 0xA1 && c <= 0xDF)) {
            return false;
        }
    }
    return true;
}

// The code page in which the raw 8-bit text of a header value is read: the
// working one, except that on UTF-8 a value that is not UTF-8 but is
// Shift_JIS came from a Japanese mailer that wrote it raw.
const CodePage& RawTextCodePage(std::string_view value, const CodePage& cp) {
    if (cp.IsUtf8() && !IsValidUtf8(value) && IsValidSjis(value)) {
        return CodePage::Get(CodePage::kShiftJis);
    }
    return cp;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = HexDigitValue(text[i + 1]);
            int lo = HexDigitValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// "name", "name*", "name*3", "name*3*" -> parts.
void SplitParameterName(std::string_view raw, MimeParameter& p) {
    size_t star = raw.find('*');
    if (star == std::string_view::npos) {
        p.name = raw;
        return;
    }
    p.name = raw.substr(0, star);
    std::string_view rest = raw.substr(star + 1);
    if (rest.empty()) {
        p.extended = true;
        return;
    }
    int number = 0;
    size_t i = 0;
    while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9' && number < 100000) {
        number = number * 10 + (rest[i] - '0');
        ++i;
    }
    if (i == 0) {
        // "name*x": not a form we know; keep the whole text as the name.
        p.name = raw;
        return;
    }
    p.section = number;
    p.extended = i < rest.size() && rest[i] == '*';
}

}  // namespace

MimeTypeName ParseContentTypeValue(std::string_view value) {
    MimeTypeName out;
    size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) {
        ++i;
    }
    size_t start = i;
    while (i < value.size() && value[i] != '/' && value[i] != ' ' && value[i] != '\t' &&
           value[i] != ';' && value[i] != '\r' && value[i] != '\n') {
        ++i;
    }
    out.type = value.substr(start, i - start);
    if (i < value.size() && value[i] == '/') {
        ++i;
        start = i;
        while (i < value.size() && value[i] != ';' && value[i] != ' ' && value[i] != '\r' &&
               value[i] != '\n' && value[i] != '\t') {
            ++i;
        }
        out.subtype = value.substr(start, i - start);
    }
    return out;
}

std::vector<MimeParameter> ParseParameters(std::string_view value) {
    return ParseParameters(value, RawTextCodePage(value, CodePage::Working()));
}

std::vector<MimeParameter> ParseParameters(std::string_view value, const CodePage& cp) {
    std::vector<MimeParameter> out;
    size_t i = value.find(';');
    if (i == std::string_view::npos) {
        return out;
    }
    const size_t n = value.size();
    while (i < n) {
        while (i < n && (value[i] == ';' || IsAsciiSpace(value[i]))) {
            ++i;
        }
        size_t nameStart = i;
        while (i < n && value[i] != '=' && value[i] != ';') {
            ++i;
        }
        if (i >= n || value[i] == ';') {
            continue;  // a bare word without "=": skipped
        }
        std::string_view rawName = Trim(value.substr(nameStart, i - nameStart));
        ++i;  // '='
        while (i < n && (value[i] == ' ' || value[i] == '\t')) {
            ++i;
        }
        std::string text;
        if (i < n && value[i] == '"') {
            ++i;
            // Character by character, so that a trail byte is never an
            // escape; an escape takes the whole character after it.
            while (i < n && value[i] != '"') {
                if (value[i] == '\\' && i + 1 < n) {
                    ++i;
                }
                const std::size_t len = static_cast<std::size_t>(cp.CharLength(value, i));
                const std::size_t take = len == 0 ? 1 : std::min(len, n - i);
                text.append(value.substr(i, take));
                i += take;
            }
            if (i < n) {
                ++i;  // closing quote
            }
            while (i < n && value[i] != ';') {
                ++i;
            }
        } else {
            size_t start = i;
            while (i < n && value[i] != ';') {
                ++i;
            }
            text = Trim(value.substr(start, i - start));
        }
        if (rawName.empty()) {
            continue;
        }
        MimeParameter p;
        SplitParameterName(rawName, p);
        p.value = std::move(text);
        out.push_back(std::move(p));
    }
    return out;
}

std::optional<std::string> FindParameter(std::string_view value, std::string_view name) {
    for (MimeParameter& p : ParseParameters(value)) {
        if (p.section < 0 && !p.extended && EqualNoCase(p.name, name)) {
            return std::move(p.value);
        }
    }
    return std::nullopt;
}

std::optional<DecodedParameter> FindExtendedParameter(std::string_view value,
                                                      std::string_view name) {
    return FindExtendedParameter(value, name, CodePage::Working());
}

std::optional<DecodedParameter> FindExtendedParameter(std::string_view value, std::string_view name,
                                                      const CodePage& cp) {
    // ISO-2022-JP cannot be read byte by byte (its two-byte characters use
    // the bytes of '"' and '\\'), so a value written in it is converted first.
    std::string converted;
    if (value.find("\x1b$") != std::string_view::npos) {
        converted = JisToWorking(value, cp);
        value = converted;
    }
    const CodePage& raw = RawTextCodePage(value, cp);
    std::vector<MimeParameter> params = ParseParameters(value, raw);
    std::optional<std::string> plain;
    const MimeParameter* single = nullptr;
    std::map<int, const MimeParameter*> sections;
    for (const MimeParameter& p : params) {
        if (!EqualNoCase(p.name, name)) {
            continue;
        }
        if (p.section >= 0) {
            sections.emplace(p.section, &p);  // first one of a number wins
        } else if (p.extended) {
            if (single == nullptr) {
                single = &p;
            }
        } else if (!plain) {
            plain = p.value;
        }
    }

    // charset'language'text -> charset and text
    auto splitExtended = [](std::string_view text, std::string& charset) {
        size_t q1 = text.find('\'');
        if (q1 == std::string_view::npos) {
            return text;
        }
        size_t q2 = text.find('\'', q1 + 1);
        if (q2 == std::string_view::npos) {
            return text;
        }
        charset = Trim(text.substr(0, q1));
        return text.substr(q2 + 1);
    };

    if (single != nullptr) {
        DecodedParameter out;
        out.extended = true;
        out.bytes = PercentDecode(splitExtended(single->value, out.charset));
        return out;
    }
    if (!sections.empty() && sections.begin()->first == 0) {
        DecodedParameter out;
        out.extended = true;
        int expected = 0;
        for (const auto& [number, p] : sections) {
            if (number != expected) {
                break;  // a gap ends the value
            }
            ++expected;
            if (p->extended) {
                std::string_view text = p->value;
                if (number == 0) {
                    text = splitExtended(text, out.charset);
                }
                out.bytes += PercentDecode(text);
            } else {
                out.bytes += p->value;
            }
        }
        if (out.charset.empty() && &raw != &cp) {
            out.charset = raw.MimeCharsetName();
        }
        return out;
    }
    if (plain) {
        DecodedParameter out;
        out.bytes = std::move(*plain);
        if (&raw != &cp) {
            out.charset = raw.MimeCharsetName();
        }
        return out;
    }
    return std::nullopt;
}

std::string ParameterText(const DecodedParameter& parameter, const CodePage& cp) {
    std::string text = parameter.bytes;
    if (!parameter.charset.empty() && !cp.IsCharsetOfW(parameter.charset) &&
        !EqualNoCase(parameter.charset, "us-ascii")) {
        text = cp.FromCharset(parameter.charset, text);
    }
    if (parameter.extended) {
        return text;
    }
    if (text.find("=?") != std::string::npos) {
        if (std::optional<std::string> decoded = DecodeHeaderWords(text, cp)) {
            text = std::move(*decoded);
        }
    }
    return text;
}

std::optional<std::string> FindBoundary(std::string_view value) {
    std::optional<std::string> b = FindParameter(value, "boundary");
    if (!b) {
        return std::nullopt;
    }
    // An unquoted boundary ends at a blank.
    size_t cut = b->find_first_of(" \t\r\n");
    if (cut != std::string::npos && value.find('"') == std::string_view::npos) {
        b->resize(cut);
    }
    return b;
}

std::optional<std::string> FindCharset(std::string_view value) {
    std::optional<std::string> c = FindParameter(value, "charset");
    if (!c) {
        return std::nullopt;
    }
    std::string out;
    for (char ch : *c) {
        if (ch != ' ' && ch != '\t' && ch != '"') {
            out += ch;
        }
    }
    return out;
}

}  // namespace corvina
