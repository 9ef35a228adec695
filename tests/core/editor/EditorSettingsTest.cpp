#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "TestSupport.h"
#include "common/BufferedFile.h"
#include "common/CodePage.h"
#include "editor/EditorFiles.h"
#include "editor/EditorSettingsFile.h"
#include "editor/KeywordTable.h"

namespace corvina {
namespace {

using test::ScratchDir;

TEST(EditorFiles, LocationFollowsIlkaHomeElseTheConfigDirectory) {
    struct Case {
        EditorFileEnvironment env;
        std::string_view extension;
        std::filesystem::path expected;
    };
    const Case cases[] = {
        {{"/opt/ilka", "/xdg", "/home/u"}, "INI", "/opt/ilka/Ilka.INI"},
        {{"/opt/ilka/", "", "/home/u"}, "KWD", "/opt/ilka/Ilka.KWD"},
        {{"", "/xdg", "/home/u"}, "INI", "/xdg/Talvern/Ilka.INI"},
        {{"", "relative/xdg", "/home/u"}, "KWD", "/home/u/.config/Talvern/Ilka.KWD"},
        {{"", "", "/home/u"}, "INI", "/home/u/.config/Talvern/Ilka.INI"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EditorFilePath(c.extension, c.env), c.expected) << c.env.ilkaHome;
    }
    EXPECT_EQ(KeyFilePath("/cfg/Talvern/Ilka.INI", "Ilka.KEY"), "/cfg/Talvern/Ilka.KEY");
    EXPECT_EQ(KeyFilePath("/cfg/Talvern/Ilka.INI", ""), "/cfg/Talvern/Ilka.KEY");
    EXPECT_EQ(KeyFilePath("/cfg/Ilka.INI", "/etc/keys.KEY"), "/etc/keys.KEY");
}

TEST(EditorFiles, KeywordFileIsCreatedFromTheTemplateButNeverOverwritten) {
    ScratchDir dir;
    const auto templateFile = dir / "IlkaOrg.KWD";
    test::WriteFileBytes(templateFile, "From:\t1\r\n");
    const auto keywordFile = dir / "new" / "Talvern" / "Ilka.KWD";

    ASSERT_TRUE(EnsureKeywordFile(keywordFile, templateFile));
    EXPECT_EQ(test::ReadFileBytes(keywordFile), "From:\t1\r\n");
    struct stat st {};
    ASSERT_EQ(stat(keywordFile.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(keywordFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    test::WriteFileBytes(keywordFile, "Mine\t2\r\n");
    EXPECT_TRUE(EnsureKeywordFile(keywordFile, templateFile));
    EXPECT_EQ(test::ReadFileBytes(keywordFile), "Mine\t2\r\n");

    // Without a template there is nothing to copy: no file, no failure
    // beyond the result.
    const auto orphan = dir / "other" / "Ilka.KWD";
    EXPECT_FALSE(EnsureKeywordFile(orphan, dir / "missing.KWD"));
    EXPECT_FALSE(std::filesystem::exists(orphan));
}

// The shipped template loads as a keyword file in every code page, and
// every line of it is a keyword line or a comment: nothing is cut or lost.
TEST(EditorFiles, ShippedKeywordTemplateLoadsInEveryCodePage) {
    const auto shipped =
        std::filesystem::path(CORVINA_TEST_DATA_DIR) / "../../share/corvina" / kKeywordTemplateName;
    BufferedFile file;
    ASSERT_TRUE(file.Open(shipped, BufferedFile::kRead));
    const std::regex format("[ -~]+\t[0-9A-F]|[ -~]*");
    std::size_t keywords = 0;
    for (std::string line; file.ReadLine(line, 257) > 0;) {
        ASSERT_LT(line.size(), 257u);
        line.pop_back();
        EXPECT_TRUE(std::regex_match(line, format)) << line;
        keywords += line.find('\t') != std::string::npos;
    }
    for (const int codePage : {932, 65001, 1252}) {
        KeywordTable table;
        ASSERT_TRUE(table.Load(shipped, CodePage::Get(codePage)));
        EXPECT_EQ(table.Size(), keywords) << codePage;
    }
    EXPECT_GE(keywords, 20u);
}

TEST(EditorSettings, MissingFileGivesTheDefaultsWithFontsByCodePage) {
    for (const int codePage : {932, 1252}) {
        EditorOptions options;
        options.defaultTab = 3;
        ASSERT_TRUE(LoadEditorOptions("/nonexistent/Ilka.INI", codePage, options));
        EXPECT_EQ(options.defaultTab, 8);
        EXPECT_EQ(options.colors, EditorColors{});
        EXPECT_EQ(options.kinsoku.ankBura, BuiltInKinsokuSets(codePage).ankBura);
        const bool japanese = codePage == 932;
        EXPECT_EQ(
            std::tie(options.textFont, options.printFont, options.statBarFont),
            std::make_tuple(japanese ? "FixedSys" : "Courier", japanese ? "FixedSys" : "Courier",
                            japanese ? "FixedSys" : "Courier New"));
        EXPECT_EQ(options.statBarFontHeight, japanese ? 14 : 16);
    }
}

TEST(EditorSettings, ChangedBrokenAndEmptyValues) {
    EditorOptions options;
    options.printFont = "Chosen Print";
    options.printFontHeight = 11;
    ASSERT_TRUE(LoadEditorOptions(test::DataPath("editor/settings-mixed.ini"), 1252, options));

    const EditorOptions& o = options;
    // "seventy" reads 0, "  3px" 3; an empty InsertMode keeps its default,
    // "yes" is no number; keys compare without case.
    EXPECT_EQ(std::tie(o.defaultTab, o.autoSplitCol, o.rollTimer, o.wideLine, o.printTop),
              std::make_tuple(4, 0, -5, 3, 10));
    EXPECT_EQ(std::tie(o.header, o.keyDefinition), std::make_tuple("&f page &p", "keys/My.KEY"));
    EXPECT_EQ(std::tie(o.autoSplit, o.softTab, o.insertMode, o.keyBold),
              std::make_tuple(false, true, true, false));

    // Missing fields read 0 and values clamp to 0..255.
    const EditorColors defaults;
    EXPECT_EQ(std::tie(o.colors.text, o.colors.back, o.colors.mark, o.colors.eof, o.colors.lineEnd,
                       o.colors.tab, o.colors.keyword[11], o.colors.keyword[10]),
              std::make_tuple(Rgb{10, 20, 30}, Rgb{1, 2, 3}, Rgb{0, 0, 0}, Rgb{255, 0, 7},
                              Rgb{12, 0, 0}, defaults.tab, Rgb{255, 128, 0}, defaults.keyword[10]));

    const KinsokuSets builtIn = BuiltInKinsokuSets(1252);
    EXPECT_EQ(
        std::tie(o.kinsoku.ankBura, o.kinsoku.ankOida, o.kinsoku.ankTitle, o.kinsoku.dbcsOida),
        std::make_tuple(builtIn.ankBura, "<", "#*", builtIn.dbcsOida));

    // The print font named by the client's preferences stays.
    EXPECT_EQ(std::tie(o.textFont, o.textFontHeight, o.printFont, o.printFontHeight, o.statBarFont,
                       o.statBarFontHeight),
              std::make_tuple("Monospace", 12, "Chosen Print", 11, "Courier New", 0));
}

std::size_t CountChars(const std::string& text, int codePage) {
    const CodePage& cp = CodePage::Get(codePage);
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += cp.CharLength(text, pos)) {
        ++n;
    }
    return n;
}

TEST(EditorSettings, BuiltInSetsInEachCodePage) {
    const KinsokuSets sjis = BuiltInKinsokuSets(932);
    const KinsokuSets utf8 = BuiltInKinsokuSets(65001);
    const KinsokuSets western = BuiltInKinsokuSets(1252);

    // 932 holds every character, the half-width additions as single bytes.
    EXPECT_EQ(sjis.ankOida, "([{\xA2");
    EXPECT_EQ(sjis.ankBura, ")]},.\xDF\xDE?!\"'\xA3\xA4\xA1\xB0");
    EXPECT_EQ(sjis.dbcsOida.substr(0, 4), "\x81\x69\x81\x6D");  // （［
    for (const auto field :
         {&KinsokuSets::dbcsDelimiter, &KinsokuSets::dbcsOida, &KinsokuSets::dbcsBura}) {
        EXPECT_EQ(CountChars(sjis.*field, 932), CountChars(utf8.*field, 65001));
        EXPECT_EQ((sjis.*field).size(), 2 * CountChars(sjis.*field, 932));
        EXPECT_EQ((sjis.*field).find('?'), std::string::npos);
    }
    // UTF-8 keeps the common table (its half-width voiced marks included),
    // without the Japanese additions.
    EXPECT_EQ(utf8.ankOida, "([{");
    EXPECT_EQ(utf8.ankBura, ")]},.\uFF9F\uFF9E?!\"'");
    EXPECT_EQ(utf8.dbcsOida, "（［｛「〔《『【〈≪‘“");
    // A single-byte page drops what it cannot hold.
    EXPECT_EQ(western.ankBura, ")]},.?!\"'");
    EXPECT_EQ(western.ankDelimiter, "\"'/+*-=|~`,.?!;:[]{}()<>");
    EXPECT_EQ(western.dbcsOida, "\x91\x93");  // ‘ “
    EXPECT_EQ(western.dbcsBura.find('?'), std::string::npos);
}

}  // namespace
}  // namespace corvina
