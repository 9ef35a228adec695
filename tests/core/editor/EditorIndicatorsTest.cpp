#include "editor/EditorIndicators.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/CodePage.h"

namespace corvina {
namespace {

TEST(EditorIndicators, LineNumbersAndPosition) {
    EXPECT_EQ(LineNumberText(true, 41, 7, false), "    42:");
    EXPECT_EQ(LineNumberText(false, 41, 7, true), "     8:");
    EXPECT_EQ(LineNumberText(false, 42, 7, false), "      :");
    // Only the last six digits show; the position indicator counts modulo
    // 1,000,000, so row and line 1,000,000 show as 0.
    EXPECT_EQ(LineNumberText(true, 1234567, 0, true), "234568:");
    EXPECT_EQ(PositionText(1233, 71, 455, true), "[  1234 : 72] #456   ");
    EXPECT_EQ(PositionText(999999, 0, 999999, true), "[     0 :  1] #0     ");
    EXPECT_EQ(PositionText(5, 5, 5, false), std::string(21, ' '));
}

TEST(EditorIndicators, ColumnGauge) {
    const std::string hundred =
        "----+----1----+----2----+----3----+----4----+----5----+----6----+----7----+----8"
        "----+----9----+----0";
    const struct {
        int left, visible, wrap;
        bool lineNumbers;
        int caret;
        std::string text;
        int caretIndex;
    } cases[] = {
        {0, 12, 80, true, 11, ">>>>>> ----+----1--", 18},
        // From the left column modulo 100, repeated, never past the wrap.
        {95, 10, 200, false, 100, "----0----+", 5},
        {70, 40, 80, false, 85, "----+----8", -1},
        {0, 200, 100, false, 99, hundred, 99},
        {90, 10, 80, true, 90, ">>>>>> ", -1},
        {5, 10, 80, false, 4, "----1----+", -1},
    };
    for (const auto& c : cases) {
        const ColumnGauge gauge =
            MakeColumnGauge(c.left, c.visible, c.wrap, c.lineNumbers, c.caret);
        EXPECT_EQ(gauge.text, c.text) << c.left;
        EXPECT_EQ(gauge.caretIndex, c.caretIndex) << c.left;
    }
}

// The code at every character of a line, walked as the code page reads it.
TEST(EditorIndicators, CharacterCode) {
    const struct {
        int codePage;
        std::string line;
        std::vector<std::string> codes;
    } cases[] = {
        // A lead byte without its trail byte is a byte of its own.
        {932, "\x82\xa0\x41\xb1\x82\n", {"82A0h", "  41h", "  B1h", "  82h", "0D0Ah"}},
        {65001,
         "\xe6\x97\xa5\x41\xf0\x9f\x98\x80\xff\n",
         {"U+65E5", "U+0041", "U+1F600", "  FFh", "0D0Ah"}},
        {1252, "\xe9\t\n", {"  E9h", "  09h", "0D0Ah"}},
    };
    for (const auto& c : cases) {
        const CodePage& cp = CodePage::Get(c.codePage);
        std::vector<std::string> codes;
        for (std::size_t pos = 0; pos < c.line.size(); pos += cp.CharLength(c.line, pos)) {
            codes.push_back(CharacterCodeText(c.line, pos, false, cp));
        }
        EXPECT_EQ(codes, c.codes) << c.codePage;
        EXPECT_EQ(CharacterCodeText(c.line, c.line.size() - 1, true, cp), "[EOF]");
        EXPECT_EQ(CharacterCodeText(c.line, c.line.size(), true, cp), "");
    }
}

}  // namespace
}  // namespace corvina
