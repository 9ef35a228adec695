#include <QImage>
#include <QInputMethodEvent>
#include <QPaintEvent>

#include "ViewFixture.h"

namespace corvina::test {
namespace {

using ViewPaintTest = ViewFixture;

QImage Render(CIlkaView& view) {
    QApplication::processEvents();
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int CountColour(const QImage& image, const QColor& colour, QRect area = {}) {
    if (area.isNull())
        area = image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

// Pixels of `colour` drawn on white, smoothed edges included.
int CountInk(const QImage& image, const QColor& colour) {
    int count = 0;
    const int target[] = {colour.red(), colour.green(), colour.blue()};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            const int pixel[] = {p.red(), p.green(), p.blue()};
            double share = 0;
            for (int i = 0; i < 3; ++i)
                if (target[i] != 255)
                    share = std::max(share, (255.0 - pixel[i]) / (255.0 - target[i]));
            bool blend = share > 0.4;
            for (int i = 0; i < 3 && blend; ++i)
                blend = std::abs(255 - share * (255 - target[i]) - pixel[i]) < 24;
            count += blend ? 1 : 0;
        }
    }
    return count;
}

// Over ASCII, a TAB and two wide characters: every column edge maps back
// to its column, with a fixed-pitch and with a proportional font.
TEST_F(ViewPaintTest, ColumnEdgesRoundTripForBothKindsOfFont) {
    for (const char* font : {"", "DejaVu Sans"}) {
        options.textFont = font;
        CIlkaView& v = MakeView("ab\t\xE3\x81\x82\xE3\x81\x84 x\n");
        ASSERT_EQ(v.Metrics().proportional, *font != '\0') << font;
        int previous = -1;
        for (int column : {0, 1, 2, 3, 7, 8, 10, 12, 13, 14}) {
            const int x = v.XOfColumn(0, column);
            EXPECT_GT(x, previous) << font << " column " << column;
            EXPECT_EQ(v.ColumnAtX(0, x), column) << font;
            EXPECT_EQ(v.ColumnAtX(0, x + 1), column) << font;
            previous = x;
        }
        // Within a wide character the nearer of its two edges counts.
        EXPECT_EQ(v.ColumnAtX(0, v.XOfColumn(0, 9) + 1), 10) << font;
        EXPECT_EQ(v.ColumnAtX(0, v.XOfColumn(0, 9) - 1), 8) << font;
        if (!v.Metrics().proportional) {
            EXPECT_EQ(v.XOfColumn(0, 10) - v.XOfColumn(0, 8), 2 * v.Metrics().cellWidth);
        }
    }
}

// A font without Japanese glyphs borrows them from another font of another
// width: the characters after them still stand in their own cells.
TEST_F(ViewPaintTest, WideCharactersNeverShiftTheRestOfTheRow) {
    options.textFont = "DejaVu Sans Mono";
    CIlkaView& wide = MakeView(
        "\xE6\x97\xA5\xE6\x9C\xAC"
        "xyz\n");
    ASSERT_FALSE(wide.Metrics().proportional);
    const QImage withWide = Render(wide);
    CIlkaView& blank = MakeView("    xyz\n");
    const QImage withBlanks = Render(blank);
    const int cell = blank.Metrics().cellWidth;
    const QRect tail(blank.XOfColumn(0, 4), blank.YOfRow(0), 3 * cell, blank.Metrics().rowHeight);
    EXPECT_EQ(withWide.copy(tail), withBlanks.copy(tail));
}

// After moving over Japanese text the caret bar stands at the cell edge
// after the last character passed, never inside one.
TEST_F(ViewPaintTest, CaretStandsAtTheCellEdgeAfterWideCharacters) {
    CIlkaView& v = MakeView(
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"
        "abc\n");
    for (int i = 0; i < 3; ++i)
        v.Editor().CaretRight();
    v.viewport()->update();
    const QImage image = Render(v);
    const int edge = v.Metrics().TextLeft(false) + 6 * v.Metrics().cellWidth;
    ASSERT_EQ(v.XOfColumn(0, v.Editor().VirtualColumn()), edge);
    const int top = v.YOfRow(0);
    const QColor text(0, 0, 0);
    const auto fullColumn = [&](int x) {
        return CountColour(image, text, QRect(x, top, 1, v.Metrics().rowHeight)) ==
               v.Metrics().rowHeight;
    };
    int firstFull = -1;
    for (int x = 0; x < image.width() && firstFull < 0; ++x)
        firstFull = fullColumn(x) ? x : -1;
    EXPECT_EQ(firstFull, edge);
}

// Line-end and end-of-text marks and the caret-line underline belong to
// the editing view; TAB marks show in both.
TEST_F(ViewPaintTest, ReadOnlyViewDrawsNoLineEndMarks) {
    options.colors.lineEnd = Rgb{255, 0, 255};
    options.colors.eof = Rgb{0, 255, 255};
    options.colors.underline = Rgb{255, 128, 0};
    options.colors.tab = Rgb{0, 255, 0};
    options.underLine = true;
    for (const bool readOnly : {false, true}) {
        CIlkaView& v = MakeView("a\tb\ncd\n");
        v.SetReadOnly(readOnly);
        const QImage image = Render(v);
        EXPECT_EQ(CountColour(image, QColor(255, 0, 255)) > 0, !readOnly) << readOnly;
        EXPECT_EQ(CountInk(image, QColor(0, 255, 255)) > 0, !readOnly) << readOnly;
        EXPECT_EQ(CountColour(image, QColor(255, 128, 0)) > 0, !readOnly) << readOnly;
        EXPECT_GT(CountColour(image, QColor(0, 255, 0)), 0) << readOnly;
    }
}

// Web and mail addresses are underlined; the words around them are not.
TEST_F(ViewPaintTest, AddressesAreUnderlined) {
    CIlkaView& v = MakeView("see http://a.example/x or taro@example.jp now\n");
    v.Editor().MoveCaretTo(0, 45);
    const QImage image = Render(v);
    const int y =
        v.YOfRow(0) + v.Metrics().ascent + std::max(1, v.Metrics().fontMetrics.underlinePos());
    const auto underlined = [&](int from, int to) {
        const int x0 = v.XOfColumn(0, from);
        return CountColour(image, QColor(0, 0, 0), QRect(x0, y, v.XOfColumn(0, to) - x0, 1));
    };
    const int cell = v.Metrics().cellWidth;
    EXPECT_EQ(underlined(0, 3), 0);
    EXPECT_EQ(underlined(4, 22), 18 * cell);
    EXPECT_EQ(underlined(22, 26), 0);
    EXPECT_EQ(underlined(26, 41), 15 * cell);
    EXPECT_EQ(underlined(41, 45), 0);
}

// A box selection covers its columns on every row, past the end of a
// short line; a stream selection ends with each line.
TEST_F(ViewPaintTest, BoxSelectionReachesPastShortLines) {
    for (const bool box : {true, false}) {
        CIlkaView& v = MakeView("abcdef\n\nabcdef\n");
        if (box) {
            v.Editor().StartBoxSelection();
            v.Editor().MoveCaretToRow(2, 4);
        } else {
            v.Editor().SelectRange({0, 0}, {2, 4});
        }
        const QImage image = Render(v);
        const QColor highlight = v.palette().color(QPalette::Highlight);
        const int cell = v.Metrics().cellWidth;
        const QRect pastShortLine(v.XOfColumn(1, 2), v.YOfRow(1), 2 * cell, v.Metrics().rowHeight);
        EXPECT_EQ(CountColour(image, highlight, pastShortLine) > 0, box) << box;
        const QRect selected(v.XOfColumn(2, 0), v.YOfRow(2), 4 * cell, v.Metrics().rowHeight);
        EXPECT_GT(CountColour(image, highlight, selected), 0) << box;
    }
}

// Moving the caret repaints the row it left, the row it reached and the
// gauge above them, even when no text changed.
TEST_F(ViewPaintTest, CaretMoveRepaintsBothRowsAndTheGauge) {
    CIlkaView& v = MakeView("abc\ndef\nghi\n");
    QApplication::processEvents();
    struct PaintRecorder : QObject {
        QRegion painted;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } recorder;
    v.viewport()->installEventFilter(&recorder);
    v.Editor().MoveCaretTo(2, 1);
    v.RunCommand(EditorCommand::kCsrLeft);
    QApplication::processEvents();
    const int x = v.XOfColumn(0, 0);
    EXPECT_TRUE(recorder.painted.contains(QPoint(x, v.YOfRow(0) + 1)));
    EXPECT_TRUE(recorder.painted.contains(QPoint(x, v.YOfRow(2) + 1)));
    EXPECT_TRUE(recorder.painted.contains(QPoint(x, 1)));
    EXPECT_FALSE(recorder.painted.contains(QPoint(x, v.YOfRow(1) + 1)));
    v.viewport()->removeEventFilter(&recorder);
}

// The input method's uncommitted text is drawn at the caret and stays out
// of the text.
TEST_F(ViewPaintTest, PreeditIsDrawnButNotTyped) {
    CIlkaView& v = MakeView("abc\n");
    const QImage before = Render(v);
    QInputMethodEvent preedit(QString::fromUtf8("\xE3\x81\xAB\xE3\x81\xBB"), {});
    QApplication::sendEvent(&v, &preedit);
    const QImage during = Render(v);
    const QRect caretRow(v.XOfColumn(0, 0), v.YOfRow(0), 4 * v.Metrics().cellWidth,
                         v.Metrics().rowHeight);
    EXPECT_NE(before.copy(caretRow), during.copy(caretRow));
    EXPECT_EQ(v.Editor().Text(), "abc\n");
}

}  // namespace
}  // namespace corvina::test
