// Start-up: command line, hand-over decision, show command, first action,
// LoadSettings with its questions, profile selection and menu, shutdown.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "StartupPrompt.h"
#include "TestSupport.h"
#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/PasswordScrambler.h"
#include "app/ProfileSelection.h"
#include "app/SettingsLoader.h"
#include "app/Shutdown.h"
#include "app/Startup.h"
#include "common/CodePage.h"
#include "platform/ConfigStore.h"
#include "platform/SingleInstance.h"

namespace corvina {
namespace {

using test::StartupPrompt;

CommandLine Parse(std::vector<std::string> args, std::set<std::string> existing = {}) {
    return ParseCommandLine(args, [existing](const std::string& p) { return existing.count(p); });
}

TEST(CommandLineParse, AddressInTheSameOrTheNextParameter) {
    EXPECT_EQ(Parse({"/Amailto:x@y"}).address, "x@y");
    EXPECT_EQ(Parse({"/a", "x@y"}).address, "x@y");
    EXPECT_EQ(Parse({"-A", "MailTo:x@y"}).address, "x@y");
    EXPECT_EQ(Parse({"-a", "  mailto:x@y  "}).address, "x@y");
    EXPECT_EQ(Parse({"-ax@y"}).address, "x@y");
    // Only the first seven characters are the scheme.
    EXPECT_EQ(Parse({"-a", "mailto:mailto:x@y"}).address, "mailto:x@y");
    EXPECT_FALSE(Parse({"-a"}).HasAddress());
    EXPECT_FALSE(Parse({"-a", "mailto:"}).HasAddress());
    EXPECT_TRUE(Parse({"-a"}).files.empty());
}

TEST(CommandLineParse, MailtoQueryNeverNamesAFile) {
    CommandLine cl = Parse({"/A", "mailto:x@y?attach=/etc/passwd&subject=hi"});
    EXPECT_EQ(cl.address, "x@y");
    EXPECT_TRUE(cl.files.empty());
    EXPECT_FALSE(Parse({"-a", "?attach=/etc/passwd"}).HasAddress());
}

TEST(CommandLineParse, BareMailtoUrlIsAnAddress) {
    const struct {
        const char* arg;
        const char* address;  // nullptr: no address
    } cases[] = {
        {"mailto:x@y", "x@y"},
        {"MAILTO:x@y?subject=hi&attach=/etc/passwd", "x@y"},
        {"mailto:J%20Doe%20%3Cx@y%3E", "J Doe <x@y>"},
        // An encoded line end never reaches a header.
        {"mailto:x@y%0D%0ABcc:%20z@w", "x@yBcc: z@w"},
        {"mailto:", nullptr},
    };
    for (const auto& c : cases) {
        CommandLine cl = Parse({c.arg});
        EXPECT_TRUE(cl.files.empty()) << c.arg;
        if (c.address)
            EXPECT_EQ(cl.address, c.address) << c.arg;
        else
            EXPECT_FALSE(cl.HasAddress()) << c.arg;
    }
    // A file of that name on disk stays a file.
    EXPECT_EQ(Parse({"mailto:x"}, {"mailto:x"}).files, std::vector<std::string>{"mailto:x"});
}

TEST(CommandLineParse, OtherParametersAreFilesAndAbsolutePathsAreNotFlags) {
    CommandLine cl = Parse({"notes.txt", "/tmp/a b.pdf", "-x", "/Zflag", "/archive/x.zip"},
                           {"/tmp/a b.pdf", "/archive/x.zip"});
    EXPECT_FALSE(cl.HasAddress());
    EXPECT_EQ(cl.files, (std::vector<std::string>{"notes.txt", "/tmp/a b.pdf", "/archive/x.zip"}));
    // Address and files together: both parsed.
    CommandLine both = Parse({"f.txt", "-a", "x@y"});
    EXPECT_EQ(both.address, "x@y");
    EXPECT_EQ(both.files, std::vector<std::string>{"f.txt"});
}

TEST(CommandLineParse, FileListRoundTrip) {
    std::vector<std::string> files = {"/tmp/plain.txt", "/tmp/with blank.pdf", "x"};
    std::string line = JoinFileList(files);
    EXPECT_EQ(line, "/tmp/plain.txt \"/tmp/with blank.pdf\" x");
    EXPECT_EQ(SplitFileList(line), files);
    // The single-file form: a leading quote names one file.
    EXPECT_EQ(SplitFileList("  \"C:/My Files/a.txt\"  "),
              std::vector<std::string>{"C:/My Files/a.txt"});
    EXPECT_EQ(SplitFileList("a  b\tc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(SplitFileList("   ").empty());
}

TEST(HandOverDecision, AddressBeforeFilesElseRestore) {
    HandOver a = DecideHandOver(Parse({"f", "-a", "x@y"}));
    EXPECT_EQ(a.kind, HandOver::Kind::kAddress);
    EXPECT_EQ(a.payload, "x@y");
    HandOver f = DecideHandOver(Parse({"one", "two words"}));
    EXPECT_EQ(f.kind, HandOver::Kind::kFiles);
    EXPECT_EQ(f.payload, "one \"two words\"");
    EXPECT_EQ(DecideHandOver(Parse({})).kind, HandOver::Kind::kRestore);
}

TEST(StartShow, StoredShowCommandCountsOnlyWhenMaximized) {
    CommandLine none;
    EXPECT_EQ(StartShowCommand(none, kShowNormal, kShowMaximized), kShowMaximized);
    EXPECT_EQ(StartShowCommand(none, kShowNormal, kShowMinimized), kShowNormal);
    EXPECT_EQ(StartShowCommand(none, kShowDefault, 1), kShowDefault);
    EXPECT_EQ(StartShowCommand(none, kShowDefault, 0), kShowDefault);
    // Requested 0, 2, 3, 6, 7 win over the stored value.
    for (int requested : {0, 2, 3, 6, 7}) {
        EXPECT_EQ(StartShowCommand(none, requested, kShowMaximized), requested);
    }
    // An address or files: minimized without activation.
    EXPECT_EQ(StartShowCommand(Parse({"-a", "x@y"}), kShowNormal, kShowMaximized),
              kShowMinNoActive);
    EXPECT_EQ(StartShowCommand(Parse({"f"}), kShowMaximized, 0), kShowMinNoActive);
}

TEST(StartPlanTest, FirstActionAndCommandLineActions) {
    AppState state;
    EXPECT_EQ(FirstAction(state.current, state.settings),
              (PostedAction{PostedAction::Kind::kCommand, kCmdPreferences}));
    state.current.pop = "pop.example";
    EXPECT_EQ(FirstAction(state.current, state.settings),
              (PostedAction{PostedAction::Kind::kMessage, kWmUser + 1022}));
    state.settings.startupCheck = 1;
    EXPECT_EQ(FirstAction(state.current, state.settings),
              (PostedAction{PostedAction::Kind::kCommand, kCmdReceiveNew}));

    state.settings.hideIcon = 1;
    StartPlan withFiles = PlanStart(Parse({"a", "b"}), kShowNormal, state);
    EXPECT_EQ(withFiles.postFileList, "a b");
    EXPECT_FALSE(withFiles.composeTo);
    EXPECT_TRUE(withFiles.hideWindow);  // minimized and HideIcon set
    StartPlan withAddress = PlanStart(Parse({"-a", "x@y", "a"}), kShowNormal, state);
    EXPECT_EQ(withAddress.composeTo, "x@y");
    EXPECT_FALSE(withAddress.postFileList);
    state.settings.hideIcon = 0;
    EXPECT_FALSE(PlanStart(Parse({"a"}), kShowNormal, state).hideWindow);
}

TEST(ProfileMenu, ConfiguredProfilesOnlyWithNumberedTexts) {
    ProfileTable table;
    table[0].pop = "p0";
    table[0].account = "Home";
    table[2].pop = "p2";  // no Account: numbered fallback
    table[3].account = "No server";
    table[9].pop = "p9";
    table[9].account = "R&D";
    auto entries = ProfileMenuEntries(table);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].commandId, 501);
    EXPECT_EQ(entries[0].text, "&1: Home");
    EXPECT_EQ(entries[1].commandId, 503);
    EXPECT_EQ(entries[1].text, "&3: MailBox 03");
    EXPECT_EQ(entries[2].commandId, 510);
    EXPECT_EQ(entries[2].text, "&10: R&&D");
    EXPECT_EQ(ProfileIndexForCommand(503), 2);
    EXPECT_FALSE(ProfileIndexForCommand(500));
    EXPECT_FALSE(ProfileIndexForCommand(511));
}

TEST(ProfileSelect, WorkingValuesTitleAndSharedMailboxDirectory) {
    AppState state;
    state.homeDirectory = "/srv/mail/";
    state.profiles[1].mailDirNo = 2;
    state.profiles[1].account = "First";
    state.profiles[3].mailDirNo = 2;
    state.profiles[3].pop = "pop3";

    auto one = SelectProfile(state, 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->title, "First");
    auto three = SelectProfile(state, 3);
    ASSERT_TRUE(three);
    EXPECT_EQ(one->mailboxDirectory, three->mailboxDirectory);
    EXPECT_EQ(three->mailboxDirectory, std::filesystem::path("/srv/mail/User2"));
    EXPECT_EQ(three->title, "My Mailbox");
    EXPECT_EQ(state.settings.defUser, 3);
    EXPECT_EQ(state.current.pop, "pop3");

    EXPECT_FALSE(SelectProfile(state, 10));
    EXPECT_FALSE(SelectProfile(state, -1));
    EXPECT_EQ(state.settings.defUser, 3);

    EXPECT_EQ(TrayTip(std::string(100, 'a')).size(), 64u);
    EXPECT_EQ(TrayTip("short"), "short");
    // Counted in characters of the working code page, never cut inside one.
    CodePage::SetWorking(CodePage::kUtf8);
    std::string accented;
    for (int i = 0; i < 70; ++i)
        accented += "\xC3\xA9";
    EXPECT_EQ(TrayTip(accented).size(), 128u);
    CodePage::SetWorking(CodePage::kShiftJis);
    EXPECT_EQ(TrayTip(std::string(63, 'a') + "\x82\xA0" + "b").size(), 65u);
    CodePage::SetWorking(0);
}

class LoadSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        configPath = dir / "config" / "Corvina.ini";
        store.SetPath(configPath);
        context.candidateHome = dir / "data" / "corvina" / "tester";
        context.enterHomeDirectory = false;
    }
    void WriteConfig(const std::string& text) {
        test::WriteFileBytes(configPath, text);
        ASSERT_TRUE(store.Load());
    }

    test::ScratchDir dir;
    std::filesystem::path configPath;
    ConfigStore store;
    LoadContext context;
    StartupPrompt prompt;
    AppState state;
};

TEST_F(LoadSettingsTest, FirstStartAsksForTheHomeDirectoryThenOpensPreferences) {
    ASSERT_TRUE(store.Load());  // no file yet
    const std::string chosen = (dir / "mail").string();
    prompt.texts.push_back(chosen);

    ASSERT_TRUE(LoadSettings(store, prompt, context, state));
    EXPECT_EQ(prompt.events, std::vector<std::string>{"home"});
    EXPECT_EQ(prompt.homeSuggestions[0], context.candidateHome.string() + "/");
    EXPECT_EQ(state.settings.homeDir, chosen + "/");
    EXPECT_TRUE(std::filesystem::is_directory(chosen));
    EXPECT_EQ(state.settings.initialOpenDir, chosen + "/");
    EXPECT_EQ(state.mailboxDirectory, std::filesystem::path(chosen + "/User0"));
    EXPECT_EQ(state.addressBookDirectory, std::filesystem::path(chosen + "/AddrBook"));
    EXPECT_EQ(state.defaultGroup, "!Default");
    EXPECT_EQ(FirstAction(state.current, state.settings).id, kCmdPreferences);

    // The accepted directory is on disk at once.
    ConfigStore reread(configPath);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.GetString("Settings", "HomeDir"), chosen + "/");
}

TEST_F(LoadSettingsTest, UsedHomeNeedsAYesAndUncreatableHomeIsAskedAgain) {
    ASSERT_TRUE(store.Load());
    const auto used = dir / "used";
    test::WriteFileBytes(used / "User0" / "InBox.mbx", "");
    test::WriteFileBytes(dir / "file", "x");
    prompt.texts = {used.string(), (dir / "file" / "sub").string(), used.string()};
    prompt.answers = {ConfirmAnswer::No, ConfirmAnswer::Yes};

    ASSERT_TRUE(LoadSettings(store, prompt, context, state));
    EXPECT_EQ(prompt.events, (std::vector<std::string>{"home", "ask:61450", "home", "msg:61451",
                                                       "home", "ask:61450"}));
    // The dialog stays open with what was typed.
    EXPECT_EQ(prompt.homeSuggestions[1], used.string() + "/");
    EXPECT_EQ(state.settings.homeDir, used.string() + "/");
}

TEST_F(LoadSettingsTest, CancelledHomeDirectoryEndsAndWritesNothing) {
    ASSERT_TRUE(store.Load());
    prompt.texts.push_back(std::nullopt);
    EXPECT_FALSE(LoadSettings(store, prompt, context, state));
    EXPECT_FALSE(std::filesystem::exists(configPath));
}

TEST_F(LoadSettingsTest, WrongPasswordIsAskedAgainAndCancelEnds) {
    const std::string config = "[Settings]\nLocalPass=" + ScramblePassword("open sesame") +
                               "\nHomeDir=" + dir.Path().string() + "\n";
    WriteConfig(config);
    prompt.passwords = {"wrong", "open sesame"};
    ASSERT_TRUE(LoadSettings(store, prompt, context, state));
    EXPECT_EQ(prompt.events, (std::vector<std::string>{"password", "msg:130", "password"}));
    EXPECT_EQ(state.settings.homeDir, dir.Path().string() + "/");

    StartupPrompt cancelling;
    cancelling.passwords = {"wrong", std::nullopt};
    AppState other;
    EXPECT_FALSE(LoadSettings(store, cancelling, context, other));
    EXPECT_EQ(cancelling.events, (std::vector<std::string>{"password", "msg:130", "password"}));
    EXPECT_TRUE(store.Save());
    EXPECT_EQ(test::ReadFileBytes(configPath), config);
}

TEST_F(LoadSettingsTest, StoredHomeAndProfileAreUsedWithoutQuestions) {
    const auto home = dir / "home";
    std::filesystem::create_directories(home);
    WriteConfig("[Settings]\nHomeDir=" + home.string() +
                "\nDefUser=4\nAttachSaveDir=/x/\nCol2Width=80\nDefEncode=2\n"
                "[Users\\4]\nPOP=pop4\nMailDirNo=7\n[Fonts]\nStatSize=80\n");
    ASSERT_TRUE(LoadSettings(store, prompt, context, state));
    EXPECT_TRUE(prompt.events.empty());
    EXPECT_EQ(state.settings.defUser, 4);
    EXPECT_EQ(state.current.pop, "pop4");
    EXPECT_EQ(state.mailboxDirectory, home / "User7");
    EXPECT_EQ(state.settings.attachSaveDir, "/x/");
    EXPECT_EQ(state.settings.initialOpenDir, home.string() + "/");
    EXPECT_EQ(state.settings.colWidth[2], 80);
    EXPECT_EQ(state.settings.defEncode, 2);
    EXPECT_EQ(state.settings.fonts.stat.face, "FixedSys");
}

// A HomeDir written by hand is the user's choice: a missing one is made
// without a question; one that cannot be made is asked again pre-filled
// with it, and a cancel says which folder and why.
TEST_F(LoadSettingsTest, StoredHomeIsMadeOrItsProblemNamed) {
    const auto home = dir / "not" / "yet";
    WriteConfig("[Settings]\nHomeDir=" + home.string() + "\n");
    ASSERT_TRUE(LoadSettings(store, prompt, context, state));
    EXPECT_TRUE(prompt.events.empty());
    EXPECT_TRUE(std::filesystem::is_directory(home));
    EXPECT_EQ(state.settings.homeDir, home.string() + "/");

    test::WriteFileBytes(dir / "file", "x");
    const auto blocked = dir / "file" / "Mail";
    WriteConfig("[Settings]\nHomeDir=" + blocked.string() + "\n");
    StartupPrompt asked;
    std::string why;
    AppState other;
    EXPECT_FALSE(LoadSettings(store, asked, context, other, &why));
    EXPECT_EQ(asked.events, (std::vector<std::string>{"msg:61451", "home"}));
    EXPECT_EQ(asked.homeSuggestions[0], blocked.string() + "/");
    EXPECT_NE(why.find(blocked.string() + " (HomeDir in " + configPath.string()), std::string::npos)
        << why;
    EXPECT_NE(why.find((dir / "file").string() + " is a file, not a folder"), std::string::npos)
        << why;
}

TEST_F(LoadSettingsTest, DefUserOutsideTheTableFallsBackToTheFirstProfile) {
    WriteConfig("[Settings]\nHomeDir=" + dir.Path().string() + "\nDefUser=42\n");
    ASSERT_TRUE(LoadSettings(store, prompt, context, state));
    EXPECT_EQ(state.settings.defUser, 0);
    EXPECT_EQ(state.mailboxDirectory, dir.Path() / "User0");
}

// Every row of the catalogue, whatever step reads it, is loaded by the one
// loader, and the stored code page becomes the working one.
TEST_F(LoadSettingsTest, EveryCatalogueValueIsLoadedAndTheCodePageWorks) {
    std::string config;
    std::string section;
    int n = 0;
    for (const SettingEntry& entry : SettingsCatalogue()) {
        if (section != entry.section) {
            section = entry.section;
            config += "[" + section + "]\n";
        }
        const std::string name = entry.name;
        std::string value = entry.type == SettingType::kInt ? std::to_string(7000 + n)
                                                            : "text " + std::to_string(n);
        if (name == "CodePage")
            value = "932";
        else if (name == "DefUser")
            value = "2";
        else if (name == "HomeDir")
            value = dir.Path().string() + "/";
        else if (entry.type == SettingType::kScrambled)
            value = ScramblePassword(value);
        config += name + "=" + value + "\n";
        ++n;
    }
    WriteConfig(config);
    prompt.passwords = {"text " +
                        std::to_string(FindSetting("LocalPass") - &SettingsCatalogue()[0])};
    context.systemCodePage = 1252;
    ASSERT_TRUE(LoadSettings(store, prompt, context, state));
    EXPECT_EQ(CodePage::Working().Id(), 932);

    Settings& loaded = state.settings;
    n = 0;
    for (const SettingEntry& entry : SettingsCatalogue()) {
        const std::string name = entry.name;
        if (entry.type == SettingType::kInt) {
            const int expected = name == "CodePage" ? 932 : name == "DefUser" ? 2 : 7000 + n;
            EXPECT_EQ(entry.intRef(loaded), expected) << name;
        } else if (name == "HomeDir") {
            EXPECT_EQ(entry.stringRef(loaded), dir.Path().string() + "/");
        } else {
            EXPECT_EQ(entry.stringRef(loaded), "text " + std::to_string(n)) << name;
        }
        ++n;
    }
    CodePage::SetWorking(1252);
}

TEST_F(LoadSettingsTest, FirstStartThroughTheWholeSequence) {
    ASSERT_TRUE(store.Load());
    test::ScratchDir runtime;
    SingleInstance instance(runtime.Path());
    prompt.texts.push_back((dir / "mail").string());
    StartOptions options;
    options.requestedShowCommand = kShowNormal;
    options.systemCodePage = 1252;
    options.load = context;

    StartResult result = StartApplication(store, prompt, instance, options, state);
    ASSERT_EQ(result.outcome, StartOutcome::kRunning);
    ASSERT_TRUE(result.plan);
    EXPECT_EQ(prompt.events, std::vector<std::string>{"home"});
    EXPECT_EQ(result.plan->firstAction,
              (PostedAction{PostedAction::Kind::kCommand, kCmdPreferences}));
    EXPECT_EQ(result.plan->showCommand, kShowNormal);
    EXPECT_EQ(state.settings.codePage, 1252);
    EXPECT_TRUE(state.running);
    EXPECT_EQ(instance.CurrentRole(), SingleInstance::Role::kPrimary);

    // A cancelled start is not running, so its shutdown writes nothing.
    ConfigStore fresh(dir / "other.ini");
    ASSERT_TRUE(fresh.Load());
    StartupPrompt cancelling;
    cancelling.texts.push_back(std::nullopt);
    AppState other;
    instance.Release();
    options.load.candidateHome.clear();
    EXPECT_EQ(StartApplication(fresh, cancelling, instance, options, other).outcome,
              StartOutcome::kCancelled);
    EXPECT_FALSE(other.running);
    EXPECT_TRUE(ShutdownApplication(fresh, other, std::nullopt));
    EXPECT_FALSE(std::filesystem::exists(dir / "other.ini"));
}

TEST(Shutdown, WritesTheRunValuesAndDeletesTemporaryFiles) {
    test::ScratchDir dir;
    const auto configPath = dir / "Corvina.ini";
    ConfigStore store(configPath);
    ASSERT_TRUE(store.Load());
    AppState state;
    state.settings.msgThread = 1;
    state.settings.colWidth = {10, 20, 30, 40};
    state.settings.attachSaveDir = "/save/";
    const auto viewed = dir / "viewed.pdf";
    const auto tempDir = dir / "tmp";
    test::WriteFileBytes(viewed, "x");
    test::WriteFileBytes(tempDir / "MOTMPL.TMP", "x");
    test::WriteFileBytes(tempDir / "other", "x");
    state.RegisterTemporaryFile(viewed);

    // A start that ended early saves nothing.
    EXPECT_TRUE(ShutdownApplication(store, state, tempDir));
    EXPECT_FALSE(std::filesystem::exists(configPath));
    EXPECT_TRUE(std::filesystem::exists(viewed));

    state.running = true;
    EXPECT_TRUE(ShutdownApplication(store, state, tempDir));
    EXPECT_FALSE(std::filesystem::exists(viewed));
    EXPECT_FALSE(std::filesystem::exists(tempDir / "MOTMPL.TMP"));
    EXPECT_TRUE(std::filesystem::exists(tempDir / "other"));
    ConfigStore reread(configPath);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.GetInt("Settings", "MsgThread", 0), 1);
    EXPECT_EQ(reread.GetInt("Settings", "Col3Width", 0), 40);
    EXPECT_EQ(reread.GetInt("Settings", "DefEncode", -1), 0);  // written even at its default
    EXPECT_EQ(reread.GetString("Settings", "AttachSaveDir"), "/save/");
    EXPECT_TRUE(reread.HasValue("Settings", "WordWrap"));
}

}  // namespace
}  // namespace corvina
