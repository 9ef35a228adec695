#pragma once
// Small helpers for byte strings. Case handling here is ASCII only and
// byte by byte: right for protocol text (header names, keywords, charset
// labels); for user text in a multi-byte code page use CodePage's folding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

constexpr char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}
constexpr char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}
constexpr bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool IsAsciiAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
// Blank, tab, CR, LF, VT, FF.
constexpr bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The value of a hexadecimal digit in either case, or -1.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// <0, 0, >0 like strcasecmp, ASCII letters folded.
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
// npos when absent.
std::size_t FindNoCase(std::string_view hay, std::string_view needle, std::size_t from = 0);

std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

// Without leading / trailing IsAsciiSpace bytes.
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);
// Without one final LF, CR LF or CR.
std::string_view StripNewline(std::string_view text);

// Pieces between separators; "a,,b" gives "a", "", "b"; "" gives one "".
std::vector<std::string_view> Split(std::string_view text, char separator);

// Like C atoi: leading whitespace, optional sign, leading digits; stops at
// the first other byte; no digits gives 0; clamped to the type's range
// instead of overflowing. *consumed (if given) gets the bytes used (0 when
// no digits).
int AtoI(std::string_view text, std::size_t* consumed = nullptr);
long long AtoLL(std::string_view text, std::size_t* consumed = nullptr);
// The whole text must be an optional sign and digits in the int range.
bool ParseInt(std::string_view text, int& value);

// printf into a new string / appended to out.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

}  // namespace corvina
