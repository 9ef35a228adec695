#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/BufferedFile.h"
#include "common/CodePage.h"
#include "editor/EditorFiles.h"
#include "editor/EditorSettingsFile.h"

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
        {{"", "/xdg", "/home/u"}, "INI", "/xdg/Talvern/Corvina.INI"},
        {{"", "relative/xdg", "/home/u"}, "KWD", "/home/u/.config/Talvern/Corvina.KWD"},
        {{"", "", "/home/u"}, "INI", "/home/u/.config/Talvern/Corvina.INI"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EditorFilePath(c.extension, c.env), c.expected) << c.env.ilkaHome;
    }
    EXPECT_EQ(KeyFilePath("/cfg/Talvern/Corvina.INI", "Ilka.KEY"), "/cfg/Talvern/Ilka.KEY");
    EXPECT_EQ(KeyFilePath("/cfg/Talvern/Corvina.INI", ""), "/cfg/Talvern/Ilka.KEY");
    EXPECT_EQ(KeyFilePath("/cfg/Corvina.INI", "/etc/keys.KEY"), "/etc/keys.KEY");
}

TEST(EditorFiles, KeywordFileIsCreatedFromTheTemplateButNeverOverwritten) {
    ScratchDir dir;
    const auto templateFile = dir / "IlkaOrg.KWD";
    test::WriteFileBytes(templateFile, "From:\t1\r\n");
    const auto keywordFile = dir / "new" / "Talvern" / "Corvina.KWD";

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
    const auto orphan = dir / "other" / "Corvina.KWD";
    EXPECT_FALSE(EnsureKeywordFile(orphan, dir / "missing.KWD"));
    EXPECT_FALSE(std::filesystem::exists(orphan));
}

// The shipped template reads as keyword lines (text, TAB, colour digit)
// and comment lines without a TAB, ASCII only, no line cut by the reader.
TEST(EditorFiles, ShippedKeywordTemplateHasTheKeywordFileFormat) {
    const auto path = std::filesystem::path(CORVINA_TEST_DATA_DIR) / ".." / ".." / "share" /
                      "corvina" / kKeywordTemplateName;
    BufferedFile file;
    ASSERT_TRUE(file.Open(path, BufferedFile::kRead)) << path;
    std::string line;
    int keywords = 0;
    while (file.ReadLine(line, 257) > 0) {
        ASSERT_LT(line.size(), 257u);
        line.pop_back();
        if (line.empty()) {
            continue;
        }
        for (unsigned char c : line) {
            EXPECT_TRUE(c == '\t' || (c >= 0x20 && c < 0x7F)) << line;
        }
        const auto tab = line.find('\t');
        if (tab == std::string::npos) {
            continue;
        }
        EXPECT_GT(tab, 0u) << line;
        EXPECT_EQ(line.size(), tab + 2) << line;
        EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(line.back())) &&
                    !std::islower(static_cast<unsigned char>(line.back())))
            << line;
        ++keywords;
    }
    EXPECT_GE(keywords, 20);
}

TEST(EditorSettings, MissingFileGivesTheDefaultsWithFontsByCodePage) {
    for (const int codePage : {932, 1252}) {
        EditorOptions options;
        options.defaultTab = 3;
        ASSERT_TRUE(LoadEditorOptions("/nonexistent/Corvina.INI", codePage, options));
        EXPECT_EQ(options.defaultTab, 8);
        EXPECT_EQ(options.autoSplitCol, 73);
        EXPECT_EQ(options.keyDefinition, "Ilka.KEY");
        EXPECT_TRUE(options.autoSplit);
        EXPECT_EQ(options.colors, EditorColors{});
        EXPECT_EQ(options.kinsoku.ankBura, BuiltInKinsokuSets(codePage).ankBura);
        const bool japanese = codePage == 932;
        EXPECT_EQ(options.textFont, japanese ? "FixedSys" : "Courier");
        EXPECT_EQ(options.printFont, japanese ? "FixedSys" : "Courier");
        EXPECT_EQ(options.statBarFont, japanese ? "FixedSys" : "Courier New");
        EXPECT_EQ(options.statBarFontHeight, japanese ? 14 : 16);
        EXPECT_EQ(options.textFontHeight, 18);
    }
}

TEST(EditorSettings, ChangedBrokenAndEmptyValues) {
    EditorOptions options;
    options.printFont = "Chosen Print";  // set by the client's preferences
    options.printFontHeight = 11;
    ASSERT_TRUE(LoadEditorOptions(test::DataPath("editor/settings-mixed.ini"), 1252, options));

    EXPECT_EQ(options.defaultTab, 4);
    EXPECT_EQ(options.autoSplitCol, 0);  // "seventy"
    EXPECT_EQ(options.rollTimer, -5);
    EXPECT_EQ(options.wideLine, 3);
    EXPECT_EQ(options.header, "&f page &p");
    EXPECT_EQ(options.keyDefinition, "keys/My.KEY");
    EXPECT_EQ(options.printTop, 10);

    EXPECT_FALSE(options.autoSplit);
    EXPECT_TRUE(options.softTab);     // keys compare without case
    EXPECT_TRUE(options.insertMode);  // empty value: the default
    EXPECT_FALSE(options.keyBold);    // "yes" is no number

    const EditorColors defaults;
    EXPECT_EQ(options.colors.text, (Rgb{10, 20, 30}));
    EXPECT_EQ(options.colors.back, (Rgb{1, 2, 3}));
    EXPECT_EQ(options.colors.mark, (Rgb{0, 0, 0}));
    EXPECT_EQ(options.colors.eof, (Rgb{255, 0, 7}));
    EXPECT_EQ(options.colors.lineEnd, (Rgb{12, 0, 0}));
    EXPECT_EQ(options.colors.tab, defaults.tab);
    EXPECT_EQ(options.colors.keyword[11], (Rgb{255, 128, 0}));
    EXPECT_EQ(options.colors.keyword[10], defaults.keyword[10]);

    const KinsokuSets builtIn = BuiltInKinsokuSets(1252);
    EXPECT_EQ(options.kinsoku.ankBura, builtIn.ankBura);
    EXPECT_EQ(options.kinsoku.ankOida, "<");
    EXPECT_EQ(options.kinsoku.ankTitle, "#*");
    EXPECT_EQ(options.kinsoku.dbcsOida, builtIn.dbcsOida);

    EXPECT_EQ(options.textFont, "Monospace");
    EXPECT_EQ(options.textFontHeight, 12);
    EXPECT_EQ(options.printFont, "Chosen Print");
    EXPECT_EQ(options.printFontHeight, 11);
    EXPECT_EQ(options.statBarFont, "Courier New");
    EXPECT_EQ(options.statBarFontHeight, 0);
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
