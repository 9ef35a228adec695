#include "app/NewMailNotice.h"

#include "app/MainCommands.h"
#include "app/Settings.h"
#include "app/Startup.h"

namespace corvina {

namespace {

void ChooseSound(const Settings& settings, NoticePlan& plan) {
    if (settings.soundFile.empty()) {
        plan.sound = NoticePlan::Sound::kBeep;
    } else {
        plan.sound = NoticePlan::Sound::kFile;
        plan.soundFile = settings.soundFile;
    }
}

}  // namespace

NoticePlan PlanNewMailNotice(const NoticeInputs& inputs, const Settings& settings) {
    NoticePlan plan;
    if (!inputs.stored && !inputs.reminderDue) {
        plan.noMailNotice = settings.noMailNotify == 1;
        return plan;
    }
    ChooseSound(settings, plan);
    const bool unseen = !inputs.windowActive || inputs.minimised;
    plan.enterNewMailState = unseen && !inputs.alreadyNew;
    plan.ask = settings.askPopUp == 1 && unseen;
    plan.askPresetYes = settings.popUp == 1;
    plan.restore = !plan.ask && inputs.minimised && settings.popUp == 1;
    plan.refreshList = true;
    return plan;
}

NoticePlan PlanStartNotice(bool reminderDue, bool minimised, const Settings& settings) {
    NoticePlan plan;
    if (!reminderDue)
        return plan;
    ChooseSound(settings, plan);
    plan.restore = minimised && settings.popUp == 1;
    return plan;
}

bool EndsWithNewMailNotice(int command) {
    return command == kCmdReceiveNew || command == kCmdReceiveAll || command == kCmdReceive;
}

}  // namespace corvina
