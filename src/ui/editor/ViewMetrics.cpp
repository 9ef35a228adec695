#include "ui/editor/ViewMetrics.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "editor/EditorOptions.h"
#include "ui/bridge/QtText.h"

namespace corvina {

namespace {

// Fixed-pitch fonts that hold the Japanese glyphs the mail shows, best
// first.
constexpr const char* kJapaneseFixedFonts[] = {"IPAGothic", "Noto Sans Mono CJK JP", "VL Gothic",
                                               "TakaoGothic"};

}  // namespace

QFont FixedFontNamed(const QString& wanted) {
    const QStringList installed = QFontDatabase::families();
    QFont font;
    if (!wanted.isEmpty() && installed.contains(wanted, Qt::CaseInsensitive)) {
        font.setFamily(wanted);
    } else {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        for (const char* candidate : kJapaneseFixedFonts) {
            if (installed.contains(QLatin1String(candidate), Qt::CaseInsensitive)) {
                font.setFamily(QLatin1String(candidate));
                break;
            }
        }
    }
    font.setStyleHint(QFont::TypeWriter);
    font.setKerning(false);
    return font;
}

namespace {

// Spreads the font's advance to a whole number of pixels per cell.
void FitToCell(QFont& font, int cellWidth) {
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('0'));
    if (std::abs(advance - cellWidth) > 0.001)
        font.setLetterSpacing(QFont::AbsoluteSpacing, cellWidth - advance);
}

}  // namespace

ViewMetrics MeasureTextFont(const EditorOptions& options) {
    ViewMetrics m;
    QFont font = FixedFontNamed(ToQString(options.textFont));
    font.setPixelSize(std::max(6, options.textFontHeight));
    QFont bold = font;
    bold.setWeight(QFont::Bold);

    // Some fixed-pitch fonts do not say so: equal advances of a narrow and
    // a wide letter tell.
    const QFontMetricsF measure(font);
    m.proportional =
        !QFontInfo(font).fixedPitch() &&
        measure.horizontalAdvance(QLatin1Char('i')) != measure.horizontalAdvance(QLatin1Char('W'));
    m.cellWidth = std::max(
        1, static_cast<int>(std::lround(QFontMetricsF(font).horizontalAdvance(QLatin1Char('0')))));
    if (!m.proportional) {
        FitToCell(font, m.cellWidth);
        FitToCell(bold, m.cellWidth);
    }
    m.font = font;
    m.boldFont = bold;
    m.underlineFont = font;
    m.underlineFont.setUnderline(true);
    m.fontMetrics = QFontMetrics(font);
    m.boldMetrics = QFontMetrics(bold);
    m.fontMetricsF = QFontMetricsF(font);
    m.boldMetricsF = QFontMetricsF(bold);
    m.rowHeight = m.fontMetrics.height() + std::max(0, options.wideLine);
    m.ascent = m.fontMetrics.ascent();
    return m;
}

}  // namespace corvina
