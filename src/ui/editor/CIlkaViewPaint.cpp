// Layout and drawing of the view: the margin with its marks, the
// line-number column, the column gauge, the rows as RowContent builds
// them, the selection, the addresses, the caret and the input method's
// uncommitted text.

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "editor/EditorIndicators.h"
#include "editor/EditorOptions.h"
#include "ui/editor/CIlkaView.h"
#include "ui/editor/MarkGlyphs.h"

namespace corvina {

namespace {

QColor ToQColor(const Rgb& rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// Far beyond any row.
constexpr int kFarColumn = 1 << 24;

struct ColumnRange {
    int from = 0;
    int to = 0;
    bool Holds(int column) const { return column >= from && column < to; }
};

// The selected columns of a display row: a box is the same on each of its
// rows; a stream runs from its start column to the end of the start row's
// line and on to its end column.
ColumnRange SelectedColumns(const TextEditor& editor, long row) {
    if (!editor.HasSelection() || row < editor.SelectionStartRow() ||
        row > editor.SelectionEndRow())
        return {};
    const int start = editor.SelectionStartColumn();
    const int end = editor.SelectionEndColumn();
    if (editor.Selection() == SelectionMode::kBox)
        return {std::min(start, end), std::max(start, end)};
    return {row == editor.SelectionStartRow() ? start : 0,
            row == editor.SelectionEndRow() ? end : kFarColumn};
}

}  // namespace

void CIlkaView::UpdateMetrics() {
    metrics_ = MeasureTextFont(options_);
    RowStyle style;
    style.readOnly = editor_.ReadOnly();
    style.fixedPitch = !metrics_.proportional;
    rowContent_.SetStyle(style);
}

int CIlkaView::VisibleColumns() const {
    const int width = std::max(0, viewport()->width() - metrics_.TextLeft(showLineNumbers_));
    // A proportional font may fit more characters than cells.
    const int narrowest = metrics_.proportional ? std::max(1, metrics_.cellWidth / 3)
                                                : std::max(1, metrics_.cellWidth);
    return width / narrowest + 1;
}

void CIlkaView::LayRow(const TextEditor::VisibleRow& row) const {
    rowContent_.SetMetrics(
        RowMetrics{&editor_.TextCodePage(), editor_.TabWidth(), editor_.WrapWidth()});
    RowRequest request;
    request.line = row.text;
    request.rowStart = row.rowStart;
    request.leftColumn = editor_.LeftColumn();
    request.columns = VisibleColumns();
    request.lastLine = row.lastLine;
    request.markedLine = (row.lineFlags & kLineMarked) != 0;
    rowContent_.Build(request, rowBuffer_);
    rowLayout_.Lay(rowBuffer_, metrics_);
}

const RowLayout& CIlkaView::LayoutOfRow(long row) const {
    std::vector<TextEditor::VisibleRow> rows;
    // Finding the row only fills the model's cache of row counts; the text
    // stays as it is.
    const_cast<TextEditor&>(editor_).VisibleRows(row, 1, rows);
    if (rows.empty()) {
        rowBuffer_.Clear();
        rowLayout_.Lay(rowBuffer_, metrics_);
    } else {
        LayRow(rows.front());
    }
    return rowLayout_;
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

int CIlkaView::XOfColumn(long row, int column) const {
    const int offset = column - editor_.LeftColumn();
    const int textLeft = metrics_.TextLeft(showLineNumbers_);
    if (!metrics_.proportional)
        return textLeft + offset * metrics_.cellWidth;
    return textLeft + LayoutOfRow(row).XOf(offset);
}

int CIlkaView::ColumnAtX(long row, int x) const {
    return editor_.LeftColumn() +
           LayoutOfRow(row).ColumnAt(x - metrics_.TextLeft(showLineNumbers_));
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
    const bool focused = hasFocus();
    // A caret move marks two rows and the gauge: paint those rectangles,
    // not the rows between them.
    for (const QRect& area : event->region())
        PaintArea(painter, area, focused);
    if (focused && editor_.Document())
        PaintCaret(painter);
}

void CIlkaView::PaintArea(QPainter& painter, const QRect& area, bool focused) {
    painter.fillRect(area, ToQColor(options_.colors.back));
    if (!editor_.Document())
        return;
    const int gaugeHeight = options_.columnGauge ? metrics_.rowHeight : 0;
    if (area.top() < gaugeHeight)
        PaintGauge(painter, VisibleColumns(), focused);

    // Only the rows of the area are built and drawn.
    const long first = std::max(editor_.TopRow(), RowAtY(std::max(gaugeHeight, area.top())));
    const long last = RowAtY(area.bottom());
    if (last < first)
        return;
    editor_.VisibleRows(first, static_cast<int>(last - first + 1), visibleRows_);
    for (std::size_t i = 0; i < visibleRows_.size(); ++i)
        PaintRow(painter, visibleRows_[i], first + static_cast<long>(i), focused);
}

void CIlkaView::PaintGauge(QPainter& painter, int visibleColumns, bool focused) {
    const EditorColors& colours = options_.colors;
    const ColumnGauge gauge =
        MakeColumnGauge(editor_.LeftColumn(), visibleColumns, editor_.WrapWidth(), showLineNumbers_,
                        focused ? editor_.VirtualColumn() : -1);
    const int height = metrics_.rowHeight;
    const int cell = metrics_.cellWidth;
    const int left = showLineNumbers_ ? ViewMetrics::kMargin : metrics_.TextLeft(false);
    painter.fillRect(QRect(0, 0, viewport()->width(), height), ToQColor(colours.gaugeBack));
    painter.setFont(metrics_.font);
    painter.setPen(ToQColor(colours.gauge));
    const QString text =
        QString::fromLatin1(gauge.text.data(), static_cast<qsizetype>(gauge.text.size()));
    if (!metrics_.proportional) {
        painter.drawText(left, metrics_.ascent, text);
    } else {
        for (qsizetype i = 0; i < text.size(); ++i)
            painter.drawText(left + static_cast<int>(i) * cell, metrics_.ascent, QString(text[i]));
    }
    if (gauge.caretIndex >= 0 && gauge.caretIndex < text.size()) {
        const int x = left + gauge.caretIndex * cell;
        painter.fillRect(QRect(x, 0, cell, height - 1), ToQColor(colours.gauge));
        painter.setPen(ToQColor(colours.gaugeBack));
        painter.drawText(x, metrics_.ascent, QString(text[gauge.caretIndex]));
        painter.setPen(ToQColor(colours.gauge));
    }
    painter.drawLine(0, height - 1, viewport()->width(), height - 1);
}

void CIlkaView::PaintRow(QPainter& painter, const TextEditor::VisibleRow& row, long rowNumber,
                         bool focused) {
    const EditorColors& colours = options_.colors;
    const int y = YOfRow(rowNumber);
    const int height = metrics_.rowHeight;
    const int baseline = y + metrics_.ascent;
    const int textLeft = metrics_.TextLeft(showLineNumbers_);
    const int leftColumn = editor_.LeftColumn();
    const bool caretRow = focused && rowNumber == editor_.CaretRow();

    const QRect margin(0, y, ViewMetrics::kMargin, height);
    if (showChangedLines_ && (row.lineFlags & kLineChanged) != 0)
        DrawChangedLine(painter, margin, ToQColor(colours.changed));
    if (options_.linePointer && caretRow)
        DrawLinePointer(painter, margin);

    if (showLineNumbers_) {
        painter.fillRect(QRect(ViewMetrics::kMargin, y, textLeft - ViewMetrics::kMargin, height),
                         ToQColor(colours.lineNumberBack));
        painter.setFont(metrics_.font);
        painter.setPen(ToQColor(colours.lineNumber));
        const std::string number = LineNumberText(options_.nonLogicalLine, rowNumber,
                                                  static_cast<long>(row.line), row.rowStart == 0);
        painter.drawText(ViewMetrics::kMargin, baseline,
                         QString::fromLatin1(number.data(), static_cast<qsizetype>(number.size())));
    }

    LayRow(row);
    const std::vector<RowLayout::Box>& boxes = rowLayout_.Boxes();
    const QString& text = rowLayout_.Text();
    const int rowColumns =
        boxes.empty() ? 0 : boxes.back().column + rowBuffer_.cells.back().columns;

    // The selection's background; a box reaches past short lines.
    const ColumnRange selected = SelectedColumns(editor_, rowNumber);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor highlightedText = palette().color(QPalette::HighlightedText);
    {
        const int from = std::max(0, selected.from - leftColumn);
        int to = std::max(0, std::min(selected.to, kFarColumn) - leftColumn);
        if (editor_.Selection() != SelectionMode::kBox)
            to = std::min(to, rowColumns);
        if (to > from) {
            const int x0 = rowLayout_.XOf(from);
            painter.fillRect(QRect(textLeft + x0, y, rowLayout_.XOf(to) - x0, height), highlight);
        }
    }

    // The addresses of the line, as columns of this row.
    std::vector<ColumnRange> underlined;
    const RowMetrics metrics{&editor_.TextCodePage(), editor_.TabWidth(), editor_.WrapWidth()};
    const std::size_t next = NextRowStart(row.text, row.rowStart, metrics);
    const std::size_t rowEnd = next == std::string_view::npos ? row.text.size() - 1 : next;
    for (const LineAddresses::Span& span :
         addresses_.Of(row.text.substr(0, row.text.size() - 1), editor_.TextCodePage())) {
        if (span.second <= row.rowStart || span.first >= rowEnd)
            continue;
        underlined.push_back(
            {ColumnOf(row.text, row.rowStart, std::max(span.first, row.rowStart), metrics),
             ColumnOf(row.text, row.rowStart, std::min(span.second, rowEnd), metrics)});
    }
    const auto isUnderlined = [&underlined](int column) {
        return std::any_of(underlined.begin(), underlined.end(),
                           [column](const ColumnRange& range) { return range.Holds(column); });
    };
    const int underlineY = baseline + std::max(1, metrics_.fontMetrics.underlinePos());

    std::size_t i = 0;
    while (i < boxes.size()) {
        const DisplayCell& cell = rowBuffer_.cells[i];
        const RowLayout::Box& box = boxes[i];
        const int column = leftColumn + box.column;
        const bool inSelection = selected.Holds(column);
        const bool inAddress = isUnderlined(column);
        const QColor colour = inSelection ? highlightedText : ToQColor(cell.colour);
        if (cell.mark != RowMark::None && cell.mark != RowMark::EndOfText) {
            DrawRowMark(painter, cell.mark, QRect(textLeft + box.x, y, box.width, height), baseline,
                        colour);
            ++i;
            continue;
        }
        painter.setFont(cell.bold ? metrics_.boldFont : metrics_.font);
        painter.setPen(colour);
        // Cells that fill their boxes with the same look are drawn as one
        // run; any other glyph stands centred in its own box so that it
        // shifts nothing after it.
        std::size_t end = i + 1;
        if (box.fits) {
            while (end < boxes.size() && boxes[end].fits) {
                const DisplayCell& other = rowBuffer_.cells[end];
                const int otherColumn = leftColumn + boxes[end].column;
                if ((other.mark != RowMark::None && other.mark != RowMark::EndOfText) ||
                    !(other.colour == cell.colour) || other.bold != cell.bold ||
                    selected.Holds(otherColumn) != inSelection ||
                    isUnderlined(otherColumn) != inAddress)
                    break;
                ++end;
            }
            painter.drawText(textLeft + box.x, baseline,
                             text.mid(box.textFrom, boxes[end - 1].textTo - box.textFrom));
        } else {
            painter.drawText(QRect(textLeft + box.x, y, box.width, metrics_.fontMetrics.height()),
                             Qt::AlignHCenter | Qt::AlignTop,
                             text.mid(box.textFrom, box.textTo - box.textFrom));
        }
        if (inAddress) {
            const RowLayout::Box& lastBox = boxes[end - 1];
            painter.drawLine(textLeft + box.x, underlineY, textLeft + lastBox.x + lastBox.width - 1,
                             underlineY);
        }
        i = end;
    }

    if (options_.underLine && caretRow && !editor_.ReadOnly()) {
        painter.setPen(ToQColor(colours.underline));
        const int right = textLeft + rowLayout_.XOf(editor_.WrapWidth() - leftColumn);
        painter.drawLine(textLeft, y + height - 1, right, y + height - 1);
    }
}

void CIlkaView::UpdateCaretArea() {
    const CaretShown now{editor_.CaretRow(), editor_.VirtualColumn(), editor_.InsertMode()};
    if (now == caretShown_)
        return;
    const int width = viewport()->width();
    const int height = metrics_.rowHeight;
    viewport()->update(QRect(0, YOfRow(caretShown_.row), width, height));
    viewport()->update(QRect(0, YOfRow(now.row), width, height));
    if (options_.columnGauge)
        viewport()->update(QRect(0, 0, width, height));
    caretShown_ = now;
}

void CIlkaView::PaintCaret(QPainter& painter) {
    const long row = editor_.CaretRow();
    if (row < editor_.TopRow() || row > editor_.TopRow() + editor_.WindowRows())
        return;
    const int column = editor_.VirtualColumn();
    if (column < editor_.LeftColumn())
        return;
    const EditorColors& colours = options_.colors;
    const int y = YOfRow(row);
    const int height = metrics_.rowHeight;
    int x = XOfColumn(row, column);

    // The uncommitted text stands over the text at the caret, underlined;
    // the caret stands where the input method says within it.
    if (!preedit_.isEmpty()) {
        const QFontMetrics& fm = metrics_.fontMetrics;
        painter.fillRect(QRect(x, y, fm.horizontalAdvance(preedit_), height),
                         ToQColor(colours.back));
        painter.setFont(metrics_.underlineFont);
        painter.setPen(ToQColor(colours.text));
        painter.drawText(x, y + metrics_.ascent, preedit_);
        x += fm.horizontalAdvance(
            preedit_.left(std::clamp<qsizetype>(preeditCursor_, 0, preedit_.size())));
        painter.fillRect(QRect(x, y, 2, height), ToQColor(colours.text));
        return;
    }
    if (editor_.InsertMode()) {
        painter.fillRect(QRect(x, y, 2, height), ToQColor(colours.text));
        return;
    }
    // Overwrite: a block over the whole character under the caret, drawn
    // by inverting so the character stays readable.
    int columns = 1;
    const std::string_view line = editor_.LineView(editor_.CaretLine());
    if (editor_.CaretOffset() < line.size() && line[editor_.CaretOffset()] != '\t') {
        const RowMetrics metrics{&editor_.TextCodePage(), editor_.TabWidth(), editor_.WrapWidth()};
        columns = std::max(1, StepAt(line, editor_.CaretOffset(), column, metrics).columns);
    }
    const int width = std::max(2, XOfColumn(row, column + columns) - x);
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(QRect(x, y, width, height), Qt::white);
    painter.restore();
}

}  // namespace corvina
