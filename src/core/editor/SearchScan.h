#pragma once
// What every search matcher shares: reading the lines of a SearchText one
// at a time, and the W, T and E conditions on where a match may start and
// end. A match may start at any character of a line or at its line end;
// it is accepted when
//   W: the byte before it (the line end before a line start) and the byte
//      after it (the line end when it ends at one, nothing after the last
//      line end) are below 64,
//   T: it starts at a line start,
//   E: the byte after it is a line end (nothing after the last line end is
//      no line end).

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "editor/SearchPattern.h"

namespace corvina {

class CodePage;
class SearchFolding;

class LineReader {
public:
    explicit LineReader(const SearchText& text) : text_(text), count_(text.LineCount()) {}

    std::size_t Count() const { return count_; }
    // Line `line` (< Count()); valid until Get is called for another line.
    std::string_view Get(std::size_t line) {
        if (line != line_) {
            view_ = text_.Line(line);
            line_ = line;
        }
        return view_;
    }

private:
    const SearchText& text_;
    std::size_t count_;
    std::size_t line_ = static_cast<std::size_t>(-1);
    std::string_view view_;
};

struct MatchRules {
    bool wholeWord = false;
    bool topOfLine = false;
    bool endOfLine = false;

    explicit MatchRules(const SearchOptions& options)
        : wholeWord(options.wholeWord),
          topOfLine(options.topOfLine),
          endOfLine(options.endOfLine) {}

    // After the character whose last byte is `before` (a line end: '\n').
    bool StartAfter(unsigned char before) const {
        return (!topOfLine || before == '\n') && (!wholeWord || before < 64);
    }
    // Before the character whose first byte is `after` ('\n' for a line
    // end, 0 for the end of the text).
    bool EndBefore(unsigned char after) const {
        return (!endOfLine || after == '\n') && (!wholeWord || after < 64);
    }
    bool StartAllowed(LineReader& lines, TextPlace start) const;
    bool EndAllowed(LineReader& lines, TextPlace end) const;
};

// Whether an offset of a line is a character start, without reading the
// line from its start: on Shift_JIS the byte before a run of lead-capable
// bytes ends a character, so the run pairs up from its start; a run longer
// than kLongRun has the line's character starts marked once instead.
class CharStarts {
public:
    explicit CharStarts(const CodePage& page) : page_(page) {}

    // pos <= text.size(); the line end counts as a start.
    bool At(std::size_t line, std::string_view text, std::size_t pos);
    // The start of the character that ends at the start `pos` (> 0).
    std::size_t Previous(std::size_t line, std::string_view text, std::size_t pos);

private:
    static constexpr std::size_t kLongRun = 64;
    bool Marked(std::size_t line, std::string_view text, std::size_t pos);

    const CodePage& page_;
    std::size_t line_ = static_cast<std::size_t>(-1);
    std::vector<unsigned char> starts_;
};

// The folded code of the character at `place` (a line end reads as
// '\n'); moves `place` past it.
std::uint32_t ReadFolded(LineReader& lines, const SearchFolding& folding, TextPlace& place);

// The last byte before `place`: '\n' at a line start.
unsigned char ByteBefore(LineReader& lines, TextPlace place);
// The byte at `place`: '\n' at a line end, 0 past the last line.
unsigned char ByteAt(LineReader& lines, TextPlace place);

}  // namespace corvina
