#include "message/Address.h"

#include "common/CodePage.h"

namespace corvina {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r' || s.front() == '\n')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

// Bytes of the character at i: 2 for a double-byte character of a DBCS
// code page, else 1. A trail byte may look like '\' (0x5C) or '|'.
std::size_t Step(std::string_view s, std::size_t i, const CodePage& cp) {
    if (cp.IsDbcs() && cp.IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
        return 2;
    }
    return 1;
}

// The first "<" outside double quotes (the first "<" at all when every one
// is quoted). Inside quotes a backslash escapes the next character.
std::size_t FindAngle(std::string_view s, const CodePage& cp) {
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); i += Step(s, i, cp)) {
        if (s[i] == '"') {
            quoted = !quoted;
        } else if (quoted && s[i] == '\\' && i + 1 < s.size()) {
            ++i;
        } else if (s[i] == '<' && !quoted) {
            return i;
        }
    }
    return s.find('<');
}

bool HoldsSpecial(std::string_view name, const CodePage& cp) {
    for (std::size_t i = 0; i < name.size(); i += Step(name, i, cp)) {
        if (Step(name, i, cp) == 1 &&
            kDisplayNameSpecials.find(name[i]) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string UnquotePhrase(std::string_view phrase, const CodePage& cp) {
    std::string name;
    bool quoted = false;
    for (std::size_t i = 0; i < phrase.size();) {
        std::size_t step = Step(phrase, i, cp);
        if (step == 1 && phrase[i] == '"') {
            quoted = !quoted;
            ++i;
            continue;
        }
        if (step == 1 && quoted && phrase[i] == '\\' && i + 1 < phrase.size()) {
            ++i;
            step = Step(phrase, i, cp);
        }
        name.append(phrase.substr(i, step));
        i += step;
    }
    return std::string(Trim(name));
}

AddressTokenizer::AddressTokenizer(std::string_view list)
    : AddressTokenizer(list, CodePage::Working()) {}

AddressTokenizer::AddressTokenizer(std::string_view list, const CodePage& cp)
    : list_(list), cp_(&cp) {}

std::optional<std::string> AddressTokenizer::Next() {
    std::optional<Range> range = NextRange();
    if (!range) {
        return std::nullopt;
    }
    return list_.substr(range->start, range->length);
}

std::optional<AddressTokenizer::Range> AddressTokenizer::NextRange() {
    const std::size_t n = list_.size();
    while (!done_) {
        while (pos_ < n && (list_[pos_] == ' ' || list_[pos_] == ',')) {
            ++pos_;
        }
        if (pos_ < n && list_[pos_] == '(') {
            std::size_t close = list_.find(')', pos_ + 1);
            if (close == std::string::npos) {
                done_ = true;  // the list ends inside the comment
                break;
            }
            pos_ = close + 1;
            continue;
        }
        break;
    }
    if (done_ || pos_ >= n) {
        done_ = true;
        return std::nullopt;
    }
    const std::size_t start = pos_;
    bool quoted = false;
    std::size_t i = pos_;
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(list_[i]);
        if (cp_->IsDbcs() && cp_->IsLeadByte(c)) {
            i += 2;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && quoted) {
            // An escaped quote or comma stays inside the name.
            i += 1 + (i + 1 < n ? Step(list_, i + 1, *cp_) : 0);
            continue;
        } else if (c == '(' && !quoted) {
            std::size_t close = list_.find(')', i + 1);
            i = close == std::string::npos ? n : close + 1;
            continue;
        } else if (c == ',' && !quoted) {
            pos_ = i + 1;
            return Range{start, i - start};
        }
        ++i;
    }
    done_ = true;
    pos_ = n;
    if (start >= n) {
        return std::nullopt;
    }
    return Range{start, n - start};
}

namespace {
thread_local std::optional<AddressTokenizer> tThreadTokenizer;
}

std::optional<std::string> NextAddressToken(std::string_view list) {
    tThreadTokenizer.emplace(list);
    return tThreadTokenizer->Next();
}

std::optional<std::string> NextAddressToken() {
    if (!tThreadTokenizer) {
        return std::nullopt;
    }
    return tThreadTokenizer->Next();
}

NameAddress SplitNameAddress(std::string_view text) {
    return SplitNameAddress(text, CodePage::Working());
}

NameAddress SplitNameAddress(std::string_view text, const CodePage& cp) {
    NameAddress result;
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    std::size_t angle = FindAngle(text, cp);
    if (angle != std::string_view::npos) {
        std::size_t close = text.find('>', angle + 1);
        result.address = std::string(text.substr(angle + 1, close == std::string_view::npos
                                                                ? std::string_view::npos
                                                                : close - angle - 1));
        result.name = UnquotePhrase(text.substr(0, angle), cp);
        return result;
    }
    std::size_t paren = text.find('(');
    if (paren != std::string_view::npos) {
        std::size_t end = text.find_first_of("\")", paren + 1);
        result.name = std::string(text.substr(
            paren + 1, end == std::string_view::npos ? std::string_view::npos : end - paren - 1));
        result.address = std::string(Trim(text.substr(0, paren)));
        return result;
    }
    result.address = std::string(Trim(text));
    return result;
}

std::string AddressOf(std::string_view text) {
    return SplitNameAddress(text).address;
}

std::string QuoteDisplayName(std::string_view name, const CodePage& cp) {
    if (!HoldsSpecial(name, cp)) {
        return std::string(name);
    }
    std::string out = "\"";
    for (std::size_t i = 0; i < name.size();) {
        std::size_t step = Step(name, i, cp);
        if (step == 1 && (name[i] == '"' || name[i] == '\\')) {
            out += '\\';
        }
        out.append(name.substr(i, step));
        i += step;
    }
    out += '"';
    return out;
}

std::string QuoteDisplayName(std::string_view name) {
    return QuoteDisplayName(name, CodePage::Working());
}

std::string FormatNameAddress(std::string_view name, std::string_view address) {
    if (name.empty()) {
        return std::string(address);
    }
    return QuoteDisplayName(name) + " <" + std::string(address) + ">";
}

std::string FormatAddressForList(std::string_view displayName, std::string_view address) {
    if (!displayName.empty() && displayName.front() == '"') {
        return std::string(displayName) + " <" + std::string(address) + ">";
    }
    return FormatNameAddress(displayName, address);
}

std::string FormatGroupForList(std::string_view groupName) {
    std::string out = "@\"";
    out += groupName;
    out += '"';
    return out;
}

}  // namespace corvina
