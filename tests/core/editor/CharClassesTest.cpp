#include "editor/CharClasses.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/CodePage.h"
#include "editor/EditorOptions.h"
#include "editor/EditorSettingsFile.h"

namespace corvina {
namespace {

KinsokuSets Sets(int codePage) {
    return BuiltInKinsokuSets(codePage);
}

TEST(CharClasses, ShiftJisTable) {
    const CodePage& sjis = CodePage::Get(CodePage::kShiftJis);
    const KinsokuSets sets = Sets(CodePage::kShiftJis);
    struct Case {
        const char* text;
        int wordClass;
    } cases[] = {
        {"a", kWordAscii},
        {" ", kWordDelimiter},
        {"\t", kWordDelimiter},
        {"\xb1", kWordHalfKana},
        {"\xa1", kWordHalfKana},
        {"\x80", kWordHighByte},
        {"\x81\x40", kWordWideDelimiter},
        {"\x82\x60", kWordWideAlnum},
        {"\x82\xa0", kWordHiragana},
        {"\x83\x41", kWordKatakana},
        {"\x81\x5b", kWordKatakana},
        {"\x88\x9f", kWordKanji},
        {"\x81\x58", kWordKanji},
        {"\x84\x40", kWordWideOther},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WordClassAt(c.text, 0, sjis, sets), c.wordClass) << c.text;
    }
}

TEST(CharClasses, UnicodeClassesOnUtf8) {
    const CodePage& utf8 = CodePage::Get(CodePage::kUtf8);
    const KinsokuSets sets = Sets(CodePage::kUtf8);
    struct Case {
        const char* text;
        int wordClass;
    } cases[] = {
        {"\xc3\xa9", kWordAscii},              // é joins ASCII letters
        {"\xe3\x80\x80", kWordWideDelimiter},  // ideographic space
        {"\xef\xbc\xa1", kWordWideAlnum},      // full-width A
        {"\xe3\x81\x82", kWordHiragana},
        {"\xe3\x82\xa2", kWordKatakana},
        {"\xe6\xbc\xa2", kWordKanji},
        {"\xef\xbd\xb1", kWordHalfKana},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WordClassAt(c.text, 0, utf8, sets), c.wordClass) << c.text;
    }
}

TEST(CharClasses, RunsStopAtClassChangesAndDelimitersStandAlone) {
    const CodePage& sjis = CodePage::Get(CodePage::kShiftJis);
    const KinsokuSets sets = Sets(CodePage::kShiftJis);
    // "abc" kanji kanji hiragana " x"
    const std::string line = "abc\x8a\xbf\x8e\x9a\x82\xcc x";
    using Run = std::pair<std::size_t, std::size_t>;
    EXPECT_EQ(WordRunAt(line, 1, sjis, sets), (Run{0, 3}));
    EXPECT_EQ(WordRunAt(line, 5, sjis, sets), (Run{3, 7}));
    EXPECT_EQ(WordRunAt(line, 7, sjis, sets), (Run{7, 9}));
    EXPECT_EQ(WordRunAt(line, 9, sjis, sets), (Run{9, 10}));
    EXPECT_EQ(WordRunAt(line, 99, sjis, sets), (Run{line.size(), line.size()}));

    const CodePage& utf8 = CodePage::Get(CodePage::kUtf8);
    const std::string word =
        "one Stra\xc3\x9f"
        "e two";
    EXPECT_EQ(WordRunAt(word, 6, utf8, Sets(CodePage::kUtf8)), (Run{4, 11}));
}

}  // namespace
}  // namespace corvina
