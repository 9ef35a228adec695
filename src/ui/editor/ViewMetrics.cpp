#include "ui/editor/ViewMetrics.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <algorithm>

#include "editor/EditorOptions.h"

namespace corvina {

ViewMetrics MeasureTextFont(const EditorOptions& options) {
    ViewMetrics m;
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!options.textFont.empty())
        font.setFamily(QString::fromStdString(options.textFont));
    font.setPixelSize(std::max(6, options.textFontHeight));
    font.setStyleHint(QFont::TypeWriter);
    m.font = font;
    m.boldFont = font;
    m.boldFont.setWeight(QFont::Bold);
    m.underlineFont = font;
    m.underlineFont.setUnderline(true);

    const QFontMetrics metrics(font);
    m.proportional = !QFontInfo(font).fixedPitch();
    m.cellWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    m.rowHeight = metrics.height() + std::max(0, options.wideLine);
    m.ascent = metrics.ascent();
    return m;
}

}  // namespace corvina
