#include "editor/ParagraphCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/CodePage.h"

namespace corvina {
namespace {

using Lines = std::vector<std::string>;

const int kJapanesePages[] = {CodePage::kShiftJis, CodePage::kUtf8};

// Test texts are written in UTF-8 and carried into the page under test.
Lines In(int page, const Lines& utf8Lines) {
    Lines out;
    for (const std::string& line : utf8Lines) {
        out.push_back(CodePage::Get(page).FromUtf8(line));
    }
    return out;
}

Lines Convert(int page, const Lines& utf8Lines, ConvertChoice choice, int tabWidth = 8) {
    return ConvertLines(In(page, utf8Lines), choice, CodePage::Get(page), tabWidth);
}

ConvertChoice CaseChoice(CaseConversion conversion) {
    ConvertChoice choice;
    choice.letterCase = conversion;
    return choice;
}

ConvertChoice WidthChoice(WidthConversion conversion) {
    ConvertChoice choice;
    choice.width = conversion;
    return choice;
}

TEST(ParagraphCommands, CaseConversions) {
    using C = CaseConversion;
    struct Case {
        int page;
        CaseConversion conversion;
        const char* text;
        const char* expected;
    } cases[] = {
        {CodePage::kWestern, C::kUpperAll, "Hello, world 42", "HELLO, WORLD 42"},
        {CodePage::kWestern, C::kLowerAll, "Hello, WORLD", "hello, world"},
        {CodePage::kWestern, C::kUpperTopOfLine, "  hello WORLD. again", "  Hello world. again"},
        {CodePage::kWestern, C::kUpperTopOfLine, "1st LINE", "1st line"},
        {CodePage::kWestern, C::kUpperTopOfWord, "don't STOP-me now", "Don't Stop-Me Now"},
        // The letters a single-byte page holds, through its own table.
        {CodePage::kWestern, C::kUpperAll, "café crème", "CAFÉ CRÈME"},
        // µ has no upper case in windows-1252: it stays.
        {CodePage::kWestern, C::kUpperAll, "µm", "µM"},
        // Shift_JIS: ASCII and full-width Latin; a trail byte that looks
        // like an ASCII letter (ア is 83 41, ヂ is 83 61) never changes.
        {CodePage::kShiftJis, C::kUpperAll, "ａｂｃ abc アヂ漢字", "ＡＢＣ ABC アヂ漢字"},
        {CodePage::kShiftJis, C::kLowerAll, "ＡＢＣ ABC アヂ", "ａｂｃ abc アヂ"},
        {CodePage::kShiftJis, C::kUpperTopOfWord, "ｗｏｒｄ　ｗｏｒｄ", "Ｗｏｒｄ　Ｗｏｒｄ"},
        // UTF-8: the letters of every script.
        {CodePage::kUtf8, C::kUpperAll, "café σοφία привет ａ", "CAFÉ ΣΟΦΊΑ ПРИВЕТ Ａ"},
        {CodePage::kUtf8, C::kLowerAll, "ÉCOLE ΣΟΦΊΑ", "école σοφία"},
        {CodePage::kUtf8, C::kUpperTopOfWord, "élan vital 漢字です", "Élan Vital 漢字です"},
        {CodePage::kUtf8, C::kUpperTopOfLine, "ÉCOLE NORMALE", "École normale"},
        // Kana and kanji form no words of their own: Latin right after them starts one.
        {CodePage::kUtf8, C::kUpperTopOfWord, "漢字abc straße", "漢字Abc Straße"},
        {CodePage::kShiftJis, C::kUpperTopOfWord, "日本ｗｏｒｄ", "日本Ｗｏｒｄ"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Convert(c.page, {c.text}, CaseChoice(c.conversion)), In(c.page, {c.expected}))
            << c.page << " " << c.text;
    }
}

TEST(ParagraphCommands, WidthConversionsBothWays) {
    struct Case {
        const char* narrow;
        const char* wide;
    } cases[] = {
        {"ABC xyz 123!~\\", "ＡＢＣ　ｘｙｚ　１２３！～＼"},
        // Voiced marks are split off and joined again.
        {"ｶﾞｷﾞﾊﾟｳﾞｱｯｰ｡", "ガギパヴアッー。"},
        {"ﾂﾞﾃﾞﾄﾞﾊﾞﾋﾟ", "ヅデドバピ"},
    };
    for (int page : kJapanesePages) {
        for (const Case& c : cases) {
            EXPECT_EQ(Convert(page, {c.wide}, WidthChoice(WidthConversion::kMbcsToSbcs)),
                      In(page, {c.narrow}))
                << page << " " << c.wide;
            EXPECT_EQ(Convert(page, {c.narrow}, WidthChoice(WidthConversion::kSbcsToMbcs)),
                      In(page, {c.wide}))
                << page << " " << c.narrow;
        }
        // Hiragana, kanji and kana without a half-width form stay; a mark
        // that follows a kana that takes none stays a mark of its own.
        EXPECT_EQ(Convert(page, {"あ漢ヰヶ"}, WidthChoice(WidthConversion::kMbcsToSbcs)),
                  In(page, {"あ漢ヰヶ"}));
        EXPECT_EQ(Convert(page, {"ｱﾞﾊﾟ"}, WidthChoice(WidthConversion::kSbcsToMbcs)),
                  In(page, {"ア゛パ"}));
    }
    // A single-byte page holds no wide characters: nothing changes.
    EXPECT_EQ(Convert(CodePage::kWestern, {"ABC"}, WidthChoice(WidthConversion::kSbcsToMbcs)),
              Lines{"ABC"});
}

TEST(ParagraphCommands, TabsAndSpaces) {
    ConvertChoice toSpace;
    toSpace.spacing = SpacingConversion::kTabToSpace;
    ConvertChoice toTab;
    toTab.spacing = SpacingConversion::kSpaceToTab;
    for (int page : kJapanesePages) {
        // TAB stops count display columns: a kanji takes two.
        EXPECT_EQ(Convert(page, {"a\tb\tc", "漢\tx", "\t"}, toSpace, 4),
                  In(page, {"a   b   c", "漢  x", "    "}));
        EXPECT_EQ(Convert(page, {"a   b", "abc b", "a      b", "漢  x", "x  "}, toTab, 4),
                  In(page, {"a\tb", "abc b", "a\t   b", "漢\tx", "x  "}));
    }
}

TEST(ParagraphCommands, SortOrders) {
    const Lines lines = {"b", "a", "C", "c", "A"};
    struct Case {
        bool descending;
        bool ignoreCase;
        Lines expected;
    } cases[] = {
        {false, false, {"A", "C", "a", "b", "c"}},
        {true, false, {"c", "b", "a", "C", "A"}},
        // Equal keys keep their order, both ways.
        {false, true, {"a", "A", "b", "C", "c"}},
        {true, true, {"C", "c", "b", "a", "A"}},
    };
    for (const Case& c : cases) {
        SortChoice choice;
        choice.descending = c.descending;
        choice.ignoreCase = c.ignoreCase;
        EXPECT_EQ(SortLines(lines, {}, choice, CodePage::Get(CodePage::kWestern)), c.expected);
    }
    // Kana before kanji, in the byte order of both pages.
    for (int page : kJapanesePages) {
        EXPECT_EQ(SortLines(In(page, {"亜", "ア", "あ"}), {}, SortChoice{}, CodePage::Get(page)),
                  In(page, {"あ", "ア", "亜"}));
        SortChoice folded;
        folded.ignoreCase = true;
        EXPECT_EQ(SortLines(In(page, {"Ｂ", "ａ"}), {}, folded, CodePage::Get(page)),
                  In(page, {"ａ", "Ｂ"}));
    }
}

TEST(ParagraphCommands, SortKeepsSplitParagraphsTogether) {
    const Lines lines = {"m first part ", "a rest of m", "b", "k"};
    const std::vector<bool> continued = {true, false, false};  // one entry short
    SortChoice byParagraph;
    byParagraph.sortLines = false;
    EXPECT_EQ(SortLines(lines, continued, byParagraph, CodePage::Get(CodePage::kWestern)),
              (Lines{"b", "k", "m first part ", "a rest of m"}));
    EXPECT_EQ(SortLines(lines, continued, SortChoice{}, CodePage::Get(CodePage::kWestern)),
              (Lines{"a rest of m", "b", "k", "m first part "}));
}

TEST(ParagraphCommands, Alignment) {
    using A = LineAlignment;
    struct Case {
        LineAlignment alignment;
        const char* text;
        const char* expected;
    } cases[] = {
        {A::kLeft, " \t  abc  ", "abc  "},
        {A::kRight, "  abc ", "       abc"},
        {A::kCenter, "abc", "   abc"},
        {A::kRight, "漢字", "      漢字"},
        {A::kCenter, "　漢字", "  　漢字"},  // the ideographic space is text
        {A::kRight, "  ", ""},
        {A::kRight, " 0123456789ab", " 0123456789ab"},  // wider than the width
    };
    for (int page : kJapanesePages) {
        for (const Case& c : cases) {
            EXPECT_EQ(AlignLines(In(page, {c.text}), c.alignment, 10, CodePage::Get(page), 4),
                      In(page, {c.expected}))
                << page << " '" << c.text << "'";
        }
        // A TAB grows as the text moves right: it still ends within the width.
        EXPECT_EQ(AlignLines({"a\tb"}, A::kRight, 8, CodePage::Get(page), 4), Lines{"  a\tb"});
    }
}

TEST(ParagraphCommands, IndentUnindentAndAddString) {
    const Lines lines = {"abc", "", "  x"};
    EXPECT_EQ(IndentLines(lines, false, 4), (Lines{"\tabc", "", "\t  x"}));
    EXPECT_EQ(IndentLines(lines, true, 4), (Lines{"    abc", "", "      x"}));

    const Lines indented = {"\tabc", "      x", "  \tx", "  x", "x", "\t\tx", "    \tx"};
    EXPECT_EQ(UnindentLines(indented, 4), (Lines{"abc", "  x", "x", "x", "x", "\tx", "\tx"}));
    // Indenting and taking the step off again gives the lines back.
    for (bool softTab : {false, true}) {
        EXPECT_EQ(UnindentLines(IndentLines(lines, softTab, 4), 4), lines);
    }

    EXPECT_EQ(AddStringToLines(lines, {"> ", false}), (Lines{"> abc", "> ", ">   x"}));
    EXPECT_EQ(AddStringToLines(lines, {";", true}), (Lines{"abc;", ";", "  x;"}));
    const Lines japanese = In(CodePage::kShiftJis, {"漢字"});
    EXPECT_EQ(
        AddStringToLines(japanese, {CodePage::Get(CodePage::kShiftJis).FromUtf8("＞"), false}),
        In(CodePage::kShiftJis, {"＞漢字"}));
}

}  // namespace
}  // namespace corvina
