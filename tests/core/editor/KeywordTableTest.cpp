#include "editor/KeywordTable.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/CodePage.h"

namespace corvina {

void PrintTo(const KeywordSpan& span, std::ostream* os) {
    *os << "{" << span.start << ", " << span.length << ", " << span.colour << "}";
}

namespace {

std::vector<KeywordSpan> Find(const KeywordTable& table, std::string_view text) {
    std::vector<KeywordSpan> spans;
    table.FindAll(text, spans);
    return spans;
}

KeywordTable LoadData(std::string_view name, int codePage) {
    KeywordTable table;
    EXPECT_TRUE(table.Load(test::DataPath(std::string("editor/keywords/") += name),
                           CodePage::Get(codePage)));
    return table;
}

TEST(KeywordTable, ReadsEntriesGroupsAndColours) {
    const KeywordTable table = LoadData("groups-and-colours.kwd", 932);
    // The second "From" with colour 1 is stored once; with colour 4 it is
    // another entry (the first one found wins). The line without a TAB
    // and the group lines are no keywords.
    EXPECT_EQ(table.Size(), 13u);

    struct Case {
        std::string text;
        std::vector<KeywordSpan> spans;
    };
    const Case cases[] = {
        {"From: a", {{0, 4, 1}}},
        {"Subject", {{0, 7, 11}}},  // colour "B"
        {"lower nocolour bare", {{0, 5, 12}, {6, 8, 0}, {15, 4, 0}}},
        // Of two keywords with a common start the longer is tried first.
        {"integer int", {{0, 7, 3}, {8, 3, 2}}},
        // Letters, digits and "_" on either side keep a keyword from
        // standing as a word.
        {"Fromage aFrom _From From1 From_ (From)", {{33, 4, 1}}},
        {"x_y", {{0, 3, 9}}},
        // The group with a second field ignores case; the others do not.
        {"TO To to", {{0, 2, 5}, {3, 2, 5}, {6, 2, 5}}},
        {"reply-to: REPLY-TO", {{0, 8, 6}, {10, 8, 6}}},
        {"Re: re: RE:", {{0, 3, 7}}},
        {"cc CC", {{0, 2, 8}}},
        {"from FROM", {}},
        // The word test holds on both sides even of a keyword that ends in
        // punctuation.
        {"aRe: Re:x Re:", {{10, 3, 7}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Find(table, c.text), c.spans) << c.text;
    }
}

TEST(KeywordTable, OverLongLinesAreNoEntries) {
    const KeywordTable table = LoadData("long-lines.kwd", 932);
    EXPECT_EQ(table.Size(), 2u);
    const std::string fits(254, 'L');
    EXPECT_EQ(Find(table, fits + " ok tail"), (std::vector<KeywordSpan>{{0, 254, 5}, {255, 2, 1}}));
    EXPECT_TRUE(Find(table, std::string(255, 'M')).empty());
}

TEST(KeywordTable, WordTestByCharacterInBothCodePages) {
    test::ScratchDir dir;
    const std::string utf8 =
        test::ReadFileBytes(test::DataPath("editor/keywords/wide-and-letters.kwd"));
    // Texts in UTF-8, converted; offsets in the code page's bytes.
    const struct {
        int codePage;
        std::string text;
        std::vector<KeywordSpan> spans;
    } cases[] = {
        // A keyword starting with a wide character needs no word test.
        {932, "x日本y 日本語", {{1, 4, 7}, {7, 4, 7}}},
        {65001, "x日本y 日本語", {{1, 6, 7}, {9, 6, 7}}},
        {932, "a　b", {{1, 2, 3}}},
        // Kana and kanji do not continue a word; full-width letters do.
        {932, "日abc本 アabc Ａabc", {{2, 3, 1}, {10, 3, 1}}},
        // No match starts on a trail byte ("ヂ" is 0x83 "a").
        {932, "ヂbc ァabc", {{7, 3, 1}}},
        {65001, "日abc本 Ａabc", {{3, 3, 1}}},
        // On UTF-8 a letter of any script continues a word.
        {65001, "éabc abcé абc café", {{18, 5, 2}}},
        {65001, "cafés", {}},
    };
    for (const auto& c : cases) {
        const CodePage& cp = CodePage::Get(c.codePage);
        const auto file = dir / ("k" + std::to_string(c.codePage) + ".kwd");
        test::WriteFileBytes(file, cp.FromUtf8(utf8));
        KeywordTable table;
        ASSERT_TRUE(table.Load(file, cp));
        EXPECT_EQ(Find(table, cp.FromUtf8(c.text)), c.spans) << c.codePage << " " << c.text;
    }
}

TEST(KeywordTable, MatchEndsAtACharacterBoundary) {
    test::ScratchDir dir;
    test::WriteFileBytes(dir / "k.kwd", "ab\x82\t1\n");  // ends in a lone lead byte
    KeywordTable table;
    ASSERT_TRUE(table.Load(dir / "k.kwd", CodePage::Get(932)));
    EXPECT_TRUE(Find(table, "ab\x82\xa0").empty());
    EXPECT_EQ(Find(table, "ab\x82 "), (std::vector<KeywordSpan>{{0, 3, 1}}));
}

TEST(KeywordTable, MissingFileLeavesNoKeywords) {
    KeywordTable table = LoadData("groups-and-colours.kwd", 65001);
    const unsigned generation = table.Generation();
    EXPECT_FALSE(table.Load(test::DataPath("editor/keywords/absent.kwd"), CodePage::Get(65001)));
    EXPECT_TRUE(table.Empty());
    EXPECT_NE(table.Generation(), generation);
    EXPECT_TRUE(Find(table, "From").empty());
}

}  // namespace
}  // namespace corvina
