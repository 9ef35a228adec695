#pragma once
// The small glyphs the view draws itself: the marks of TAB, line end and
// full-width space inside their cells, and in the left margin the
// changed-line indicator and the line pointer.

#include <QColor>
#include <QRect>

#include "editor/RowContent.h"

class QPainter;

namespace corvina {

// The mark of a cell in `box` (the cell's whole row height), in `colour`.
// `baseline` is the y of the text's baseline. Marks without a glyph of
// their own (the end-of-text "<") draw nothing here.
void DrawRowMark(QPainter& painter, RowMark mark, const QRect& box, int baseline,
                 const QColor& colour);

// `margin` is the left margin of one row.
void DrawChangedLine(QPainter& painter, const QRect& margin, const QColor& colour);
// Drawn by inverting what lies under it, so it shows on any colour.
void DrawLinePointer(QPainter& painter, const QRect& margin);

}  // namespace corvina
