#include "editor/LineBreaker.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/CodePage.h"
#include "editor/EditorSettingsFile.h"

namespace corvina {
namespace {

using Lines = std::vector<std::string>;

struct Fixture {
    explicit Fixture(int codePage, int column = 73)
        : sets(BuiltInKinsokuSets(codePage)), rules{&CodePage::Get(codePage), column, 8, &sets} {}
    KinsokuSets sets;
    LineBreakRules rules;
};

std::string Joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

std::string Repeat(std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

// Shift_JIS: hiragana a and i, the ideographic full stop (may hang), the
// opening corner bracket (may not end a line), its closing partner.
const std::string kA = "\x82\xa0", kI = "\x82\xa2", kMaru = "\x81\x42", kOpen = "\x81\x75",
                  kClose = "\x81\x76";
// The same in UTF-8.
const std::string kUA = "あ", kUMaru = "。", kUOpen = "「";

struct Case {
    const char* what;
    int codePage;
    int column;
    std::string paragraph;
    Lines lines;
};

TEST(LineBreaker, BreaksByTheRules) {
    const std::string a34 = Repeat(kA, 34), a35 = Repeat(kA, 35), a36 = Repeat(kA, 36);
    const Case cases[] = {
        // Wide characters fill up to C - 1; the next starts a new line.
        {"wide fill", 932, 73, a36 + kA + "\n", {a36, kA}},
        // Closing punctuation hangs past the column, up to column 77.
        {"hang", 932, 73, a36 + kMaru + kMaru + kI + "\n", {a36 + kMaru + kMaru, kI}},
        {"hang up to 77", 932, 73, a36 + Repeat(kMaru, 4) + "\n", {a36 + Repeat(kMaru, 3), kMaru}},
        {"hang utf8", 65001, 73, Repeat(kUA, 36) + kUMaru + "\n", {Repeat(kUA, 36) + kUMaru}},
        // An opening bracket from C - 3 on goes to the next line.
        {"no line ends in [",
         932,
         73,
         a35 + kOpen + kI + kClose + "\n",
         {a35, kOpen + kI + kClose}},
        {"[ before C - 3 stays", 932, 73, a34 + kOpen + kI + "\n", {a34 + kOpen + kI}},
        // A wide character after an odd column: the line ends at C - 1.
        {"odd column", 932, 73, "x" + Repeat(kA, 37) + "\n", {"x" + Repeat(kA, 36), kA}},
        // Rejoined Japanese lines take no space between them.
        {"rejoin wide", 932, 73, kA + "\n" + kI + "\n", {kA + kI}},
        // English: words move whole; the space at the break goes.
        {"word wrap",
         1252,
         20,
         "The quick brown fox jumps over the lazy dog.\n",
         {"The quick brown fox", "jumps over the lazy", "dog."}},
        {"spaces at the break go", 1252, 10, "aaaaaaaaa     bb\n", {"aaaaaaaaa", "bb"}},
        // Before anything but a word the space stays: rejoining would not
        // put it back.
        {"space before a symbol stays", 1252, 10, "aaaaaaaaa -b\n", {"aaaaaaaaa ", "-b"}},
        {"blank before a moved symbol stays", 1252, 10, "aaaa -bcde\n", {"aaaa ", "-bcde"}},
        // The wrap reaches back over 10 characters, not 11: a longer word
        // stays and the line grows beyond C.
        {"word of 10 wraps", 1252, 20, "xxxxxxxx abcdefghijklm\n", {"xxxxxxxx", "abcdefghijklm"}},
        {"word of 11 grows", 1252, 20, "xxxxxxx abcdefghijklm n\n", {"xxxxxxx abcdefghijklm", "n"}},
        // A letter of any script is part of the word.
        {"word wrap utf8", 65001, 10, "abcd caff\xc3\xa9\n", {"abcd", "caff\xc3\xa9"}},
        {"word wrap 1252", 1252, 10, "abcd caff\xe9\n", {"abcd", "caff\xe9"}},
        // Punctuation hangs up to column 79; other symbols break before.
        {"period hangs", 1252, 10, "aaaa aaaa...\n", {"aaaa aaaa..."}},
        {"symbol breaks", 1252, 10, "aaaa aaaa-b\n", {"aaaa aaaa", "-b"}},
        // Indentation of the first line stays, TABs count to their stop.
        {"indent stays", 1252, 20, "    indented text here\n", {"    indented text", "here"}},
        {"tab stops", 1252, 20, "a\tb\tcc dd\n", {"a\tb\tcc", "dd"}},
        {"tab stays at a wrap", 1252, 20, "aaaaaaaa\tbbbbbb\n", {"aaaaaaaa\t", "bbbbbb"}},
        // CR goes; a line end before a non-word character leaves no space.
        {"cr dropped", 1252, 73, "ab\r\ncd\r\n", {"ab cd"}},
        {"no space before a symbol", 1252, 73, "ab\n-cd\n", {"ab-cd"}},
        {"space before an opening bracket", 1252, 73, "ab\n(cd)\n", {"ab (cd)"}},
        // A split column too small for any rule still ends, one character
        // a line.
        {"tiny column", 932, 1, kA + kI + "\n", {kA, kI}},
    };
    for (const Case& c : cases) {
        Fixture f(c.codePage, c.column);
        const BrokenParagraph broken = BreakParagraph(c.paragraph, 0, f.rules);
        EXPECT_EQ(broken.lines, c.lines) << c.what;
        // Breaking the result again changes nothing.
        EXPECT_EQ(BreakParagraph(Joined(broken.lines), 0, f.rules).lines, broken.lines) << c.what;
    }
}

TEST(LineBreaker, CaretLandsOnTheCharacterItStoodOn) {
    struct CaretCase {
        const char* what;
        int codePage;
        int column;
        std::string paragraph;
        std::size_t caret;
        std::size_t line;
        std::size_t offset;
    };
    const CaretCase cases[] = {
        {"moved word", 1252, 10, "aaaa bbbbbb\n", 8, 1, 3},
        {"before the dropped space", 1252, 10, "aaaa bbbbbb\n", 4, 0, 4},
        // A space typed at the limit ends the line: the caret stands on a
        // new empty line.
        {"space at the limit", 1252, 10, "aaaa bbbb \n", 10, 1, 0},
        {"line end became a space", 1252, 73, "ab\ncd\n", 2, 0, 2},
        {"wide moved", 932, 73, Repeat(kA, 37) + "\n", 73, 1, 0},
        // Inside a wide character: its start.
        {"inside a wide character", 65001, 73, kUA + kUA + "\n", 4, 0, 3},
        {"past the end", 1252, 73, "ab\n", 99, 0, 2},
    };
    for (const CaretCase& c : cases) {
        Fixture f(c.codePage, c.column);
        const BrokenParagraph broken = BreakParagraph(c.paragraph, c.caret, f.rules);
        EXPECT_EQ(broken.caretLine, c.line) << c.what;
        EXPECT_EQ(broken.caretOffset, c.offset) << c.what;
    }
    // Without the caret on it, the empty line of a space at the limit goes.
    Fixture f(1252, 10);
    EXPECT_EQ(BreakParagraph("aaaa bbbb \n", 0, f.rules).lines, (Lines{"aaaa bbbb"}));
}

TEST(LineBreaker, TypingTriggersTheSplitAtTheLimit) {
    struct Typed {
        int codePage;
        std::string character;
        int column;
        bool splits;
    };
    const Typed cases[] = {
        {932, kOpen, 69, false}, {932, kOpen, 70, true},    {932, kA, 71, false},
        {932, kA, 72, true},     {932, kMaru, 72, false},   {932, kMaru, 77, false},
        {932, kMaru, 78, true},  {65001, kUOpen, 70, true}, {65001, kUA, 72, true},
        {932, "(", 70, false},   {932, "(", 71, true},      {932, "a", 71, false},
        {932, "a", 72, true},    {932, ".", 72, false},     {932, ".", 79, true},
        {932, " ", 71, false},   {932, " ", 72, true},      {932, "\t", 72, false},
    };
    for (const Typed& t : cases) {
        Fixture f(t.codePage);
        EXPECT_EQ(SplitTriggeredBy(t.character, t.column, f.rules), t.splits)
            << t.codePage << " column " << t.column;
    }
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// A mail paragraph broken at any split column and joined again (as a
// wider split column does) keeps its words as they were: no space lost
// before a dash or a bracket, none added.
TEST(LineBreaker, ReflowKeepsTheWordsOfAMail) {
    const std::string text =
        test::ReadFileBytes(test::DataPath("editor/reflow-keeps-spaces-before-symbols.txt"));
    Fixture wide(1252, 100000);
    for (int column = 12; column <= 80; ++column) {
        Fixture f(1252, column);
        const Lines lines = BreakParagraph(text, 0, f.rules).lines;
        const Lines rejoined = BreakParagraph(Joined(lines), 0, wide.rules).lines;
        ASSERT_EQ(rejoined.size(), 1u);
        EXPECT_EQ(Words(rejoined[0]), Words(text)) << column;
        EXPECT_EQ(BreakParagraph(Joined(lines), 0, f.rules).lines, lines) << column;
    }
}

// Random text of every kind of character: breaking keeps every character
// but spaces and line ends, lands the caret on a character start, and
// breaking again changes nothing.
TEST(LineBreaker, RandomParagraphsBreakStably) {
    struct Alphabet {
        int codePage;
        std::vector<std::string> pieces;
    };
    const std::vector<std::string> common = {"a", "b", " ",  " ", "\t", ".", ",",   "(",
                                             ")", "-", "\n", "'", "\"", "1", "\r\n"};
    const Alphabet alphabets[] = {
        {932, {kA, kMaru, kOpen, kClose, "\xb1", "\xa1"}},
        {65001, {kUA, kUMaru, kUOpen, "」", "\xc3\xa9", "\xcc\x81"}},
        {1252, {"\xe9", "\xa0", "\xdf"}},
    };
    const auto strip = [](const std::string& s) {
        std::string kept;
        for (char c : s) {
            if (c != ' ' && c != '\r' && c != '\n') {
                kept += c;
            }
        }
        return kept;
    };
    std::mt19937 random(7);
    for (Alphabet alphabet : alphabets) {
        alphabet.pieces.insert(alphabet.pieces.end(), common.begin(), common.end());
        const CodePage& cp = CodePage::Get(alphabet.codePage);
        for (int round = 0; round < 3000; ++round) {
            Fixture f(alphabet.codePage, 5 + static_cast<int>(random() % 80));
            std::string text;
            for (int n = static_cast<int>(random() % 120); n > 0; --n) {
                text += alphabet.pieces[random() % alphabet.pieces.size()];
            }
            text += "\n";
            const BrokenParagraph broken = BreakParagraph(text, random() % text.size(), f.rules);
            std::string all;
            for (const std::string& line : broken.lines) {
                all += line;
            }
            ASSERT_EQ(strip(all), strip(text)) << text;
            ASSERT_LT(broken.caretLine, broken.lines.size());
            const std::string& caretLine = broken.lines[broken.caretLine];
            ASSERT_LE(broken.caretOffset, caretLine.size());
            std::size_t start = 0;
            while (start < broken.caretOffset) {
                start += cp.CharLength(caretLine, start);
            }
            ASSERT_EQ(start, broken.caretOffset) << text;
            Lines lines = broken.lines;
            if (lines.size() > 1 && lines.back().empty()) {
                lines.pop_back();  // the caret's line after a space at the limit
            }
            ASSERT_EQ(BreakParagraph(Joined(lines), 0, f.rules).lines, lines) << text;
        }
    }
}

}  // namespace
}  // namespace corvina
