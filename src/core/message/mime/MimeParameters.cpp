#include "message/mime/MimeParameters.h"

#include <algorithm>
#include <map>

#include "common/Bytes.h"

namespace corvina {

namespace {

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
            while (i < n && value[i] != '"') {
                if (value[i] == '\\' && i + 1 < n) {
                    ++i;
                }
                text += value[i];
                ++i;
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
    std::vector<MimeParameter> params = ParseParameters(value);
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
        return out;
    }
    if (plain) {
        DecodedParameter out;
        out.bytes = std::move(*plain);
        return out;
    }
    return std::nullopt;
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
