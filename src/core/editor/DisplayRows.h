#pragma once
// How a line is measured: columns of each character (TAB stops, wide
// characters, control bytes) and the display rows a line breaks into at
// the wrap width. Lines break purely by columns; a wide character never
// straddles the wrap edge.

#include <cstddef>
#include <string_view>

namespace corvina {

class CodePage;

struct RowMetrics {
    const CodePage* codePage = nullptr;
    int tabWidth = 8;
    int wrapWidth = 80;

    // The column after a TAB that starts at `column`.
    int NextTabStop(int column) const {
        return tabWidth > 0 ? (column / tabWidth + 1) * tabWidth : column + 1;
    }
};

// Bytes and columns of the character at line[pos], standing at `column`.
// A TAB reaches the next tab stop; a control byte counts 1 (it is drawn
// as a letter); a wide character 2; the LF 0 (it ends the line).
struct CharStep {
    int bytes = 1;
    int columns = 1;
};
CharStep StepAt(std::string_view line, std::size_t pos, int column, const RowMetrics& m);

// Start of the display row after the one starting at rowStart in `line`
// (a whole line ending in LF), or std::string_view::npos when that row
// ends at the LF.
std::size_t NextRowStart(std::string_view line, std::size_t rowStart, const RowMetrics& m);

// Number of display rows of `line` (at least 1), capped at 65,535.
int CountRows(std::string_view line, const RowMetrics& m);

// Start of the display row that holds byte `pos` of `line`, and that row's
// index within the line.
struct RowPlace {
    std::size_t rowStart = 0;
    int row = 0;
};
RowPlace RowOf(std::string_view line, std::size_t pos, const RowMetrics& m);

// Column of byte `pos` counted from `rowStart` (pos at a character start).
int ColumnOf(std::string_view line, std::size_t rowStart, std::size_t pos, const RowMetrics& m);

// The byte of the display row starting at rowStart that stands at or
// before `column` without being past it: the start of the character that
// covers the column, or the row's end (its LF, or the next row's start)
// when the row is shorter. *reached (if given) receives the column of the
// returned byte.
std::size_t PosAtColumn(std::string_view line, std::size_t rowStart, int column,
                        const RowMetrics& m, int* reached = nullptr);

}  // namespace corvina
