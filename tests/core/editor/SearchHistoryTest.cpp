#include "editor/SearchHistory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace corvina {
namespace {

using Entries = std::vector<SearchHistoryEntry>;

// A file as a user might leave it: a line without TAB, empty lines, an
// empty string, a repeated string, a string holding a TAB, the longest
// string the dialogs take with all its letters (265 bytes), and a line
// too long for any search string.
TEST(SearchHistory, ReadsAHandEditedFile) {
    SearchHistory history;
    ASSERT_TRUE(history.Load(test::DataPath("editor/search-history-hand-edited.hst"), "IZ"));
    const std::string longest = std::string(250, 'x') + "\\tend";
    EXPECT_EQ(history.Entries(), (Entries{{"Subject:", "IW"},
                                          {"no tab here", "IZ"},
                                          {"cell\there", "RT"},
                                          {longest, "GAMIR"},
                                          {"last", "I"}}));
}

TEST(SearchHistory, KeepsTheNewest32AndSavesThemAll) {
    test::ScratchDir dir;
    const auto file = SearchHistory::FileIn(dir.Path());
    SearchHistory history;
    for (int i = 0; i < 33; ++i) {
        ASSERT_TRUE(history.Add("find " + std::to_string(i), "I"));
    }
    ASSERT_TRUE(history.Add("find 10", "RW?"));  // moves to the front
    ASSERT_EQ(history.Entries().size(), 32u);
    EXPECT_EQ(history.Entries()[0], (SearchHistoryEntry{"find 10", "RW"}));
    EXPECT_EQ(history.Entries()[1].text, "find 32");
    EXPECT_EQ(history.Entries()[31].text, "find 1");  // "find 0" dropped

    for (const std::string& bad :
         {std::string(), std::string("two\nlines"), std::string(256, 'x')}) {
        EXPECT_FALSE(history.Add(bad, "I"));
    }
    EXPECT_EQ(history.Entries().size(), 32u);

    ASSERT_TRUE(history.Save(file));
    SearchHistory again;
    ASSERT_TRUE(again.Load(file, "G"));
    EXPECT_EQ(again.Entries(), history.Entries());

    // A short history still writes every line; reading gives it back.
    SearchHistory few;
    few.Add("alpha", "");
    few.Add("beta", "IW");
    ASSERT_TRUE(few.Save(file));
    std::string expected = "beta\tIW\r\nalpha\t\r\n";
    for (int i = 0; i < 30; ++i) {
        expected += "\r\n";
    }
    EXPECT_EQ(test::ReadFileBytes(file), expected);
    ASSERT_TRUE(again.Load(file, "G"));
    EXPECT_EQ(again.Entries(), few.Entries());
}

TEST(SearchHistory, MissingFileIsEmptyAndUnreadableFileKeepsTheEntries) {
    test::ScratchDir dir;
    SearchHistory history;
    history.Add("kept", "I");
    EXPECT_FALSE(history.Load(dir.Path(), "I"));  // a directory
    EXPECT_EQ(history.Entries().size(), 1u);
    EXPECT_TRUE(history.Load(dir / "Corvina.HST", "I"));
    EXPECT_TRUE(history.Entries().empty());
}

}  // namespace
}  // namespace corvina
