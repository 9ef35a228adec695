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
    const auto match =
        forward ? compiled->FindForward(text, from) : compiled->FindBackward(text, from);
    if (!match) {
        return "none";
    }
    return std::to_string(match->start.line) + ":" + std::to_string(match->start.offset) + "-" +
           std::to_string(match->end.line) + ":" + std::to_string(match->end.offset);
}

TEST(SearchOptions, LettersRoundTripInTheirOrder) {
    const SearchOptions all = SearchOptions::FromLetters("RETWZIMAG");
    EXPECT_EQ(all.Letters(), "GAMIZWTER");
    EXPECT_EQ(SearchOptions::FromLetters("xIq").Letters(), "I");
    EXPECT_EQ(SearchOptions::FromLetters("").Letters(), "");
    const SearchOptions some = SearchOptions::FromLetters("WR");
    EXPECT_TRUE(some.wholeWord && some.regex && !some.ignoreCase && !some.topOfLine);
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

}  // namespace
}  // namespace corvina
