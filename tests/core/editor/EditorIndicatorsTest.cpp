#include "editor/EditorIndicators.h"

#include <gtest/gtest.h>

#include <string>

#include "common/CodePage.h"

namespace corvina {
namespace {

TEST(EditorIndicators, LineNumbers) {
    struct Case {
        bool countDisplayRows;
        long displayRow, logicalLine;
        bool firstRow;
        std::string text;
    };
    const Case cases[] = {
        {true, 0, 0, true, "     1:"},
        {true, 41, 7, false, "    42:"},
        // Only the last six digits show.
        {true, 999999, 0, true, "000000:"},
        {true, 1234567, 0, true, "234568:"},
        {false, 41, 7, true, "     8:"},
        {false, 42, 7, false, "      :"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LineNumberText(c.countDisplayRows, c.displayRow, c.logicalLine, c.firstRow),
                  c.text);
    }
}

TEST(EditorIndicators, ColumnGauge) {
    struct Case {
        int left, visible, wrap;
        bool lineNumbers;
        int caret;
        std::string text;
        int caretIndex;
    };
    const Case cases[] = {
        {0, 12, 80, false, 3, "----+----1--", 3},
        {0, 12, 80, true, 11, ">>>>>> ----+----1--", 18},
        // From the left column modulo 100, repeated.
        {95, 10, 200, false, 100, "----0----+", 5},
        // Never past the wrap width.
        {70, 40, 80, false, 85, "----+----8", -1},
        {0, 200, 100, false, 99,
         std::string("----+----1----+----2----+----3----+----4----+----5") +
             "----+----6----+----7----+----8----+----9----+----0",
         99},
        {90, 10, 80, true, 90, ">>>>>> ", -1},
        {5, 10, 80, false, 4, "----1----+", -1},
    };
    for (const Case& c : cases) {
        const ColumnGauge gauge =
            MakeColumnGauge(c.left, c.visible, c.wrap, c.lineNumbers, c.caret);
        EXPECT_EQ(gauge.text, c.text) << c.left;
        EXPECT_EQ(gauge.caretIndex, c.caretIndex) << c.left;
    }
}

TEST(EditorIndicators, PositionIndicator) {
    EXPECT_EQ(PositionText(0, 0, 0, true), "[     1 :  1] #1     ");
    EXPECT_EQ(PositionText(1233, 71, 455, true), "[  1234 : 72] #456   ");
    // Row and line 1,000,000 show as 0.
    EXPECT_EQ(PositionText(999999, 0, 999999, true), "[     0 :  1] #0     ");
    EXPECT_EQ(PositionText(1000000, 0, 1000000, true), "[     1 :  1] #1     ");
    EXPECT_EQ(PositionText(5, 5, 5, false), std::string(21, ' '));
}

TEST(EditorIndicators, CharacterCode) {
    struct Case {
        int codePage;
        std::string line;
        std::size_t pos;
        bool lastLine;
        std::string text;
    };
    const Case cases[] = {
        {932,
         "\x82\xa0"
         "A\xb1\n",
         0, false, "82A0h"},
        {932,
         "\x82\xa0"
         "A\xb1\n",
         2, false, "  41h"},
        {932,
         "\x82\xa0"
         "A\xb1\n",
         3, false, "  B1h"},
        {932, "A\n", 1, false, "0D0Ah"},
        {932, "A\n", 1, true, "[EOF]"},
        // A lead byte without its trail byte is a byte of its own.
        {932, "\x82\n", 0, false, "  82h"},
        {65001,
         "\xe6\x97\xa5"
         "A\xf0\x9f\x98\x80\xff\n",
         0, false, "U+65E5"},
        {65001,
         "\xe6\x97\xa5"
         "A\xf0\x9f\x98\x80\xff\n",
         3, false, "U+0041"},
        {65001,
         "\xe6\x97\xa5"
         "A\xf0\x9f\x98\x80\xff\n",
         4, false, "U+1F600"},
        {65001,
         "\xe6\x97\xa5"
         "A\xf0\x9f\x98\x80\xff\n",
         8, false, "  FFh"},
        {65001, "\n", 0, false, "0D0Ah"},
        {65001, "\n", 0, true, "[EOF]"},
        {1252, "\xe9\t\n", 0, false, "  E9h"},
        {1252, "\xe9\t\n", 1, false, "  09h"},
        {1252, "\xe9\t\n", 3, false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CharacterCodeText(c.line, c.pos, c.lastLine, CodePage::Get(c.codePage)), c.text)
            << c.codePage << " at " << c.pos;
    }
}

}  // namespace
}  // namespace corvina
