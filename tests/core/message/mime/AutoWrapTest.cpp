#include "message/mime/AutoWrap.h"

#include <gtest/gtest.h>

#include "common/CodePage.h"

namespace corvina {
namespace {

using Lines = std::vector<std::string>;

std::string Strip(const std::string& piece) {
    return piece.substr(0, piece.size() - 1);
}

TEST(AutoWrapLine, ShortLinesAndWordBreaks) {
    const CodePage& cp = CodePage::Get(CodePage::kUtf8);
    LineBreakSets sets = LineBreakSets::Defaults(cp);
    EXPECT_EQ(AutoWrapLine("short\n", sets, cp), (Lines{"short\n"}));
    EXPECT_EQ(AutoWrapLine("", sets, cp), (Lines{"\n"}));

    // 70 letters, a blank, then a long word: the word moves to the next line.
    std::string line = std::string(70, 'a') + " " + std::string(15, 'b');
    Lines out = AutoWrapLine(line, sets, cp);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], std::string(70, 'a') + " \n");
    EXPECT_EQ(out[1], std::string(15, 'b') + "\n");

    // A word without a blank in the last 20 characters breaks at the limit.
    out = AutoWrapLine(std::string(100, 'x'), sets, cp);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].size(), 78u);  // 77 columns, then LF
    EXPECT_EQ(out[1], std::string(23, 'x') + "\n");
}

TEST(AutoWrapLine, PunctuationHangsAndOpeningBracketsMove) {
    const CodePage& cp = CodePage::Get(CodePage::kUtf8);
    LineBreakSets sets = LineBreakSets::Defaults(cp);
    // A "bura" character may sit in columns 77 and 78.
    std::string base(77, '-');
    Lines out = AutoWrapLine(base + ".." + "z", sets, cp);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(Strip(out[0]), base + "..");
    EXPECT_EQ(Strip(out[1]), "z");
    // An "oida" character past column 75 starts the next line.
    out = AutoWrapLine(std::string(76, '-') + "(x)", sets, cp);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(Strip(out[1]), "(x)");
    // Other characters break before themselves; blanks at the start of the
    // new line are dropped.
    out = AutoWrapLine(std::string(77, '-') + "   +", sets, cp);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(Strip(out[1]), "+");
    // Tabs advance to the next multiple of 8.
    out = AutoWrapLine("\t\t\t\t\t\t\t\t\t\tx", sets, cp);
    ASSERT_EQ(out.size(), 2u);
}

TEST(AutoWrapLine, WideCharacters) {
    const CodePage& cp = CodePage::Get(CodePage::kShiftJis);
    LineBreakSets sets = LineBreakSets::Defaults(cp);
    std::string a = "\x82\xA0";  // hiragana A, two columns
    std::string text;
    for (int i = 0; i < 50; ++i) {
        text += a;
    }
    Lines out = AutoWrapLine(text, sets, cp);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].size(), 2u * 39 + 1);  // placed below column 75, then once more at 76
    // The ideographic full stop may hang at column 77.
    std::string line = std::string(77, '-') + cp.FromUtf8("。") + "x";
    out = AutoWrapLine(line, sets, cp);
    EXPECT_EQ(Strip(out[0]), std::string(77, '-') + cp.FromUtf8("。"));
    // An opening bracket from column 75 on starts a new line.
    out = AutoWrapLine(std::string(75, '-') + cp.FromUtf8("「"), sets, cp);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(Strip(out[1]), cp.FromUtf8("「"));
    // No piece ever splits a character.
    for (const std::string& piece : AutoWrapLine(text + "abc" + text, sets, cp)) {
        std::string_view v(piece);
        v.remove_suffix(1);
        std::size_t pos = 0;
        while (pos < v.size()) {
            pos += static_cast<std::size_t>(cp.CharLength(v, pos));
        }
        EXPECT_EQ(pos, v.size());
    }
}

TEST(LineBreakSets, SingleBytePagesKeepOnlyAscii) {
    const CodePage& cp = CodePage::Get(CodePage::kWestern);
    LineBreakSets sets = LineBreakSets::Defaults(cp);
    EXPECT_EQ(sets.ankOida, "([{");
    EXPECT_EQ(sets.ankBura, ")]},.?!\"'");
    EXPECT_TRUE(sets.dbcsBura.empty());
    EXPECT_TRUE(SetHoldsChar(sets.ankBura, ",", cp));
    EXPECT_FALSE(SetHoldsChar(sets.ankBura, "\xDF", cp));
    const CodePage& sjis = CodePage::Get(CodePage::kShiftJis);
    EXPECT_TRUE(SetHoldsChar(LineBreakSets::Defaults(sjis).ankBura, "\xDF", sjis));
}

}  // namespace
}  // namespace corvina
