// Closing the main window (the questions and steps in order), its stored
// placement, and the command table's enabled rules.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingPrompt.h"
#include "TestSupport.h"
#include "app/AppState.h"
#include "app/CloseChecks.h"
#include "app/MainCommandTable.h"
#include "app/MainCommands.h"
#include "app/Startup.h"
#include "app/WindowPlacement.h"
#include "common/StringTable.h"
#include "platform/ConfigStore.h"

namespace corvina {
namespace {

class StepRecorder : public CloseHost {
public:
    std::vector<std::string> steps;
    void AbortConnection() override { steps.push_back("abort"); }
    void SaveCurrentStatus() override { steps.push_back("status"); }
    void RunExitFilter() override { steps.push_back("filter"); }
    void WritePlacement() override { steps.push_back("placement"); }
    void EmptyTrash() override { steps.push_back("trash"); }
};

class CloseChecksTest : public testing::Test {
protected:
    CloseChecksTest() {
        state.homeDirectory = scratch.Path();
        // Profiles 0 and 2 send; 2 shares profile 1's mailbox directory.
        state.profiles[0].smtp = "smtp.example.org";
        state.profiles[0].mailDirNo = 0;
        state.profiles[1].mailDirNo = 1;
        state.profiles[2].smtp = "smtp.example.org";
        state.profiles[2].mailDirNo = 1;
    }
    test::ScratchDir scratch;
    AppState state;
    test::RecordingPrompt prompt;
    StepRecorder host;
};

TEST_F(CloseChecksTest, QuestionsAndStepsInOrder) {
    test::WriteFileBytes(scratch.Path() / "User1" / "OutBox.mbx", "From ...\r\n");
    const std::string busyText = LoadString(kStrConnectionInProgress);
    const std::string outBoxText = LoadString(kStrUnsentInOutBox);
    ASSERT_FALSE(busyText.empty());
    ASSERT_FALSE(outBoxText.empty());
    struct Case {
        const char* name;
        bool busy;
        int exitFilter, warnOutBox, delTrash;
        std::vector<ConfirmAnswer> answers;
        bool closes;
        std::vector<std::string> questions;
        std::vector<std::string> steps;
    };
    using A = ConfirmAnswer;
    const Case cases[] = {
        {"busy, Cancel keeps the connection", true, 0, 1, 0, {A::Cancel}, false, {busyText}, {}},
        {"busy, OK aborts, OutBox asked",
         true,
         1,
         1,
         1,
         {A::Ok, A::Ok},
         true,
         {busyText, outBoxText},
         {"abort", "status", "filter", "placement", "trash"}},
        {"OutBox Cancel stays after the filter",
         false,
         1,
         1,
         1,
         {A::Cancel},
         false,
         {outBoxText},
         {"status", "filter"}},
        {"no warning", false, 0, 0, 0, {}, true, {}, {"status", "placement"}},
    };
    for (const Case& c : cases) {
        prompt.questions.clear();
        prompt.answers.assign(c.answers.begin(), c.answers.end());
        host.steps.clear();
        state.settings.exitFilter = c.exitFilter;
        state.settings.warnOutBox = c.warnOutBox;
        state.settings.delTrash = c.delTrash;
        EXPECT_EQ(ConfirmClose(state, c.busy, prompt, host), c.closes) << c.name;
        std::vector<std::string> asked;
        for (const Question& q : prompt.questions) {
            asked.push_back(q.text);
            EXPECT_EQ(q.buttons, ConfirmButtons::OkCancel) << c.name;
        }
        EXPECT_EQ(asked, c.questions) << c.name;
        EXPECT_EQ(host.steps, c.steps) << c.name;
    }
}

TEST_F(CloseChecksTest, OutBoxesOfSendingAccountsOnly) {
    EXPECT_EQ(OutBoxFiles(state),
              (std::vector<std::filesystem::path>{scratch.Path() / "User0" / "OutBox.mbx",
                                                  scratch.Path() / "User1" / "OutBox.mbx"}));
    EXPECT_FALSE(AnyOutBoxWaiting(state));  // missing files
    test::WriteFileBytes(scratch.Path() / "User0" / "OutBox.mbx", "");
    EXPECT_FALSE(AnyOutBoxWaiting(state));  // empty file
    // A waiting message of an account without SMTP server does not count.
    test::WriteFileBytes(scratch.Path() / "User3" / "OutBox.mbx", "From ...\r\n");
    EXPECT_FALSE(AnyOutBoxWaiting(state));
    test::WriteFileBytes(scratch.Path() / "User1" / "OutBox.mbx", "From ...\r\n");
    EXPECT_TRUE(AnyOutBoxWaiting(state));
}

TEST(WindowPlacementTest, StoredValuesAreCheckedAndWrittenBack) {
    const PlacementRect screen{0, 0, 1920, 1080};
    struct Case {
        int left, top, width, height;
        bool kept;
    };
    const Case cases[] = {
        {100, 50, 900, 600, true},
        {kPlacementUnset, kPlacementUnset, kPlacementUnset, kPlacementUnset, false},
        {100, 50, 50, 600, false},     // too narrow to show the panes
        {5000, 50, 900, 600, false},   // beside the screen
        {100, -400, 900, 600, false},  // title bar above the screen
        {-300, 10, 900, 600, true},    // partly off the left edge, still reachable
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.mainLeft = c.left;
        settings.mainTop = c.top;
        settings.mainWidth = c.width;
        settings.mainHeight = c.height;
        WindowPlacement placement = PlacementFromSettings(settings, screen);
        EXPECT_EQ(placement.hasGeometry, c.kept) << c.left << "," << c.top;
        if (c.kept)
            EXPECT_EQ(placement.geometry, (PlacementRect{c.left, c.top, c.width, c.height}));
    }

    Settings settings;
    settings.mainShowCmd = kShowMaximized;
    settings.paneWidth1 = 250;
    settings.paneHeight1 = 900;  // more than the window has
    WindowPlacement placement = PlacementFromSettings(settings, screen);
    EXPECT_TRUE(placement.maximized);
    EXPECT_EQ(PaneSizesFor(placement, 1000, 700), (PaneSizes{250, 280}));
    EXPECT_EQ(PaneSizesFor(WindowPlacement{}, 1000, 700), (PaneSizes{250, 280}));

    test::ScratchDir scratch;
    ConfigStore store(scratch.Path() / "Corvina.ini");
    WindowPlacement closed;
    closed.hasGeometry = true;
    closed.geometry = {10, 20, 800, 500};
    closed.paneWidth1 = 200;
    closed.paneHeight1 = 180;
    WritePlacement(store, settings, closed);
    ASSERT_TRUE(store.Save());
    ConfigStore reread(scratch.Path() / "Corvina.ini");
    ASSERT_TRUE(reread.Load());
    const std::pair<const char*, int> expected[] = {
        {"MainLeft", 10},   {"MainTop", 20},     {"MainWidth", 800},  {"MainHeight", 500},
        {"MainShowCmd", 1}, {"PaneWidth1", 200}, {"PaneHeight1", 180}};
    for (const auto& [name, value] : expected)
        EXPECT_EQ(reread.GetInt("Settings", name, -99), value) << name;
    EXPECT_EQ(settings.mainShowCmd, kShowNormal);
}

TEST(MainCommandTableTest, RowsAreUniqueAndRulesFollowTheBusyCount) {
    std::vector<int> ids;
    for (const MainCommandRow& row : MainCommandRows()) {
        EXPECT_EQ(std::count(ids.begin(), ids.end(), row.id), 0) << row.id;
        ids.push_back(row.id);
        EXPECT_NE(std::string(row.text), "") << row.id;
    }
    for (int id : TrayMenuCommands())
        EXPECT_TRUE(id == 0 || FindCommandRow(id)) << id;
    EXPECT_STREQ(FindCommandRow(kCmdReceiveNew)->text, "Receive &New");
    EXPECT_TRUE(RuleAllows(EnabledRule::kIdle, 0));
    EXPECT_FALSE(RuleAllows(EnabledRule::kIdle, 1));
    EXPECT_FALSE(RuleAllows(EnabledRule::kBusy, 0));
    EXPECT_TRUE(RuleAllows(EnabledRule::kBusy, 2));
    EXPECT_TRUE(RuleAllows(EnabledRule::kAlways, 1));
}

}  // namespace
}  // namespace corvina
