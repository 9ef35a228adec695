#include "ui/editor/MarkGlyphs.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>

namespace corvina {

namespace {

// A right arrow: the TAB reaches on to the right.
void DrawTab(QPainter& painter, const QRect& box, int baseline) {
    const int mid = baseline - std::max(2, box.height() / 4);
    const int left = box.left() + 1;
    const int right = box.right() - 1;
    const int head = std::max(2, box.width() / 3);
    painter.drawLine(left, mid, right, mid);
    painter.drawLine(right - head, mid - head, right, mid);
    painter.drawLine(right - head, mid + head, right, mid);
}

// A down-and-left return arrow.
void DrawLineEnd(QPainter& painter, const QRect& box, int baseline) {
    const int left = box.left() + 1;
    const int right = box.right() - 1;
    const int top = box.top() + std::max(2, box.height() / 4);
    const int bottom = baseline - 1;
    const int head = std::max(2, box.width() / 3);
    painter.drawLine(right, top, right, bottom);
    painter.drawLine(left, bottom, right, bottom);
    painter.drawLine(left, bottom, left + head, bottom - head);
    painter.drawLine(left, bottom, left + head, bottom + head);
}

// A dotted square filling the two cells.
void DrawWideSpace(QPainter& painter, const QRect& box, int baseline) {
    const int size = std::min(box.width() - 4, baseline - box.top() - 2);
    const QRect square(box.left() + (box.width() - size) / 2, baseline - size, size - 1, size - 1);
    QPen pen = painter.pen();
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(square);
}

}  // namespace

void DrawRowMark(QPainter& painter, RowMark mark, const QRect& box, int baseline,
                 const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colour, 1));
    switch (mark) {
        case RowMark::Tab:
            DrawTab(painter, box, baseline);
            break;
        case RowMark::LineEnd:
            DrawLineEnd(painter, box, baseline);
            break;
        case RowMark::WideSpace:
            DrawWideSpace(painter, box, baseline);
            break;
        case RowMark::None:
        case RowMark::EndOfText:
            break;
    }
    painter.restore();
}

void DrawChangedLine(QPainter& painter, const QRect& margin, const QColor& colour) {
    painter.fillRect(QRect(margin.left() + 1, margin.top() + 1, 3, margin.height() - 2), colour);
}

void DrawLinePointer(QPainter& painter, const QRect& margin) {
    const int mid = margin.top() + margin.height() / 2;
    const int half = std::min(4, margin.height() / 3);
    const QPolygon pointer({QPoint(margin.left() + 2, mid - half),
                            QPoint(margin.left() + 2 + half, mid),
                            QPoint(margin.left() + 2, mid + half)});
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(pointer);
    painter.restore();
}

}  // namespace corvina
