#include "ui/editor/RowLayout.h"

#include <algorithm>
#include <cmath>

namespace corvina {

namespace {

// UTF-16 units of the UTF-8 sequence that starts with `lead`.
int Utf16Units(unsigned char lead) {
    return lead >= 0xF0 ? 2 : 1;
}

}  // namespace

void RowLayout::Lay(const DisplayRow& row, const ViewMetrics& metrics) {
    cellWidth_ = std::max(1, metrics.cellWidth);
    proportional_ = metrics.proportional;
    text_ = QString::fromUtf8(row.utf8.data(), static_cast<qsizetype>(row.utf8.size()));
    boxes_.clear();
    edges_.clear();
    inner_.clear();
    boxes_.reserve(row.cells.size());
    edges_.push_back(0);
    inner_.push_back(false);

    // The cells' UTF-16 starts follow from their UTF-8 starts: the row's
    // text is valid UTF-8 made by the row builder.
    int unit = 0;
    std::size_t byte = 0;
    int x = 0;
    int column = 0;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        const DisplayCell& cell = row.cells[i];
        const std::size_t end =
            i + 1 < row.cells.size() ? row.cells[i + 1].textStart : row.utf8.size();
        Box box;
        box.x = x;
        box.column = column;
        box.textFrom = unit;
        for (; byte < end; ++byte) {
            const auto c = static_cast<unsigned char>(row.utf8[byte]);
            if ((c & 0xC0) != 0x80)
                unit += Utf16Units(c);
        }
        box.textTo = unit;
        const QFontMetrics& fm = cell.bold ? metrics.boldMetrics : metrics.fontMetrics;
        const int units = box.textTo - box.textFrom;
        if (proportional_) {
            box.width = fm.horizontalAdvance(text_.mid(box.textFrom, units));
        } else {
            box.width = cell.columns * cellWidth_;
            const bool ascii =
                units == 1 && text_.at(box.textFrom).unicode() < 0x80 && cell.columns == 1;
            const QFontMetricsF& exact = cell.bold ? metrics.boldMetricsF : metrics.fontMetricsF;
            box.fits =
                ascii || (units == 1 && std::abs(exact.horizontalAdvance(text_.at(box.textFrom)) -
                                                 box.width) < 0.01);
        }
        // A wide character's middle column lies in its middle; the caret
        // never stands there.
        for (int c = 1; c < cell.columns; ++c) {
            edges_.push_back(x + box.width * c / cell.columns);
            inner_.push_back(true);
        }
        edges_.push_back(x + box.width);
        inner_.push_back(false);
        x += box.width;
        column += cell.columns;
        boxes_.push_back(box);
    }
}

int RowLayout::XOf(int column) const {
    if (!proportional_ || column < 0)
        return column * cellWidth_;
    const int last = static_cast<int>(edges_.size()) - 1;
    if (column <= last)
        return edges_[static_cast<std::size_t>(column)];
    return edges_.back() + (column - last) * cellWidth_;
}

int RowLayout::ColumnAt(int x) const {
    if (x <= 0)
        return 0;
    const int last = static_cast<int>(edges_.size()) - 1;
    if (x >= edges_.back())
        return last + (x - edges_.back() + cellWidth_ / 2) / cellWidth_;
    // The nearest edge of a character: a wide character's middle does not
    // count.
    int before =
        static_cast<int>(std::upper_bound(edges_.begin(), edges_.end(), x) - edges_.begin()) - 1;
    int after = before + 1;
    while (before > 0 && inner_[static_cast<std::size_t>(before)])
        --before;
    while (after < last && inner_[static_cast<std::size_t>(after)])
        ++after;
    const auto at = [this](int column) { return edges_[static_cast<std::size_t>(column)]; };
    return x - at(before) <= at(after) - x ? before : after;
}

}  // namespace corvina
