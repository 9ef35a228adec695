#include "editor/EditorEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "common/CodePage.h"
#include "editor/CommandTable.h"
#include "editor/SearchState.h"
#include "platform/ConfigStore.h"

namespace corvina {
namespace {

using test::ScratchDir;
using test::WriteFileBytes;

// A home with the editor's files in their own folder and the shipped
// keyword template in a third.
struct EditorHome {
    ScratchDir dir;
    EditorEnvironmentPaths paths;
    ConfigStore clientSettings;
    KeyBindings bindings;
    SearchState search;
    EditorEnvironment environment;

    EditorHome() {
        std::filesystem::create_directories(dir / "config");
        std::filesystem::create_directories(dir / "home");
        paths = {dir / "config" / "Ilka.INI", dir / "config" / "Ilka.KWD", std::nullopt,
                 dir / "home"};
        clientSettings.LoadFromText("[Settings]\nFindOption=WR\nReplOption=IT\n");
    }
    bool Start() {
        return environment.Start(paths, CodePage::Get(CodePage::kUtf8), clientSettings, bindings,
                                 search);
    }
    std::filesystem::path HistoryFile() const { return paths.homeDir / "Corvina.HST"; }
};

TEST(EditorEnvironment, ReadsEveryFileInOrder) {
    EditorHome home;
    WriteFileBytes(home.paths.settingsFile,
                   "[Settings]\nDefaultTAB=4\nKeyDefinition=My.KEY\n[Options]\nKeyWords=0\n");
    WriteFileBytes(home.paths.keywordFile, "From\t1\nSubject\tB\n");
    WriteFileBytes(home.paths.settingsFile.parent_path() / "My.KEY", "CsrUp\n");
    WriteFileBytes(home.HistoryFile(), "alpha\tI\nbeta\n");

    EXPECT_TRUE(home.Start()) << home.environment.ProblemText();
    EXPECT_TRUE(home.environment.Problems().empty());
    EXPECT_EQ(home.environment.Options().defaultTab, 4);
    EXPECT_FALSE(home.environment.Options().keyWords);
    EXPECT_EQ(home.environment.Keywords().Size(), 2u);
    // The key file named by KeyDefinition unbinds the Up key.
    EXPECT_EQ(home.bindings.Row("CsrUp")->key1, kNoKey);
    EXPECT_EQ(home.search.FindOptions().Letters(), "WR");
    EXPECT_EQ(home.search.ReplaceOptions().Letters(), "IT");
    // The history line without option letters takes the find options
    // read before it.
    ASSERT_EQ(home.search.History().Entries().size(), 2u);
    EXPECT_EQ(home.search.History().Entries()[1].options, "WR");
}

TEST(EditorEnvironment, MissingFilesKeepTheDefaults) {
    EditorHome home;
    home.clientSettings = ConfigStore();
    const KeyBindings defaults;

    EXPECT_TRUE(home.Start());
    EXPECT_TRUE(home.environment.Problems().empty());
    EXPECT_EQ(home.environment.Options().defaultTab, EditorOptions().defaultTab);
    EXPECT_TRUE(home.environment.Keywords().Empty());
    EXPECT_EQ(home.bindings.Row("CsrUp")->key1, defaults.Row("CsrUp")->key1);
    EXPECT_EQ(home.search.FindOptions().Letters(), "I");
    EXPECT_TRUE(home.search.History().Entries().empty());
}

TEST(EditorEnvironment, MissingKeywordFileIsMadeFromTheTemplate) {
    EditorHome home;
    home.paths.keywordTemplate = home.dir / "IlkaOrg.KWD";
    WriteFileBytes(*home.paths.keywordTemplate, "Date\t2\n");

    EXPECT_TRUE(home.Start());
    EXPECT_EQ(test::ReadFileBytes(home.paths.keywordFile), "Date\t2\n");
    EXPECT_EQ(home.environment.Keywords().Size(), 1u);
}

// A directory where a file is expected exists but cannot be read, even by
// root: the start goes on with defaults and names the file.
TEST(EditorEnvironment, UnreadableFileIsReportedAndTheRestStillLoads) {
    for (const std::string which : {"settings", "keyword", "key", "history"}) {
        SCOPED_TRACE(which);
        EditorHome home;
        WriteFileBytes(home.paths.settingsFile, "[Settings]\nDefaultTAB=4\n");
        WriteFileBytes(home.paths.keywordFile, "From\t1\n");
        WriteFileBytes(home.HistoryFile(), "alpha\tI\n");
        const std::filesystem::path broken =
            which == "settings"  ? home.paths.settingsFile
            : which == "keyword" ? home.paths.keywordFile
            : which == "key"     ? home.paths.settingsFile.parent_path() / "Ilka.KEY"
                                 : home.HistoryFile();
        std::filesystem::remove(broken);
        std::filesystem::create_directories(broken);

        EXPECT_FALSE(home.Start());
        ASSERT_EQ(home.environment.Problems().size(), 1u);
        EXPECT_NE(home.environment.ProblemText().find(broken.string()), std::string::npos);
        EXPECT_EQ(home.environment.Options().defaultTab, which == "settings" ? 8 : 4);
        EXPECT_EQ(home.environment.Keywords().Size(), which == "keyword" ? 0u : 1u);
        EXPECT_EQ(home.search.History().Entries().size(), which == "history" ? 0u : 1u);
    }
}

TEST(EditorEnvironment, FinishWritesTheHistoryAndReportsAFailure) {
    EditorHome home;
    ASSERT_TRUE(home.Start());
    home.search.AddToHistory("needle", SearchOptions::FromLetters("W"));
    EXPECT_TRUE(home.environment.Finish(home.search));
    SearchState reread;
    ASSERT_TRUE(reread.LoadHistory(home.paths.homeDir));
    ASSERT_FALSE(reread.History().Entries().empty());
    EXPECT_EQ(reread.History().Entries()[0], (SearchHistoryEntry{"needle", "W"}));

    std::filesystem::remove_all(home.paths.homeDir);
    WriteFileBytes(home.paths.homeDir, "a file, not the home directory");
    EXPECT_FALSE(home.environment.Finish(home.search));
    EXPECT_NE(home.environment.ProblemText().find("Corvina.HST"), std::string::npos);
}

}  // namespace
}  // namespace corvina
