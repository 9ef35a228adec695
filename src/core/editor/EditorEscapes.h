#pragma once
// The escaped form of strings that may hold control characters: the search
// and replace strings are kept and shown this way ("\t" for a TAB, "\n"
// for a line end), and "WordPaste" decodes them again. Both directions
// step over whole characters of the code page, so a trail byte that
// happens to be "\" is never taken for an escape.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;

// At most this many bytes of escaped text are produced.
inline constexpr std::size_t kMaxEscapedBytes = 255;

// "\a" "\b" "\t" "\n" "\v" "\f" "\r" "\e" for 7-13 and 27, "\\" for "\",
// "\xhh" for the other bytes below 32; a CR directly before an LF is
// dropped. Stops before an escape or character that would pass
// kMaxEscapedBytes.
std::string EscapeText(std::string_view text, const CodePage& codePage);

// After "\" (letter case ignored): "0" NUL, "a" "b" "e" "f" "n" "r" "t"
// "v" their control bytes, "x" and two hex digits that byte ("x" without
// them stands for "x"); any other character stands for itself, and a "\"
// at the end is dropped.
std::string UnescapeText(std::string_view text, const CodePage& codePage);

}  // namespace corvina
