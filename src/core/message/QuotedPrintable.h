#pragma once
// Quoted-printable lines.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

// Longest logical line joined from soft breaks.
inline constexpr std::size_t kQpMaxLogicalLine = 32768;

// One body line (without its line end) as quoted-printable: bytes 9, 32-60
// and 62-127 copied, others as "=XX" with upper-case hex digits; soft breaks
// "=" CR LF keep every output line within 76 characters.
std::string QpEncodeLine(std::string_view line);

struct QpDecodedLine {
    std::string bytes;
    bool softBreak = false;  // the line ended in "=": join the next line
};

// "=XX" (two hex digits) becomes that byte; an "=" followed only by blanks
// or CR up to the line end is a soft break and ends the output. Every other
// byte, the LF included, is copied.
QpDecodedLine QpDecodeLine(std::string_view line);

// Decodes a whole quoted-printable text into logical lines (each keeps its
// LF when it had one), joining soft breaks up to kQpMaxLogicalLine bytes
// (the LF included); a longer logical line is cut there, keeps its LF, and
// the rest of it is dropped.
std::vector<std::string> QpDecodeText(std::string_view text);

// The same logical lines as one text, one after another: the form a shown
// text part needs, without a string per line.
std::string QpDecodeBody(std::string_view text);

}  // namespace corvina
