#include "editor/SearchPattern.h"

#include <gtest/gtest.h>

#include <string>

#include "SearchTestText.h"
#include "common/CodePage.h"

namespace corvina {
namespace {

using test::LinesText;
using test::MakePattern;

// "line:offset-line:offset" of the first match, or "none".
std::string Find(std::string_view pattern, std::string_view letters, std::string_view body,
                 TextPlace from = {}, bool forward = true, int codePage = CodePage::kShiftJis) {
    std::string error;
    const auto compiled = MakePattern(pattern, letters, codePage, &error);
    if (!compiled) {
        return "error: " + error;
    }
    const LinesText text(body);
    return test::Describe(forward ? compiled->FindForward(text, from)
                                  : compiled->FindBackward(text, from));
}

TEST(SearchOptions, LettersRoundTripInTheirOrder) {
    const SearchOptions all = SearchOptions::FromLetters("RETWZIMAG");
    EXPECT_EQ(all.Letters(), "GAMIZWTER");
    EXPECT_EQ(SearchOptions::FromLetters("xIq").Letters(), "I");
    EXPECT_EQ(SearchOptions::FromLetters("").Letters(), "");
    const SearchOptions some = SearchOptions::FromLetters("WR");
    EXPECT_TRUE(some.wholeWord && some.regex && !some.ignoreCase && !some.topOfLine);
    // "^" and "$" anchor the match but leave the options as they were given.
    EXPECT_EQ(MakePattern("^ab$", "GR")->Options().Letters(), "GR");
}

TEST(SearchPattern, EdgeCasesOfTheSearchLoop) {
    struct Case {
        const char* pattern;
        const char* letters;
        const char* body;
        TextPlace from;
        bool forward;
        const char* expected;
    };
    const Case cases[] = {
        // A line end in the pattern matches across lines, with and without R.
        {"a\\nb", "", "xa\nby\n", {}, true, "0:1-1:1"},
        {"a\\nb", "R", "xa\nby\n", {}, true, "0:1-1:1"},
        {"a\\n", "", "a\n", {}, true, "0:0-1:0"},
        // W: digits and line ends bound a word, letters do not.
        {"cat", "W", "concat 1cat2\n", {}, true, "0:8-0:11"},
        {"cat", "W", "cats\ncat\n", {}, true, "1:0-1:3"},
        {"cat", "W", "catalog\n", {}, true, "none"},
        // ^ and $ with R; T and E without.
        {"^ab", "R", "xab\nab\n", {}, true, "1:0-1:2"},
        {"ab$", "R", "abx\nab\n", {}, true, "1:0-1:2"},
        {"\\^ab", "R", "x^ab\n", {}, true, "0:1-0:4"},
        {"ab\\$", "R", "ab$\n", {}, true, "0:0-0:3"},
        {"ab", "T", "xab\nab\n", {}, true, "1:0-1:2"},
        {"ab", "E", "abx\nxab\n", {}, true, "1:1-1:3"},
        // Forward from a place finds the match there; backward goes back.
        {"ab", "", "ab ab ab\n", {0, 3}, true, "0:3-0:5"},
        {"ab", "", "ab ab ab\n", {0, 4}, true, "0:6-0:8"},
        {"ab", "", "ab ab ab\n", {0, 5}, false, "0:3-0:5"},
        {"ab", "", "ab\nxx\n", {1, 1}, false, "0:0-0:2"},
        // Backward from the first character finds only what starts there.
        {"b", "", "ab\n", {0, 0}, false, "none"},
        {"a", "", "ab\n", {0, 0}, false, "0:0-0:1"},
        {"a", "I", "xA\n", {}, true, "0:1-0:2"},
        {"A", "", "xa\n", {}, true, "none"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Find(c.pattern, c.letters, c.body, c.from, c.forward), c.expected)
            << c.pattern << " /" << c.letters << " in " << c.body;
    }
}

TEST(SearchPattern, RefusesEmptyAndOverlongPatterns) {
    std::string error;
    EXPECT_FALSE(MakePattern("", "", CodePage::kShiftJis, &error));
    EXPECT_NE(error.find("empty"), std::string::npos);
    // 127 atoms and the start state fit; one more atom does not.
    EXPECT_TRUE(MakePattern(std::string(127, 'a') + "*", "R"));
    error.clear();
    EXPECT_FALSE(MakePattern(std::string(128, 'a') + "*", "R", CodePage::kShiftJis, &error));
    EXPECT_EQ(error,
              "The regular expression is too long: it needs more than 128 states. Shorten it or "
              "split the search.");
    // Wide characters are one state each.
    std::string wide;
    for (int i = 0; i < 127; ++i) {
        wide += "\x88\x9f";
    }
    EXPECT_TRUE(MakePattern(wide + "*", "R"));
    // A plain string is no automaton: it has no such limit.
    EXPECT_TRUE(MakePattern(std::string(200, 'a'), "R"));
    EXPECT_TRUE(MakePattern(std::string(200, 'a'), ""));
}

TEST(SearchPattern, FoldsPatternAndTextAlike) {
    struct Case {
        int codePage;
        const char* pattern;
        const char* letters;
        const char* body;
        const char* expected;
    };
    const Case cases[] = {
        // I: half-width small kana find their large forms and back.
        {932, "\xa7", "I", "x\xb1\n", "0:1-0:2"},
        {932, "\xb1", "I", "x\xa7\n", "0:1-0:2"},
        {932, "\xac\xad\xae\xaf", "I", "\xd4\xd5\xd6\xc2\n", "0:0-0:4"},
        {932, "\xa7", "", "x\xb1\n", "none"},
        // Z: full-width letters and digits find ASCII, and the other way.
        {932, "A1", "Z", "x\x82\x60\x82\x50\n", "0:1-0:5"},
        {932, "\x82\x60", "Z", "xA\n", "0:1-0:2"},
        {932, "\x82\x81", "IZ", "xA\n", "0:1-0:2"},
        {932, "A1", "", "\x82\x60\x82\x50\n", "none"},
        // Z: katakana in either width, voiced marks dropped.
        {932, "\x83\x4b", "Z", "x\xb6\xde\n", "0:1-0:2"},  // the shortest match
        {932, "\xb6\xde", "Z", "x\x83\x4a\n", "0:1-0:3"},
        {932, "\x83\x4b", "RZ", "x\xb6\xde\n", "0:1-0:2"},
        // W sees the byte after the dropped mark only when the match takes it.
        {932, "\xb6", "ZW", "\xb6\xde\n", "0:0-0:2"},
        // UTF-8: full-width ASCII and the ideographic space; case by
        // Unicode where the length stays.
        {65001, "A B", "Z", "\xef\xbc\xa1\xe3\x80\x80\xef\xbc\xa2\n", "0:0-0:9"},
        {65001, "\xc3\x89t\xc3\xa9", "I", "x\xc3\xa9T\xc3\x89\n", "0:1-0:6"},
        {65001, "\xc3\x89t\xc3\xa9", "IR", "x\xc3\xa9T\xc3\x89|\n", "0:1-0:6"},
        {65001, "k", "I", "\xe2\x84\xaa\n", "none"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Find(c.pattern, c.letters, c.body, {}, true, c.codePage), c.expected)
            << c.pattern << " /" << c.letters << " in " << c.body;
        EXPECT_EQ(Find(c.pattern, c.letters, c.body, {0, 100}, false, c.codePage), c.expected)
            << c.pattern << " /" << c.letters << " backward in " << c.body;
    }
}

TEST(SearchPattern, NeverStartsOnAShiftJisTrailByte) {
    // ア is 83 41 and ィ is 83 42: their trail bytes read as "A" and "B".
    const std::string run = "\x83\x41\x83\x42\x88\x9f\x88\x41";  // ア ィ 亜 (88 9F) 88 41
    for (const char* letters : {"", "I", "R", "Z", "IZR"}) {
        EXPECT_EQ(Find("A", letters, run + "\n"), "none") << letters;
        EXPECT_EQ(Find("AB", letters, run + "\n"), "none") << letters;
        EXPECT_EQ(Find("A", letters, run + "A\n"), "0:8-0:9") << letters;
        EXPECT_EQ(Find("A", letters, run + "A\n", {0, 9}, false), "0:8-0:9") << letters;
    }
    for (const char* letters : {"R", "IR", "ZR"}) {
        EXPECT_EQ(Find("[AB]+|Q", letters, run + "\n"), "none") << letters;
        EXPECT_EQ(Find("[AB]+|Q", letters, run + "B\n", {0, 9}, false), "0:8-0:9") << letters;
        EXPECT_EQ(Find("\x88.", letters, run + "\n"), "none") << letters;
    }
    // A long run of lead-capable bytes (every trail byte here is one too).
    std::string kanji;
    for (int i = 0; i < 200; ++i) {
        kanji += "\x88\x9f";
    }
    EXPECT_EQ(Find("\x9f\x88", "", kanji + "\n"), "none");
    EXPECT_EQ(Find("\x88\x9f\x88\x9f", "", "x" + kanji + "\n"), "0:1-0:5");
    EXPECT_EQ(Find("\x88\x9f", "", kanji + "\n", {0, 399}, false), "0:398-0:400");
}

TEST(SearchPattern, PlainStringsCompareAtMost256TextBytes) {
    // Under Z each wide "a" is two text bytes: 128 of them fit, 129 do not.
    std::string wide128;
    for (int i = 0; i < 128; ++i) {
        wide128 += "\x82\x81";
    }
    EXPECT_EQ(Find(std::string(128, 'a'), "Z", wide128 + "\n"), "0:0-0:256");
    EXPECT_EQ(Find(std::string(129, 'a'), "Z", wide128 + "\x82\x81\n"), "none");
    // A regular expression has no such limit.
    EXPECT_EQ(Find("a(a)*b", "RZ", wide128 + "b\n"), "0:0-0:257");
}

TEST(SearchPattern, AsksToCancelEveryThousandLines) {
    std::string lines;
    for (int i = 0; i < 5000; ++i) {
        lines += "line\n";
    }
    const LinesText after(lines + "needle\n");
    const LinesText before("needle\n" + lines);
    const std::pair<const char*, const char*> searches[] = {
        {"needle", ""}, {"needle", "Z"}, {"ne+dle", "R"}};
    for (const auto& [pattern, letters] : searches) {
        const auto compiled = MakePattern(pattern, letters);
        ASSERT_TRUE(compiled);
        int asked = 0;
        const SearchCancel stop = [&asked] { return ++asked == 3; };
        const SearchCancel goOn = [&asked] { return ++asked < 0; };
        EXPECT_FALSE(compiled->FindForward(after, {}, stop)) << pattern;
        EXPECT_EQ(asked, 3) << pattern;
        asked = 0;
        EXPECT_TRUE(compiled->FindForward(after, {}, goOn)) << pattern;
        EXPECT_GE(asked, 4) << pattern;
        EXPECT_LE(asked, 6) << pattern;
        asked = 0;
        EXPECT_FALSE(compiled->FindBackward(before, {5000, 0}, stop)) << pattern;
        EXPECT_EQ(asked, 3) << pattern;
        asked = 0;
        EXPECT_TRUE(compiled->FindBackward(before, {5000, 0}, goOn)) << pattern;
        EXPECT_GE(asked, 3) << pattern;
    }
}

TEST(SearchPattern, PathologicalPatternsStayLinear) {
    // Each start of (a|aa)*b would be tried again and again by a
    // backtracking matcher; the automaton reads each byte a few times.
    const LinesText text(std::string(1 << 20, 'a') + "\n");
    const auto pattern = MakePattern("(a|aa)*b", "R");
    ASSERT_TRUE(pattern);
    EXPECT_FALSE(pattern->FindForward(text, {}));
    EXPECT_FALSE(pattern->FindBackward(text, {0, 1 << 20}));
    const LinesText found(std::string(1 << 20, 'a') + "b\n");
    EXPECT_EQ(pattern->FindForward(found, {})->start.offset, 0u);
}

}  // namespace
}  // namespace corvina
