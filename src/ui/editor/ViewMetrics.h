#pragma once
// The fonts and cell sizes a view draws its text with: the text font in
// its normal, bold and underlined forms, the character cell width, the row
// height (font height + WideLine) and whether the font is proportional.
// The layout of the client area (margin, line-number column, gauge row) is
// measured from these.

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QString>

namespace corvina {

struct EditorOptions;

struct ViewMetrics {
    static constexpr int kMargin = 8;           // left margin in pixels
    static constexpr int kLineNumberCells = 7;  // cells of the line-number column

    QFont font;
    QFont boldFont;
    QFont underlineFont;
    QFontMetrics fontMetrics{QFont()};
    QFontMetrics boldMetrics{QFont()};
    // Unrounded, to tell whether a glyph fills its cells exactly.
    QFontMetricsF fontMetricsF{QFont()};
    QFontMetricsF boldMetricsF{QFont()};
    int cellWidth = 8;
    int rowHeight = 16;
    int ascent = 12;
    bool proportional = false;

    // Left edge of the text area.
    int TextLeft(bool lineNumbers) const {
        return kMargin + (lineNumbers ? kLineNumberCells * cellWidth : 0);
    }
};

// The text font of the options (TextFont, TextFontHeight in pixels). A
// font that is not installed gives way to a fixed-pitch font with Japanese
// glyphs, else to the system's fixed font. With a fixed-pitch font every
// single-column character advances exactly one cell (the width of "0"), so
// a run of them lines up with the columns.
ViewMetrics MeasureTextFont(const EditorOptions& options);

// The font of a setting's family name (names of another system, such as
// "FixedSys", are not installed here): the family when installed, else a
// fixed-pitch font with Japanese glyphs, else the system's fixed font.
// Screen and print choose alike; the caller sets the size.
QFont FixedFontNamed(const QString& family);

}  // namespace corvina
