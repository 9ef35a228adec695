#pragma once
// What one display row shows: its characters as the view paints them,
// each with its colour, mark glyph and weight. The view only paints cells
// left to right from the left column; every decision is made here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/DisplayRows.h"
#include "editor/EditorOptions.h"
#include "editor/KeywordTable.h"

namespace corvina {

// A glyph the view draws itself (its own bitmap) instead of the cell's text.
enum class RowMark : std::uint8_t {
    None,
    Tab,        // first position of a TAB
    LineEnd,    // the LF of a line another line follows
    WideSpace,  // the full-width (ideographic) space
    EndOfText,  // the LF of the last line; its text is "<"
};

struct DisplayCell {
    std::uint32_t textStart = 0;  // into DisplayRow::utf8
    std::uint8_t columns = 1;     // 1 or 2
    RowMark mark = RowMark::None;
    bool bold = false;
    Rgb colour;
};

// Cells stand one after the other from the left column on; a cell's text
// runs up to the next cell's start (zero-width marks ride on the character
// before them).
struct DisplayRow {
    std::string utf8;
    std::vector<DisplayCell> cells;

    std::string_view TextOf(std::size_t cell) const;  // cell < cells.size()
    int Columns() const;
    void Clear() {
        utf8.clear();
        cells.clear();
    }
};

// How a view shows its text, fixed per view. TAB marks show with
// TabDisplay; the line-end mark (CRDisplay), the end-of-text mark
// (EOFDisplay) and the full-width space mark (DSpcDisplay, in TABColor)
// only in an editing view. Printing shows no marks, control bytes as
// blanks and marked lines bold.
struct RowStyle {
    bool readOnly = false;  // the main window's viewer
    bool printing = false;
    bool fixedPitch = true;  // keywords may be bold (KeyBold) only with a fixed-pitch font
};

// One display row of a line, as NextRowStart cuts it.
struct RowRequest {
    std::string_view line;  // the whole line with its LF
    std::size_t rowStart = 0;
    int leftColumn = 0;
    int columns = 80;         // visible width of the text area
    bool lastLine = false;    // its LF ends the text
    bool markedLine = false;  // the line's kLineMarked flag
};

class RowContent {
public:
    // options and keywords (may be null) must outlive this object.
    RowContent(const EditorOptions& options, const KeywordTable* keywords, RowMetrics metrics,
               RowStyle style);

    void SetMetrics(RowMetrics metrics) { metrics_ = metrics; }
    void SetStyle(RowStyle style) { style_ = style; }

    // The cells of the row, from the left column up to the visible width
    // (and the wrap width). Reuses out's storage.
    void Build(const RowRequest& request, DisplayRow& out);

private:
    struct Attributes;
    const std::vector<KeywordSpan>& KeywordsOf(std::string_view line);
    void AddCell(DisplayRow& out, std::string_view utf8, int columns, RowMark mark,
                 const Attributes& attributes) const;
    void AddCharacter(DisplayRow& out, const char* p, const char* end, int columns,
                      const Attributes& attributes) const;

    const EditorOptions& options_;
    const KeywordTable* keywords_;
    RowMetrics metrics_;
    RowStyle style_;

    // The rows of one line are painted one after another: its keywords
    // are found once.
    std::string cachedLine_;
    std::vector<KeywordSpan> cachedSpans_;
    unsigned cachedGeneration_ = 0;
    bool cacheValid_ = false;
};

}  // namespace corvina
