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

// The first "<" outside double quotes (the first "<" at all when every one
// is quoted).
std::size_t FindAngle(std::string_view s) {
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') {
            quoted = !quoted;
        } else if (s[i] == '<' && !quoted) {
            return i;
        }
    }
    return s.find('<');
}

}  // namespace

AddressTokenizer::AddressTokenizer(std::string_view list)
    : AddressTokenizer(list, CodePage::Working()) {}

AddressTokenizer::AddressTokenizer(std::string_view list, const CodePage& cp)
    : list_(list), cp_(&cp) {}

std::optional<std::string> AddressTokenizer::Next() {
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
        } else if (c == '(' && !quoted) {
            std::size_t close = list_.find(')', i + 1);
            i = close == std::string::npos ? n : close + 1;
            continue;
        } else if (c == ',' && !quoted) {
            pos_ = i + 1;
            return list_.substr(start, i - start);
        }
        ++i;
    }
    done_ = true;
    pos_ = n;
    std::string rest = list_.substr(start);
    if (rest.empty()) {
        return std::nullopt;
    }
    return rest;
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
    NameAddress result;
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    std::size_t angle = FindAngle(text);
    if (angle != std::string_view::npos) {
        std::size_t close = text.find('>', angle + 1);
        result.address = std::string(text.substr(angle + 1, close == std::string_view::npos
                                                                ? std::string_view::npos
                                                                : close - angle - 1));
        if (angle > 0) {
            std::string_view before = text.substr(0, angle);
            std::size_t b = 0;
            while (b < before.size() && before[b] == '"') {
                ++b;
            }
            std::size_t e = b;
            while (e < before.size() && before[e] != '"' && before[e] != '<') {
                ++e;
            }
            result.name = std::string(Trim(before.substr(b, e - b)));
        }
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

std::string FormatAddressForList(std::string_view displayName, std::string_view address) {
    if (displayName.empty()) {
        return std::string(address);
    }
    std::string out;
    bool quote = displayName.front() != '"' &&
                 displayName.find_first_of(",<>():;@/?+*|") != std::string_view::npos;
    if (quote) {
        out += '"';
    }
    out += displayName;
    if (quote) {
        out += '"';
    }
    out += " <";
    out += address;
    out += '>';
    return out;
}

std::string FormatGroupForList(std::string_view groupName) {
    std::string out = "@\"";
    out += groupName;
    out += '"';
    return out;
}

}  // namespace corvina
