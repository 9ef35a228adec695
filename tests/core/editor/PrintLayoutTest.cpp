#include "editor/PrintLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingEditorHost.h"
#include "common/CodePage.h"
#include "editor/EditorOptions.h"
#include "message/MailMessage.h"

namespace corvina {
namespace {

TEST(PrintTemplate, CodesExpand) {
    std::tm when{};
    when.tm_year = 126;
    when.tm_mon = 11;
    when.tm_mday = 9;
    when.tm_hour = 14;
    when.tm_min = 5;
    when.tm_sec = 9;
    struct Case {
        std::string pattern;
        std::string subject, from;
        std::string expected;
    };
    const Case cases[] = {
        {"&f - page &p", "Hello", "", "Hello - page 7"},
        {"a&&b &&p", "", "", "a&b &p"},
        {"&d&t", "", "", "2026/12/09 14:05:09"},
        // The subject and the sender stand in as "Untitled" when empty,
        // except through "&w".
        {"[&f][&n][&w]", "", "", "[Untitled][Untitled][]"},
        {"[&f][&n][&w]", "S", "F", "[S][F][S]"},
        // Other codes vanish with their "&", a trailing "&" too; a field's
        // TAB or line end prints as a blank.
        {"x&y&Z&", "", "", "x"},
        {"&w", "a\tb\nc", "", "a b c"},
    };
    const CodePage& cp = CodePage::Get(65001);
    for (const Case& c : cases) {
        const PrintTemplateFields fields{c.subject, c.from, when, 7};
        EXPECT_EQ(ExpandPrintTemplate(c.pattern, fields, cp), c.expected) << c.pattern;
    }
}

TEST(PrintTemplate, WideCharactersStayWhole) {
    const CodePage& sjis = CodePage::Get(932);
    PrintTemplateFields fields;
    // A wide character after "&" goes whole, not leaving its trail byte.
    EXPECT_EQ(ExpandPrintTemplate(sjis.FromUtf8("&あb"), fields, sjis), "b");
    // The 2,048-byte cap never cuts a character in two.
    fields.subject = "x";
    for (int i = 0; i < 1100; ++i) {
        fields.subject += sjis.FromUtf8("あ");
    }
    const std::string expanded = ExpandPrintTemplate("&f", fields, sjis);
    EXPECT_EQ(expanded.size(), kMaxPrintTemplateBytes - 1);
    EXPECT_EQ(expanded, fields.subject.substr(0, kMaxPrintTemplateBytes - 1));
}

TEST(PrintHeaderLines, CcOnlyWhenPresent) {
    MailMessage message;
    message.date = "Wed, 09 Dec 2026 14:05:09 +0900";
    message.from = "Ann <ann@example.org>";
    message.subject = "Plans";
    EXPECT_EQ(PrintHeaderLines(message),
              (std::vector<std::string>{"Date: Wed, 09 Dec 2026 14:05:09 +0900",
                                        "From: Ann <ann@example.org>", "Subject: Plans"}));
    message.cc = "bob@example.org";
    const std::vector<std::string> lines = PrintHeaderLines(message);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "Cc: bob@example.org");
}

TEST(PrintLayout, Alignment) {
    struct Case {
        int alignment, textWidth, expected;
    };
    // Between 100 and 500, a character 10 wide.
    const Case cases[] = {
        {0, 100, 100}, {1, 100, 250},  {2, 100, 390},
        {5, 100, 100}, {-1, 100, 100}, {1, 600, 100},  // wider than the room: from the left edge
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AlignedX(c.alignment, 100, 500, c.textWidth, 10), c.expected) << c.alignment;
    }
}

// A page of 2000 x 2900 pixels on 200 x 290 mm (10 pixels a millimetre),
// a font 40 pixels high with characters 20 wide.
PrintDevice TestDevice() {
    return {.width = 2000,
            .height = 2900,
            .widthMm = 200,
            .heightMm = 290,
            .dpiY = 254,
            .screenDpiY = 96,
            .fontHeight = 40,
            .charWidth = 20};
}

TEST(PrintLayout, PageGeometry) {
    struct Case {
        const char* what;
        int packPrint = 0;
        int screenWrap = 80;
        int headerLines = 3;
        int widthPixels = 2000;
        int spacing = 0;
        int dpiY = 254;
        // expected
        int margin = 100, lineHeight = 40, wrap = 80, columns = 1, rows = 61;
    };
    const Case cases[] = {
        // 1800 pixels hold 90 characters: 88 columns, more than the screen's.
        {.what = "screen wrap", .screenWrap = 80},
        {.what = "print wrap", .screenWrap = 100, .wrap = 88},
        {.what = "two columns", .packPrint = 1, .wrap = 43, .columns = 2},
        {.what = "negative pack", .packPrint = -3},
        // (2900 - 100 - 40 - 100 - 4 x 40) / 40 - 2
        {.what = "Cc line", .headerLines = 4, .rows = 60},
        // 11.8 pixels a millimetre count as 11.
        {.what = "whole mm", .screenWrap = 200, .widthPixels = 2362, .margin = 110, .wrap = 105},
        // 3 screen pixels at 288 dpi are 9 printer pixels.
        {.what = "spacing", .spacing = 3, .dpiY = 288, .lineHeight = 49, .rows = 49},
    };
    for (const Case& c : cases) {
        PrintDevice device = TestDevice();
        device.width = c.widthPixels;
        device.dpiY = c.dpiY;
        EditorOptions options;
        options.packPrint = c.packPrint;
        options.printSpacing = c.spacing;
        const std::optional<PageLayout> page =
            LayOutPage(device, options, c.screenWrap, c.headerLines);
        ASSERT_TRUE(page) << c.what;
        EXPECT_EQ(page->marginLeft, c.margin) << c.what;
        EXPECT_EQ(page->marginRight, c.margin) << c.what;
        EXPECT_EQ(page->lineHeight, c.lineHeight) << c.what;
        EXPECT_EQ(page->wrapWidth, c.wrap) << c.what;
        EXPECT_EQ(page->columns, c.columns) << c.what;
        EXPECT_EQ(page->rowsPerColumn, c.rows) << c.what;
        // The rows and the footer stay inside the margins.
        EXPECT_LE(page->RowTop(page->rowsPerColumn), page->footerTop) << c.what;
        EXPECT_EQ(page->footerTop + page->lineHeight, device.height - page->marginBottom);
    }
}

TEST(PrintLayout, PagesAndRefusals) {
    EditorOptions options;
    options.packPrint = 1;
    const std::optional<PageLayout> page = LayOutPage(TestDevice(), options, 80, 3);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->RowsPerPage(), 122);
    EXPECT_EQ(page->FirstRowOfPage(1), 0);
    EXPECT_EQ(page->FirstRowOfPage(3), 244);
    EXPECT_EQ(page->PageCount(0), 1);
    EXPECT_EQ(page->PageCount(122), 1);
    EXPECT_EQ(page->PageCount(123), 2);

    // Pages that cannot hold a row: margins over the height, a column too
    // narrow for a character, a device without a size.
    EditorOptions tall;
    tall.printTop = tall.printBottom = 140;
    EditorOptions packed;
    packed.packPrint = 100000;
    PrintDevice sizeless = TestDevice();
    sizeless.widthMm = 0;
    EXPECT_FALSE(LayOutPage(TestDevice(), tall, 80, 3));
    EXPECT_FALSE(LayOutPage(TestDevice(), packed, 80, 3));
    EXPECT_FALSE(LayOutPage(sizeless, EditorOptions{}, 80, 3));
}

// Every row of the text as printed, each row's end shown by "|", a bold
// cell followed by "*".
std::vector<std::string> PrintedRows(test::TestEditor& t, int wrap) {
    PrintRows rows(t.editor, t.options, wrap);
    std::vector<std::string> out;
    DisplayRow row;
    for (long i = 0; i < rows.Count(); ++i) {
        rows.Build(i, row);
        std::string text;
        for (std::size_t cell = 0; cell < row.cells.size(); ++cell) {
            text += row.TextOf(cell);
            text += row.cells[cell].bold ? "*" : "";
        }
        out.push_back(text + "|");
    }
    return out;
}

TEST(PrintRows, RowsArePaddedToTheWrapWidth) {
    struct Case {
        int codePage;
        std::string body;  // UTF-8
        int wrap;
        std::vector<std::string> rows;  // as painted: UTF-8
    };
    const Case cases[] = {
        {932, "a\tb\n", 6, {"a   b |"}},
        {65001, "a\x01z\x7f\n", 5, {"a z  |"}},
        // A wide character moves to the next row; one that cannot fit the
        // only column prints blank.
        {932, "abcdあ\n", 5, {"abcd |", "あ   |"}},
        {65001, "あい\n", 1, {" |", " |", " |"}},
        // A line that fills its row leaves its line end on a row of its own.
        {932, "abc\nde\n", 3, {"abc|", "   |", "de |"}},
    };
    for (const Case& c : cases) {
        EditorOptions options;
        options.defaultTab = 4;
        test::TestEditor t(CodePage::Get(c.codePage).FromUtf8(c.body), c.codePage, options);
        EXPECT_EQ(PrintedRows(t, c.wrap), c.rows) << c.body;
    }
}

TEST(PrintRows, MarkedLinesBoldAndTheViewUntouched) {
    test::TestEditor t("ab\ncd\nef\n");
    t.editor.SetLineMarked(1, true);
    t.editor.MoveCaretTo(2, 1);
    const long viewRows = t.editor.TotalRows();
    EXPECT_EQ(PrintedRows(t, 3), (std::vector<std::string>{"ab |", "c*d* *|", "ef |"}));
    EXPECT_EQ(t.editor.TotalRows(), viewRows);
    EXPECT_EQ(t.editor.WrapWidth(), 80);
    EXPECT_EQ(t.editor.Caret(), (TextPlace{2, 1}));
}

}  // namespace
}  // namespace corvina
