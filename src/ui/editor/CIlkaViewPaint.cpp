// Layout and drawing of the view: the margin, the line-number column, the
// column gauge, the rows as RowContent builds them, and the caret.

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "editor/EditorIndicators.h"
#include "editor/EditorOptions.h"
#include "ui/bridge/QtText.h"
#include "ui/editor/CIlkaView.h"

namespace corvina {

namespace {

QColor ToQColor(const Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

}  // namespace

void CIlkaView::UpdateMetrics() {
    metrics_ = MeasureTextFont(options_);
    RowStyle style;
    style.readOnly = editor_.ReadOnly();
    style.fixedPitch = !metrics_.proportional;
    rowContent_.SetStyle(style);
}

int CIlkaView::YOfRow(long row) const {
    const int gauge = options_.columnGauge ? metrics_.rowHeight : 0;
    return gauge + static_cast<int>(row - editor_.TopRow()) * metrics_.rowHeight;
}

long CIlkaView::RowAtY(int y) const {
    const int gauge = options_.columnGauge ? metrics_.rowHeight : 0;
    const int offset = y - gauge;
    const long rows = offset >= 0 ? offset / metrics_.rowHeight
                                  : -((-offset + metrics_.rowHeight - 1) / metrics_.rowHeight);
    return editor_.TopRow() + rows;
}

int CIlkaView::XOfColumn(long, int column) const {
    return metrics_.TextLeft(showLineNumbers_) + (column - editor_.LeftColumn()) * metrics_.cellWidth;
}

int CIlkaView::ColumnAtX(long, int x) const {
    const int offset = x - metrics_.TextLeft(showLineNumbers_);
    return std::max(0, editor_.LeftColumn() +
                           (offset + metrics_.cellWidth / 2) / std::max(1, metrics_.cellWidth));
}

bool CIlkaView::InLineNumberColumn(QPoint point) const {
    return showLineNumbers_ && point.x() >= ViewMetrics::kMargin &&
           point.x() < metrics_.TextLeft(true);
}

bool CIlkaView::InGauge(QPoint point) const {
    return options_.columnGauge && point.y() < metrics_.rowHeight;
}

void CIlkaView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const int gauge = options_.columnGauge ? metrics_.rowHeight : 0;
    editor_.SetWindowRows(std::max(1, (viewport()->height() - gauge) / metrics_.rowHeight));
    SyncScrollBars();
}

void CIlkaView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        viewport()->update();
    }
}

void CIlkaView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const EditorColors& colours = options_.colors;
    painter.fillRect(event->rect(), ToQColor(colours.back));
    if (!editor_.Document())
        return;
    painter.setFont(metrics_.font);

    const int textLeft = metrics_.TextLeft(showLineNumbers_);
    const int visibleColumns =
        std::max(1, (viewport()->width() - textLeft) / metrics_.cellWidth + 1);
    const bool focused = hasFocus();

    if (options_.columnGauge) {
        const ColumnGauge gauge =
            MakeColumnGauge(editor_.LeftColumn(), visibleColumns, editor_.WrapWidth(),
                            showLineNumbers_, focused ? editor_.VirtualColumn() : -1);
        painter.fillRect(QRect(0, 0, viewport()->width(), metrics_.rowHeight),
                         ToQColor(colours.gaugeBack));
        painter.setPen(ToQColor(colours.gauge));
        const int gaugeLeft = showLineNumbers_ ? ViewMetrics::kMargin : textLeft;
        for (std::size_t i = 0; i < gauge.text.size(); ++i) {
            const QRect cell(gaugeLeft + static_cast<int>(i) * metrics_.cellWidth, 0,
                             metrics_.cellWidth, metrics_.rowHeight - 1);
            if (static_cast<int>(i) == gauge.caretIndex) {
                painter.fillRect(cell, ToQColor(colours.gauge));
                painter.setPen(ToQColor(colours.gaugeBack));
            }
            painter.drawText(cell.x(), metrics_.ascent, QString(QLatin1Char(gauge.text[i])));
            painter.setPen(ToQColor(colours.gauge));
        }
        painter.drawLine(0, metrics_.rowHeight - 1, viewport()->width(), metrics_.rowHeight - 1);
    }

    const long total = editor_.TotalRows();
    const long first = std::max(editor_.TopRow(), RowAtY(event->rect().top()));
    const long last = std::min(total - 1, RowAtY(event->rect().bottom()));
    rowContent_.SetMetrics(RowMetrics{&editor_.TextCodePage(), editor_.TabWidth(),
                                      editor_.WrapWidth()});
    for (long row = first; row <= last; ++row) {
        const TextPlace place = editor_.PlaceOfRow(row, 0);
        const std::string line = editor_.LineText(place.line);
        const int y = YOfRow(row);
        if (showLineNumbers_) {
            painter.fillRect(QRect(ViewMetrics::kMargin, y, textLeft - ViewMetrics::kMargin,
                                   metrics_.rowHeight),
                             ToQColor(colours.lineNumberBack));
            painter.setPen(ToQColor(colours.lineNumber));
            painter.drawText(ViewMetrics::kMargin, y + metrics_.ascent,
                             QString::fromStdString(LineNumberText(
                                 options_.nonLogicalLine, row, static_cast<long>(place.line),
                                 place.offset == 0)));
        }
        RowRequest request;
        request.line = line;
        request.rowStart = place.offset;
        request.leftColumn = editor_.LeftColumn();
        request.columns = visibleColumns;
        request.lastLine = place.line + 1 == editor_.LineCount();
        request.markedLine = editor_.LineMarked(place.line);
        rowContent_.Build(request, rowBuffer_);
        int x = textLeft;
        for (std::size_t i = 0; i < rowBuffer_.cells.size(); ++i) {
            const DisplayCell& cell = rowBuffer_.cells[i];
            painter.setPen(ToQColor(cell.colour));
            painter.setFont(cell.bold ? metrics_.boldFont : metrics_.font);
            painter.drawText(x, y + metrics_.ascent,
                             QString::fromUtf8(rowBuffer_.TextOf(i).data(),
                                               static_cast<qsizetype>(rowBuffer_.TextOf(i).size())));
            x += cell.columns * metrics_.cellWidth;
        }
    }

    if (focused) {
        const long caretRow = editor_.CaretRow();
        const int x = XOfColumn(caretRow, editor_.VirtualColumn());
        painter.fillRect(QRect(x, YOfRow(caretRow), 2, metrics_.rowHeight),
                         ToQColor(colours.text));
    }
}

}  // namespace corvina
