#include "editor/RowContent.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/CodePage.h"
#include "common/Utf8.h"

namespace corvina {
namespace {

// Start of display row `row` of `line`.
std::size_t RowStart(std::string_view line, int row, const RowMetrics& m) {
    std::size_t start = 0;
    for (int i = 0; i < row; ++i) {
        start = NextRowStart(line, start, m);
    }
    return start;
}

// The row as text, each mark shown by a symbol of its own.
std::string Picture(const DisplayRow& row) {
    static const char* const kMarks[] = {"", "→", "↵", "□", "◀"};
    std::string out;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        const auto mark = static_cast<std::size_t>(row.cells[i].mark);
        out += mark == 0 ? row.TextOf(i) : kMarks[mark];
    }
    return out;
}

struct RowCase {
    int codePage = 932;
    std::string line;  // UTF-8, converted to the code page
    int row = 0;
    int left = 0;
    int columns = 80;
    int wrap = 80;
    int tab = 8;
    bool lastLine = false;
    bool readOnly = false;
    bool printing = false;
    bool crDisplay = true;
    bool eofDisplay = true;
    bool tabDisplay = true;
    std::string picture;
};

TEST(RowContent, CharactersAndMarks) {
    const RowCase cases[] = {
        {.line = "a\tb\n", .tab = 4, .picture = "a→  b↵"},
        {.line = "a\tb\n", .tab = 4, .tabDisplay = false, .picture = "a   b↵"},
        {.line = "a\tb\n", .tab = 4, .readOnly = true, .picture = "a→  b "},
        // Line ends: marks only in an editing view with the switches on.
        {.line = "ab\n", .lastLine = true, .picture = "ab◀"},
        {.line = "ab\n", .readOnly = true, .picture = "ab "},
        {.line = "ab\n", .lastLine = true, .readOnly = true, .picture = "ab "},
        {.line = "ab\n", .crDisplay = false, .picture = "ab "},
        {.line = "ab\n", .lastLine = true, .crDisplay = false, .picture = "ab◀"},
        {.line = "ab\n", .lastLine = true, .eofDisplay = false, .picture = "ab "},
        // Control bytes show as the letter 0x40 higher.
        {.line = "a\x01\x1b\x7f\n", .picture = "aA[?↵"},
        {.line = "a\x01\t\n", .tab = 4, .printing = true, .picture = "a    "},
        // The full-width space is a mark while editing only.
        {.line = "あ　い\n", .picture = "あ□い↵"},
        {.codePage = 65001, .line = "あ　い\n", .picture = "あ□い↵"},
        {.line = "あ　い\n", .readOnly = true, .picture = "あ　い "},
        {.line = "あ　い\n", .printing = true, .picture = "あ　い "},
        // A wide character cut by the left column shows a space for its
        // visible half; so does one cut by the right edge.
        {.line = "日本\n", .left = 1, .picture = " 本↵"},
        {.codePage = 65001, .line = "日本\n", .left = 1, .picture = " 本↵"},
        {.line = "abc日\n", .columns = 4, .picture = "abc "},
        // A TAB before the wrap width draws its mark and ends the row.
        {.line = "012345678\tX\n", .wrap = 10, .picture = "012345678→"},
        {.line = "012345678\tX\n", .row = 1, .wrap = 10, .picture = "X↵"},
        // A TAB cut by the left column keeps only its blank part.
        {.line = "\tab\n", .left = 2, .picture = "      ab↵"},
        // The LF after a full row stands on a row of its own.
        {.line = "abcdef\n", .row = 2, .wrap = 3, .picture = "↵"},
        {.codePage = 65001, .line = "e\u0301x\n", .picture = "e\u0301x↵"},
    };
    EditorOptions options;
    for (const RowCase& c : cases) {
        const CodePage& cp = CodePage::Get(c.codePage);
        options.crDisplay = c.crDisplay;
        options.eofDisplay = c.eofDisplay;
        options.tabDisplay = c.tabDisplay;
        const RowMetrics metrics{&cp, c.tab, c.wrap};
        RowContent content(options, nullptr, metrics, {c.readOnly, c.printing, true});
        const std::string line = cp.FromUtf8(c.line);
        DisplayRow row;
        content.Build({line, RowStart(line, c.row, metrics), c.left, c.columns, c.lastLine, false},
                      row);
        EXPECT_EQ(Picture(row), c.picture) << c.codePage << " " << c.line << " row " << c.row;
    }
}

TEST(RowContent, ColoursAndWeights) {
    const CodePage& cp = CodePage::Get(932);
    KeywordTable keywords;
    ASSERT_TRUE(keywords.Load(test::DataPath("editor/keywords/groups-and-colours.kwd"), cp));
    // Every colour told apart: keyword colour i shows as its hex digit,
    // the roles as letters; a bold cell is followed by "*".
    EditorOptions options;
    EditorColors& col = options.colors;
    const std::string roles = "tmTcle";
    Rgb* const roleColours[] = {&col.text,    &col.mark,    &col.tab,
                                &col.control, &col.lineEnd, &col.eof};
    for (std::uint8_t i = 0; i < 16; ++i) {
        col.keyword[i] = {i, 1, 1};
        if (i < roles.size()) {
            *roleColours[i] = {i, 2, 2};
        }
    }
    RowContent content(options, &keywords, {&cp, 8, 80}, {});
    const auto picture = [&](std::string_view line, bool marked, bool last = false,
                             std::size_t rowStart = 0) {
        DisplayRow row;
        content.Build({line, rowStart, 0, 80, last, marked}, row);
        std::string out;
        for (const DisplayCell& cell : row.cells) {
            out += cell.colour.green == 1 ? "0123456789ABCDEF"[cell.colour.red]
                                          : roles[cell.colour.red];
            out += cell.bold ? "*" : "";
        }
        return out;
    };
    EXPECT_EQ(picture("From x\t\x01\n", false), "1111ttTtcl");
    EXPECT_EQ(picture("Subject\n", false, true), "BBBBBBBe");
    // A marked line shows its text in the mark colour, keywords included.
    EXPECT_EQ(picture("From x\n", true), "mmmmmml");
    // One object paints line after line; an edit of the same length shows.
    EXPECT_EQ(picture("Frog\n", false), "ttttl");
    // A keyword wrapped onto the next row keeps its colour there.
    content.SetMetrics({&cp, 8, 4});
    EXPECT_EQ(picture("Subject\n", false, false, 4), "BBBl");
    content.SetMetrics({&cp, 8, 80});

    options.keyBold = true;
    EXPECT_EQ(picture("cc x\n", false), "8*8*ttl");
    content.SetStyle({false, false, false});
    EXPECT_EQ(picture("cc x\n", false), "88ttl");
    options.keyWords = false;
    EXPECT_EQ(picture("cc x\n", false), "ttttl");
}

// Any bytes in any code page: cells never exceed the visible width, hold
// 1 or 2 columns and valid UTF-8, and follow the column rules.
TEST(RowContent, AnyBytesAreSafe) {
    std::mt19937 random(20261208);
    const char alphabet[] = "ab \t\n\x01\x7f\x81\x40\x82\xa0\xe3\x80\x80\xe6\x97\xa5\xcc\x81\xff";
    KeywordTable keywords;
    ASSERT_TRUE(keywords.Load(test::DataPath("editor/keywords/groups-and-colours.kwd"),
                              CodePage::Get(932)));
    EditorOptions options;
    for (int codePage : {932, 65001, 1252}) {
        const RowMetrics metrics{&CodePage::Get(codePage), 4, 7};
        RowContent content(options, &keywords, metrics, {});
        DisplayRow row;
        for (int n = 0; n < 400; ++n) {
            std::string line;
            const int length = static_cast<int>(random() % 40);
            for (int i = 0; i < length; ++i) {
                line += alphabet[random() % (sizeof alphabet - 1)];
            }
            if (random() % 4 != 0) {
                line += '\n';
            }
            for (std::size_t start = 0; start < line.size();) {
                const int left = static_cast<int>(random() % 4);
                const int columns = 1 + static_cast<int>(random() % 8);
                content.Build({line, start, left, columns, n % 2 == 0, n % 3 == 0}, row);
                EXPECT_LE(row.Columns(), columns);
                for (std::size_t i = 0; i < row.cells.size(); ++i) {
                    const std::string_view text = row.TextOf(i);
                    EXPECT_TRUE(row.cells[i].columns == 1 || row.cells[i].columns == 2);
                    EXPECT_FALSE(text.empty());
                    EXPECT_EQ(utf8::Sanitize(text), text);
                }
                const std::size_t next = NextRowStart(line, start, metrics);
                if (left == 0 && next != std::string_view::npos) {
                    const int rowColumns = ColumnOf(line, start, next, metrics);
                    EXPECT_EQ(row.Columns(), std::min({rowColumns, columns, metrics.wrapWidth}));
                }
                start = next;
            }
        }
    }
}

}  // namespace
}  // namespace corvina
