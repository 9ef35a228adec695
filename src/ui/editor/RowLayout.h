#pragma once
// Where the cells of one display row stand in pixels, from the left edge
// of the text area at the view's left column. With a fixed-pitch font a
// cell is as wide as its columns of cells, whatever its glyph measures; a
// proportional font measures each cell with the font.

#include <QString>
#include <vector>

#include "editor/RowContent.h"
#include "ui/editor/ViewMetrics.h"

namespace corvina {

class RowLayout {
public:
    struct Box {
        int x = 0;
        int width = 0;
        int column = 0;    // counted from the left column
        int textFrom = 0;  // the cell's text in Text()
        int textTo = 0;
        // The glyph fills the box exactly: it may be drawn in one run with
        // its neighbours. Otherwise it is centred in its box alone.
        bool fits = true;
    };

    // Lays out `row` (its cells from the left column on).
    void Lay(const DisplayRow& row, const ViewMetrics& metrics);

    const QString& Text() const { return text_; }
    const std::vector<Box>& Boxes() const { return boxes_; }
    // x of the left edge of `column` (from the left column; past the row's
    // end the columns go on at the cell width).
    int XOf(int column) const;
    // The column of the character edge nearest to x.
    int ColumnAt(int x) const;

private:
    int cellWidth_ = 8;
    bool proportional_ = false;
    QString text_;
    std::vector<Box> boxes_;
    std::vector<int> edges_;   // x of each column edge
    std::vector<bool> inner_;  // the edge lies inside a wide character
};

}  // namespace corvina
