#include "common/Bytes.h"

#include <climits>
#include <cstdarg>
#include <cstdio>

namespace corvina {

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(AsciiLower(a[i]));
        const unsigned char y = static_cast<unsigned char>(AsciiLower(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::size_t FindNoCase(std::string_view hay, std::string_view needle, std::size_t from) {
    if (from > hay.size() || needle.size() > hay.size() - from) {
        return std::string_view::npos;
    }
    const std::size_t last = hay.size() - needle.size();
    for (std::size_t i = from; i <= last; ++i) {
        if (EqualNoCase(hay.substr(i, needle.size()), needle)) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = AsciiLower(c);
    }
    return out;
}

std::string ToUpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = AsciiUpper(c);
    }
    return out;
}

std::string_view TrimLeft(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsAsciiSpace(text[i])) {
        ++i;
    }
    return text.substr(i);
}

std::string_view TrimRight(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && IsAsciiSpace(text[n - 1])) {
        --n;
    }
    return text.substr(0, n);
}

std::string_view Trim(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

std::string_view StripNewline(std::string_view text) {
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

long long AtoLL(std::string_view text, std::size_t* consumed) {
    std::size_t i = 0;
    while (i < text.size() && IsAsciiSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t digitsStart = i;
    // Accumulate negatively so that LLONG_MIN is reachable.
    long long value = 0;
    bool overflow = false;
    while (i < text.size() && IsAsciiDigit(text[i])) {
        const int digit = text[i] - '0';
        if (!overflow) {
            if (value < (LLONG_MIN + digit) / 10) {
                overflow = true;
            } else {
                value = value * 10 - digit;
            }
        }
        ++i;
    }
    if (consumed) {
        *consumed = i == digitsStart ? 0 : i;
    }
    if (i == digitsStart) {
        return 0;
    }
    if (overflow) {
        return negative ? LLONG_MIN : LLONG_MAX;
    }
    if (negative) {
        return value;
    }
    return value == LLONG_MIN ? LLONG_MAX : -value;
}

int AtoI(std::string_view text, std::size_t* consumed) {
    const long long value = AtoLL(text, consumed);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

bool ParseInt(std::string_view text, int& value) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    for (std::size_t j = i; j < text.size(); ++j) {
        if (!IsAsciiDigit(text[j])) {
            return false;
        }
    }
    const long long v = AtoLL(text);
    if (v > INT_MAX || v < INT_MIN) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

namespace {

void AppendV(std::string& out, const char* format, va_list args) {
    char small[256];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.append(small, static_cast<std::size_t>(n));
        return;
    }
    const std::size_t old = out.size();
    out.resize(old + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data() + old, static_cast<std::size_t>(n) + 1, format, args);
    out.resize(old + static_cast<std::size_t>(n));
}

}  // namespace

std::string Format(const char* format, ...) {
    std::string out;
    va_list args;
    va_start(args, format);
    AppendV(out, format, args);
    va_end(args);
    return out;
}

void AppendFormat(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendV(out, format, args);
    va_end(args);
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return;
    }
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

}  // namespace corvina
