// The regular-expression grammar, and a random comparison of the search
// engine with a plain reference: at every start position the reference
// runs the position automaton's state sets along the text, which is slow
// but plainly follows the rules of a match.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "SearchTestText.h"
#include "common/CodePage.h"
#include "editor/RegexCompiler.h"
#include "editor/SearchFolding.h"
#include "editor/SearchPattern.h"
#include "editor/SearchScan.h"

namespace corvina {
namespace {

using test::Describe;
using test::LinesText;
using test::MakePattern;

std::string FirstMatch(std::string_view pattern, std::string_view body, int codePage,
                       std::string_view letters = "R") {
    std::string error;
    const auto compiled = MakePattern(pattern, letters, codePage, &error);
    if (!compiled) {
        return "error";
    }
    return Describe(compiled->FindForward(LinesText(body), {}));
}

TEST(Regex, Grammar) {
    struct Case {
        const char* pattern;
        const char* body;
        const char* expected;
    };
    const Case cases[] = {
        // "|" and "?" separate alternatives, more loosely than concatenation.
        {"ab|cd", "xcd\n", "0:1-0:3"},
        {"ab?cd", "xcd ab\n", "0:1-0:3"},
        {"ab|cd", "xad\n", "none"},
        // An empty alternative matches the empty string; the shortest wins.
        {"ab?", "xab\n", "0:0-0:0"},
        {"(a|)b", "xb\n", "0:1-0:2"},
        {"x(a?)b", "xb xab\n", "0:0-0:2"},
        // Groups, "*" and "+"; the shortest match at the first start.
        {"(ab)+c", "abababc\n", "0:0-0:7"},
        {"a*b", "xaab\n", "0:1-0:4"},
        {"a+", "baaa\n", "0:1-0:2"},
        {"a*", "b\n", "0:0-0:0"},
        {"(a|b)*c", "abac\n", "0:0-0:4"},
        // "." is any character, the line end included.
        {"a.c", "a\nc\n", "0:0-1:1"},
        {"a.c", "abc\n", "0:0-0:3"},
        // Classes: one range, negation, lists, escapes.
        {"[b-d]+", "xca\n", "0:1-0:2"},
        {"[^a-c]", "abcd\n", "0:3-0:4"},
        {"[a-]", "x-\n", "0:1-0:2"},
        {"[a-c-e]", "b-\n", "0:1-0:2"},
        {"[\\]]", "a]\n", "0:1-0:2"},
        {"[\\t]", "a\tb\n", "0:1-0:2"},
        {"[\\x41-\\x43]", "zB\n", "0:1-0:2"},
        {"[^a]", "a\n", "0:1-1:0"},
        {"[]x", "x\n", "none"},
        // Escapes and literal operators.
        {"\\(a\\)", "(a)\n", "0:0-0:3"},
        {"\\.", "a.\n", "0:1-0:2"},
        {"*a", "x*a\n", "0:1-0:3"},
        {"a|+b", "+b\n", "0:0-0:2"},
        {"a\\tb", "a\tb\n", "0:0-0:3"},
        // Malformed patterns are refused.
        {"(ab", "ab\n", "error"},
        {"ab)", "ab\n", "error"},
        {"[ab", "ab\n", "error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FirstMatch(c.pattern, c.body, CodePage::kShiftJis), c.expected)
            << c.pattern << " in " << c.body;
    }
}

TEST(Regex, WideCharactersAreOneAtom) {
    struct Case {
        int codePage;
        const char* pattern;
        const char* body;
        const char* expected;
    };
    const Case cases[] = {
        // Shift_JIS: あ 82A0, い 82A2, う 82A4, ア 8341 (its trail byte is "A").
        {932, "[\x82\xa0-\x82\xa4]", "x\x82\xa2\n", "0:1-0:3"},
        {932, "[^\x82\xa0]", "\x82\xa0\x82\xa2\n", "0:2-0:4"},
        {932, ".b",
         "\x82\xa0"
         "b\n",
         "0:0-0:3"},
        {932, "\x82\xa0+", "x\x82\xa0\x82\xa0\n", "0:1-0:3"},
        {932, "[A-Z]",
         "\x83\x41"
         "B\n",
         "0:2-0:3"},
        {932, "A|\x82\xa2", "\x83\x41\x82\xa2\n", "0:2-0:4"},
        {932, "[A-\xb1]", "\xb1\n", "0:0-0:1"},
        // UTF-8: by code point.
        {65001, "[\xe3\x81\x82-\xe3\x81\x86]", "x\xe3\x81\x84\n", "0:1-0:4"},
        {65001, ".b",
         "\xe3\x81\x82"
         "b\n",
         "0:0-0:4"},
        {65001, "[^\xe3\x81\x82]", "\xe3\x81\x82\xc3\xa9\n", "0:3-0:5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FirstMatch(c.pattern, c.body, c.codePage), c.expected)
            << c.pattern << " in " << c.body;
        // The same as a plain string where the pattern is one.
    }
}

// The reference: the shortest accepted match at each start, found by
// running the automaton's state sets from that start.
class Reference {
public:
    Reference(const RegexProgram& program, const SearchOptions& options, const CodePage& page)
        : program_(program),
          folding_(page, options.ignoreCase, options.ignoreMbcs),
          rules_(options) {}

    std::optional<TextPlace> MatchAt(LineReader& lines, TextPlace start) const {
        if (!rules_.StartAllowed(lines, start)) {
            return std::nullopt;
        }
        StateSet states;
        states.Set(0);
        TextPlace place = start;
        while (true) {
            if (states.Intersects(program_.accept) && rules_.EndAllowed(lines, place)) {
                return place;
            }
            if (place.line >= lines.Count()) {
                return std::nullopt;
            }
            const std::uint32_t code = Read(lines, place);
            if (code != SearchFolding::kDropped) {
                states = program_.Step(states, code);
                if (states.Empty()) {
                    return std::nullopt;
                }
            }
        }
    }

    // Every start position in text order: each character and line end.
    std::vector<TextPlace> Starts(LineReader& lines) const {
        std::vector<TextPlace> starts;
        for (TextPlace place{}; place.line < lines.Count();) {
            starts.push_back(place);
            Read(lines, place);
        }
        return starts;
    }

private:
    std::uint32_t Read(LineReader& lines, TextPlace& place) const {
        return ReadFolded(lines, folding_, place);
    }

    const RegexProgram& program_;
    SearchFolding folding_;
    MatchRules rules_;
};

// Random patterns over a, b, a wide character and the line end, against
// random texts of a few lines, at every start, forward and backward.
TEST(Regex, AgreesWithTheReferenceOnRandomPatterns) {
    struct Page {
        int id;
        std::string wide;
        std::string mark;   // a voiced-sound mark, dropped by Z
        std::string wideA;  // a full-width "A", "A" under Z
    };
    const Page pages[] = {{932, "\x82\xa0", "\xde", "\x82\x60"},
                          {65001, "\xe3\x81\x82", "\xef\xbe\x9e", "\xef\xbc\xa1"}};
    const std::vector<std::string> tokens = {"a",    "b",     "A", "(", ")",   "*",
                                             "+",    "|",     "?", ".", "\\n", "[ab]",
                                             "[^a]", "[a-b]", "1", "a", "b"};
    const char* const optionSets[] = {"R", "RI", "RW", "RT", "RE", "RWE", "RIT", "RZ", "RIZW"};
    std::mt19937 random(20261209);
    int compared = 0;
    for (int round = 0; round < 6000; ++round) {
        const Page& page = pages[round % 2];
        const CodePage& codePage = CodePage::Get(page.id);
        std::string pattern;
        const int length = 1 + static_cast<int>(random() % 7);
        for (int i = 0; i < length; ++i) {
            const std::vector<std::string> pageTokens = {
                page.wide, "[" + page.wide + "b]", page.mark, page.wideA, "[^" + page.wideA + "]"};
            const std::size_t pick = random() % (tokens.size() + pageTokens.size());
            pattern += pick < tokens.size() ? tokens[pick] : pageTokens[pick - tokens.size()];
        }
        std::string body;
        const int chars = 4 + static_cast<int>(random() % 40);
        for (int i = 0; i < chars; ++i) {
            switch (random() % 9) {
                case 7:
                    body += page.mark;
                    break;
                case 8:
                    body += page.wideA;
                    break;
                case 0:
                case 1:
                    body += 'a';
                    break;
                case 2:
                case 3:
                    body += 'b';
                    break;
                case 4:
                    body += page.wide;
                    break;
                case 5:
                    body += '\n';
                    break;
                default:
                    body += random() % 2 ? 'A' : '1';
                    break;
            }
        }
        body += '\n';
        const SearchOptions options = SearchOptions::FromLetters(optionSets[random() % 9]);
        const auto compiled = SearchPattern::Compile(pattern, options, codePage, nullptr);
        if (!compiled || pattern.front() == '^' || pattern.back() == '$') {
            continue;
        }
        const SearchFolding folding(codePage, options.ignoreCase, options.ignoreMbcs);
        const auto program = CompileRegex(pattern, folding, nullptr);
        ASSERT_TRUE(program) << pattern;
        const Reference reference(*program, options, codePage);
        const LinesText text(body);
        LineReader lines(text);
        const std::vector<TextPlace> starts = reference.Starts(lines);
        std::vector<std::optional<SearchMatch>> at;
        for (const TextPlace& start : starts) {
            const auto end = reference.MatchAt(lines, start);
            at.push_back(end ? std::optional<SearchMatch>(SearchMatch{start, *end}) : std::nullopt);
        }
        for (std::size_t i = 0; i < starts.size(); ++i) {
            std::optional<SearchMatch> forward;
            for (std::size_t j = i; j < starts.size() && !forward; ++j) {
                forward = at[j];
            }
            std::optional<SearchMatch> backward;
            for (std::size_t j = i + 1; j-- > 0 && !backward;) {
                backward = at[j];
            }
            ASSERT_EQ(Describe(compiled->FindForward(text, starts[i])), Describe(forward))
                << "pattern " << pattern << " /" << options.Letters() << " page " << page.id
                << " from " << starts[i].line << ":" << starts[i].offset << " in " << body;
            ASSERT_EQ(Describe(compiled->FindBackward(text, starts[i])), Describe(backward))
                << "pattern " << pattern << " /" << options.Letters() << " page " << page.id
                << " from " << starts[i].line << ":" << starts[i].offset << " in " << body;
            ++compared;
        }
    }
    EXPECT_GT(compared, 10000);
}

// An "a" thirteen characters before a "c" needs thousands of automaton
// states over a random text (one for each mix of a and b among the last
// thirteen characters): the cache is flushed again and again, and every
// match must still be the reference's.
TEST(Regex, StaysRightWhenItsStateCacheIsFlushed) {
    std::string pattern = "a";
    for (int i = 0; i < 12; ++i) {
        pattern += "(a|b)";
    }
    pattern += "c";
    const CodePage& codePage = CodePage::Get(CodePage::kShiftJis);
    const SearchOptions options = SearchOptions::FromLetters("R");
    std::mt19937 random(7);
    std::string body;
    for (int line = 0; line < 20; ++line) {
        for (int i = 0; i < 2000; ++i) {
            body += random() % 3000 == 0 ? 'c' : random() % 2 ? 'a' : 'b';
        }
        body += '\n';
    }
    const auto compiled = SearchPattern::Compile(pattern, options, codePage, nullptr);
    const SearchFolding folding(codePage, false, false);
    const auto program = CompileRegex(pattern, folding, nullptr);
    ASSERT_TRUE(compiled && program);
    const Reference reference(*program, options, codePage);
    const LinesText text(body);
    LineReader lines(text);
    int found = 0;
    for (std::size_t line = 0; line < lines.Count(); ++line) {
        std::optional<SearchMatch> expected;
        for (TextPlace start{line, 0}; start.line < lines.Count() && !expected;) {
            if (const auto end = reference.MatchAt(lines, start)) {
                expected = SearchMatch{start, *end};
            }
            start = start.offset < lines.Get(start.line).size()
                        ? TextPlace{start.line, start.offset + 1}
                        : TextPlace{start.line + 1, 0};
        }
        EXPECT_EQ(Describe(compiled->FindForward(text, {line, 0})), Describe(expected)) << line;
        found += expected ? 1 : 0;
    }
    EXPECT_GT(found, 5);
}

}  // namespace
}  // namespace corvina
