#pragma once
// The texts around an editor view's rows: the line-number column, the
// column gauge, the position indicator of the frame and the code of the
// character at the caret. Row and line numbers count from 0 here; the
// texts show them counting from 1.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;

// The 7 cells of the line-number column for a display row: the number and
// a colon ("   123:"), of which only the last 6 digits show. Counting
// display rows (NonLogicalLine on) every row is numbered; counting logical
// lines only a line's first row is, its later rows show "      :".
std::string LineNumberText(bool countDisplayRows, long displayRow, long logicalLine,
                           bool firstRowOfLine);

// The column gauge row ("----+----1----+..."), from the left column on for
// the visible width but not past the wrap width, after ">>>>>> " over the
// line-number column when it is shown. caretIndex: the byte of `text`
// above the caret column, drawn inverted in the focused view; -1 when the
// caret column is not on the gauge.
struct ColumnGauge {
    std::string text;
    int caretIndex = -1;
};
ColumnGauge MakeColumnGauge(int leftColumn, int visibleColumns, int wrapWidth, bool lineNumbers,
                            int caretColumn);

// "[   row :col] #line  " for the frame's menu bar (21 characters; row and
// line shown modulo 1,000,000); 21 spaces for a view without focus.
std::string PositionText(long displayRow, int caretColumn, long logicalLine, bool focused);

// The code of the character at line[pos] for the status bar: "82A0h" for
// a double-byte character, "  41h" for a single byte, "U+65E5" for a
// character of UTF-8 text, "0D0Ah" for the LF, "[EOF]" for the LF of the
// last line. Bytes that form no character show as single bytes. Empty
// when pos is not in the line.
std::string CharacterCodeText(std::string_view line, std::size_t pos, bool lastLine,
                              const CodePage& codePage);

}  // namespace corvina
