// Reading Filter.DEF for matching and for the editor, the editor's list
// operations, and the rewrite of rule folders when a folder is renamed.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "filter/FilterEditor.h"
#include "filter/FilterRule.h"
#include "store/FolderFilterLines.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

TEST(FilterDefParse, FieldsFlagsAndShortLines) {
    const std::string text =
        "From\tboss@example.com\tWork\t\r\n"    // dialog form: ends in a tab
        "Subject\t[list]\tLists\\Dev\txIx\r\n"  // "I" anywhere in field 4
        "To\tme\r\n"                            // two fields: skipped
        "X-Mailer\tMutt\tOther\n"               // LF only, no flags field
        "\r\n"
        "Cc\tfoo\tCc\tI";  // last line without line end
    const auto rules = ParseFilterRules(text);
    ASSERT_EQ(rules.size(), 4u);
    EXPECT_EQ(rules[0], (FilterRule{"From", "boss@example.com", "Work", 0}));
    EXPECT_EQ(rules[1], (FilterRule{"Subject", "[list]", "Lists\\Dev", kFilterIgnoreCase}));
    EXPECT_EQ(rules[2], (FilterRule{"X-Mailer", "Mutt", "Other", 0}));
    EXPECT_TRUE(rules[3].IgnoreCase());
}

TEST(FilterDefParse, EmptyFieldsAreNoTokens) {
    // Doubled tabs do not make an empty find text.
    const auto rules = ParseFilterRules("From\t\tWork\t\r\nFrom\t\tx\t\tWork\r\n");
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].find, "x");
    EXPECT_EQ(rules[0].folder, "Work");
}

TEST(FilterDefParse, NulByteIsOrdinary) {
    const std::string text("From\ta\0b\tWork\t\r\nTo\tc\tJob\t\r\n", 26);
    const auto rules = ParseFilterRules(text);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].find, std::string("a\0b", 3));
    EXPECT_EQ(rules[1].folder, "Job");
}

TEST(FilterDefParse, EditorLeavesOutShortAndCommentLines) {
    const auto lines =
        ParseFilterEditorLines("# comment\r\nx\r\n\r\nFrom\ta\tWork\t\r\nab\r\n#\r\n");
    EXPECT_EQ(lines, (std::vector<std::string>{"From\ta\tWork\t", "ab"}));
}

class FilterEditorTest : public ::testing::Test {
protected:
    ScratchDir dir;
    FilterEditor editor;
};

TEST_F(FilterEditorTest, ComposeLineNeedsHeaderFindAndRealFolder) {
    const auto box = dir.Path();
    EXPECT_EQ(FilterEditor::ComposeLine("From", "a@b", box, box / "Work" / "Old.mbx", false),
              "From\ta@b\tWork\\Old\t");
    EXPECT_EQ(FilterEditor::ComposeLine("Subject", "x", box, box / "Job.mbx", true),
              "Subject\tx\tJob\tI");
    EXPECT_EQ(FilterEditor::ComposeLine("", "x", box, box / "Job.mbx", false), "");
    EXPECT_EQ(FilterEditor::ComposeLine("From", "", box, box / "Job.mbx", false), "");
    // The account root has no file.
    EXPECT_EQ(FilterEditor::ComposeLine("From", "x", box, {}, false), "");
    EXPECT_EQ(FilterEditor::ComposeLine("From", "x", box, "/elsewhere/Job.mbx", false), "");
    EXPECT_EQ(FilterEditor::ComposeLine("From", "a\tb", box, box / "Job.mbx", false), "");
}

TEST_F(FilterEditorTest, ListOperations) {
    EXPECT_FALSE(editor.Add(""));
    EXPECT_FALSE(editor.Replace("r"));  // nothing selected
    EXPECT_FALSE(editor.Delete());
    ASSERT_TRUE(editor.Add("a"));
    ASSERT_TRUE(editor.Add("c"));
    EXPECT_EQ(editor.Selected(), 1);
    ASSERT_TRUE(editor.Insert("b"));  // before "c"
    EXPECT_EQ(editor.Lines(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(editor.Selected(), 1);
    ASSERT_TRUE(editor.Replace("B"));
    EXPECT_TRUE(editor.Up());
    EXPECT_EQ(editor.Lines(), (std::vector<std::string>{"B", "a", "c"}));
    EXPECT_EQ(editor.Selected(), 0);
    EXPECT_FALSE(editor.Up());
    editor.Select(2);
    EXPECT_FALSE(editor.Down());
    ASSERT_TRUE(editor.Delete());  // last line: selection moves up
    EXPECT_EQ(editor.Selected(), 1);
    editor.Select(0);
    ASSERT_TRUE(editor.Delete());
    EXPECT_EQ(editor.Lines(), (std::vector<std::string>{"a"}));
    EXPECT_EQ(editor.Selected(), 0);
    editor.Select(-1);
    ASSERT_TRUE(editor.Insert("z"));  // no selection: at the end
    EXPECT_EQ(editor.Lines().back(), "z");
}

TEST_F(FilterEditorTest, SaveWritesWholeFileAndDropsComments) {
    const auto def = dir / "Filter.DEF";
    WriteFileBytes(def, "# mine\r\nFrom\ta\tWork\t\r\nq\r\nTo\tb\tJob\tI\r\n");
    editor.Load(def);
    ASSERT_EQ(editor.Lines().size(), 2u);
    editor.Select(0);
    ASSERT_TRUE(editor.Down());
    ASSERT_TRUE(editor.Save(def));
    EXPECT_EQ(ReadFileBytes(def), "To\tb\tJob\tI\r\nFrom\ta\tWork\t\r\n");

    editor.Load(dir / "missing.DEF");
    EXPECT_TRUE(editor.Lines().empty());
    EXPECT_FALSE(editor.Save(dir / "no" / "such" / "Filter.DEF"));
}

TEST(FilterRewrite, RenameTouchesFolderAndBelowOnly) {
    const std::string text =
        "From\ta\tWork\t\r\n"
        "From\tb\twork\\Old\\Deep\tI\r\n"
        "From\tc\tWorkshop\t\r\n"
        "From\td\tProjects\\Work\t\r\n"
        "# Work comment\r\n"
        "To\tonly-two\r\n"
        "Subject\te\tWork\t\tjunk\r\n";
    int changed = 0;
    const std::string out = RewriteFilterFolders(text, "Work", "Job", &changed);
    EXPECT_EQ(changed, 3);
    EXPECT_EQ(out,
              "From\ta\tJob\t\r\n"
              "From\tb\tJob\\Old\\Deep\tI\r\n"
              "From\tc\tWorkshop\t\r\n"
              "From\td\tProjects\\Work\t\r\n"
              "# Work comment\r\n"
              "To\tonly-two\r\n"
              "Subject\te\tJob\tjunk\r\n");
}

TEST(FilterRewrite, NestedRenameAndFile) {
    ScratchDir dir;
    const auto def = dir / "Filter.DEF";
    WriteFileBytes(def, "From\ta\tProjects\\Work\\Old\t\nFrom\tb\tWork\t\n");
    ASSERT_TRUE(RewriteFilterFile(def, "Projects\\Work", "Projects\\Job"));
    EXPECT_EQ(ReadFileBytes(def), "From\ta\tProjects\\Job\\Old\t\r\nFrom\tb\tWork\t\n");
    EXPECT_TRUE(RewriteFilterFile(dir / "none.DEF", "a", "b"));
    EXPECT_FALSE(std::filesystem::exists(dir / "none.DEF"));
}

}  // namespace
}  // namespace corvina
