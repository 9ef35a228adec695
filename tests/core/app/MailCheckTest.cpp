// The main window's decisions around a mail check: the periodic schedule,
// the new-mail state with its tray pictures, the indicator's frames and the
// notice at the end of a receive.

#include <gtest/gtest.h>

#include "app/MailCheckSchedule.h"
#include "app/NewMailNotice.h"
#include "app/NewMailState.h"
#include "app/ProgressPanel.h"
#include "app/Settings.h"

namespace corvina {
namespace {

// The ticks (1-based) at which a periodic receive starts within `ticks`.
std::vector<int> DueTicks(MailCheckSchedule::Inputs inputs, int ticks, int resetAt = 0) {
    MailCheckSchedule schedule;
    std::vector<int> due;
    for (int tick = 1; tick <= ticks; ++tick) {
        if (tick == resetAt)
            schedule.Reset();
        if (schedule.Tick(inputs))
            due.push_back(tick);
    }
    return due;
}

TEST(MailCheckSchedule, IntervalResetsBusyAndDialUp) {
    MailCheckSchedule::Inputs every15;
    every15.checkMail = 0;
    every15.minutes = 15;
    EXPECT_EQ(DueTicks(every15, 31), (std::vector<int>{15, 30}));
    // A manual receive at tick 10 restarts the count: due 15 ticks later.
    EXPECT_EQ(DueTicks(every15, 31, 10), (std::vector<int>{24}));

    MailCheckSchedule::Inputs never = every15;
    never.checkMail = 1;
    EXPECT_TRUE(DueTicks(never, 100).empty());

    MailCheckSchedule::Inputs busy = every15;
    busy.busy = true;
    EXPECT_TRUE(DueTicks(busy, 100).empty());

    // A stored interval of 0 would check every tick forever: one minute.
    MailCheckSchedule::Inputs zero = every15;
    zero.minutes = 0;
    EXPECT_EQ(DueTicks(zero, 3), (std::vector<int>{1, 2, 3}));

    // Off line with NoOfflnChk: the check is skipped and counted anew.
    MailCheckSchedule::Inputs offline = every15;
    offline.noOfflnChk = 1;
    offline.dialup = true;
    offline.linkActive = [] { return false; };
    EXPECT_TRUE(DueTicks(offline, 31).empty());
    offline.linkActive = [] { return true; };
    EXPECT_EQ(DueTicks(offline, 31), (std::vector<int>{15, 30}));
    offline.dialup = false;  // a LAN account is always checked
    offline.linkActive = nullptr;
    EXPECT_EQ(DueTicks(offline, 15), (std::vector<int>{15}));
}

TEST(NewMailStateTest, EventsMoveTheStateAndThePicture) {
    using P = TrayPicture;
    NewMailState state;
    struct Step {
        void (*event)(NewMailState&);
        NewMailState::State state;
        P picture;
    };
    const Step steps[] = {
        {[](NewMailState& s) { s.CommandStarted(); }, NewMailState::kConnection, P::kConnection1},
        {[](NewMailState& s) { s.IndicatorFrame(3); }, NewMailState::kConnection, P::kConnection2},
        {[](NewMailState& s) { s.IndicatorFrame(2); }, NewMailState::kConnection, P::kConnection1},
        {[](NewMailState& s) { s.MailWaiting(); }, NewMailState::kNewMail, P::kNewMail1},
        // New mail outranks the connection until the user has seen it.
        {[](NewMailState& s) { s.IndicatorFrame(5); }, NewMailState::kNewMail, P::kNewMail1},
        {[](NewMailState& s) { s.BlinkTick(); }, NewMailState::kNewMail, P::kNewMail2},
        {[](NewMailState& s) { s.BlinkTick(); }, NewMailState::kNewMail, P::kNewMail1},
        {[](NewMailState& s) { s.CommandFinished(); }, NewMailState::kNewMail, P::kNewMail1},
        {[](NewMailState& s) { s.Seen(); }, NewMailState::kNormal, P::kNormal},
        {[](NewMailState& s) { s.BlinkTick(); }, NewMailState::kNormal, P::kNormal},
        {[](NewMailState& s) { s.CommandStarted(); }, NewMailState::kConnection, P::kConnection1},
        {[](NewMailState& s) { s.Seen(); }, NewMailState::kConnection, P::kConnection1},
        {[](NewMailState& s) { s.CommandFinished(); }, NewMailState::kNormal, P::kNormal},
    };
    int i = 0;
    for (const Step& step : steps) {
        step.event(state);
        EXPECT_EQ(state.Current(), step.state) << "step " << i;
        EXPECT_EQ(state.Picture(), step.picture) << "step " << i;
        EXPECT_EQ(state.Blinking(), step.state == NewMailState::kNewMail) << "step " << i;
        ++i;
    }
}

TEST(IndicatorFramesTest, SwingsZeroToSixAndBack) {
    IndicatorFrames frames;
    std::vector<int> seen;
    for (int i = 0; i < 14; ++i)
        seen.push_back(frames.Step());
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1, 0, 1, 2}));
    frames.Reset();
    EXPECT_EQ(frames.Step(), 1);
}

TEST(NewMailNoticeTest, PlanByWindowStateAndSettings) {
    using S = NoticePlan::Sound;
    struct Case {
        const char* name;
        NoticeInputs in;
        int askPopUp, popUp, noMailNotify;
        const char* soundFile;
        S sound;
        bool enter, ask, presetYes, restore, noMail;
    };
    // Inputs: stored, reminderDue, windowActive, minimised, alreadyNew.
    // clang-format off
    const Case cases[] = {
        {"active window: sound only",   {true, false, true, false, false},  1, 0, 0, "",       S::kBeep, false, false, false, false, false},
        {"inactive: state and question", {true, false, false, false, false}, 1, 0, 0, "/s.wav", S::kFile, true,  true,  false, false, false},
        {"minimised, PopUp: Yes preset", {true, false, true, true, false},   1, 1, 0, "",       S::kBeep, true,  true,  true,  false, false},
        {"minimised, PopUp restores",    {true, false, true, true, false},   0, 1, 0, "",       S::kBeep, true,  false, true,  true,  false},
        {"already blinking",             {true, false, false, true, true},   0, 0, 0, "",       S::kBeep, false, false, false, false, false},
        {"a reminder notifies too",      {false, true, false, false, false}, 0, 0, 1, "",       S::kBeep, true,  false, false, false, false},
        {"nothing, NoMailNotify",        {false, false, true, false, false}, 1, 1, 1, "",       S::kNone, false, false, false, false, true},
        {"nothing, quiet",               {false, false, true, false, false}, 1, 1, 0, "",       S::kNone, false, false, false, false, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        Settings settings;
        settings.askPopUp = c.askPopUp;
        settings.popUp = c.popUp;
        settings.noMailNotify = c.noMailNotify;
        settings.soundFile = c.soundFile;
        NoticePlan plan = PlanNewMailNotice(c.in, settings);
        EXPECT_EQ(plan.sound, c.sound) << c.name;
        EXPECT_EQ(plan.soundFile, c.sound == S::kFile ? c.soundFile : "") << c.name;
        EXPECT_EQ(plan.enterNewMailState, c.enter) << c.name;
        EXPECT_EQ(plan.ask, c.ask) << c.name;
        if (plan.ask)
            EXPECT_EQ(plan.askPresetYes, c.presetYes) << c.name;
        EXPECT_EQ(plan.restore, c.restore) << c.name;
        EXPECT_EQ(plan.noMailNotice, c.noMail) << c.name;
    }
}

TEST(ProgressPanelTest, ShownOnlyWhileCounted) {
    EXPECT_FALSE(ProgressFor(0, 12, 500, 0).shown);
    EXPECT_FALSE(ProgressFor(3, 0, 500, 0).shown);
    EXPECT_EQ(ProgressFor(3, 12, 20480, 10240),
              (ProgressView{true, "3/12", "20480 bytes", 204, 102}));
    // More received than announced stays inside the bar.
    EXPECT_EQ(ProgressFor(1, 1, 1000, 5000).position, 10);
}

}  // namespace
}  // namespace corvina
