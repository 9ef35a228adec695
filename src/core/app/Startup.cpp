#include "app/Startup.h"

#include "app/AccountProfile.h"
#include "app/AppState.h"
#include "platform/ConfigStore.h"
#include "platform/SingleInstance.h"

namespace corvina {

namespace {

bool IsMinimizedShow(int show) {
    return show == kShowMinimized || show == kShowMinimize || show == kShowMinNoActive;
}

}  // namespace

PostedAction FirstAction(const AccountProfile& current, const Settings& settings) {
    if (!current.IsConfigured())
        return {PostedAction::Kind::kCommand, kCmdPreferences};
    if (settings.startupCheck)
        return {PostedAction::Kind::kCommand, kCmdReceiveNew};
    return {PostedAction::Kind::kMessage, kMsgNewMailNotice};
}

int StartShowCommand(const CommandLine& commandLine, int requestedShow, int storedShowCmd) {
    if (commandLine.HasAddress() || commandLine.HasFiles())
        return kShowMinNoActive;
    switch (requestedShow) {
        case kShowHide:
        case kShowMinimized:
        case kShowMaximized:
        case kShowMinimize:
        case kShowMinNoActive:
            return requestedShow;
        default:
            return storedShowCmd == kShowMaximized ? kShowMaximized : requestedShow;
    }
}

HandOver DecideHandOver(const CommandLine& commandLine) {
    if (commandLine.HasAddress())
        return {HandOver::Kind::kAddress, *commandLine.address};
    if (commandLine.HasFiles())
        return {HandOver::Kind::kFiles, JoinFileList(commandLine.files)};
    return {HandOver::Kind::kRestore, {}};
}

bool SendHandOver(SingleInstance& instance, const HandOver& handOver) {
    switch (handOver.kind) {
        case HandOver::Kind::kAddress:
            return instance.SendAddress(handOver.payload);
        case HandOver::Kind::kFiles:
            return instance.SendFiles(handOver.payload);
        case HandOver::Kind::kRestore:
            return instance.SendRestore();
    }
    return false;
}

StartPlan PlanStart(const CommandLine& commandLine, int requestedShow, const AppState& state) {
    StartPlan plan;
    plan.showCommand = StartShowCommand(commandLine, requestedShow, state.settings.mainShowCmd);
    plan.firstAction = FirstAction(state.current, state.settings);
    if (commandLine.HasAddress()) {
        plan.composeTo = commandLine.address;
    } else if (commandLine.HasFiles()) {
        plan.postFileList = JoinFileList(commandLine.files);
    }
    plan.hideWindow = IsMinimizedShow(plan.showCommand) && state.settings.hideIcon != 0;
    return plan;
}

StartResult StartApplication(ConfigStore& store, UserPrompt& prompt, SingleInstance& instance,
                             const StartOptions& options, AppState& state) {
    CommandLine commandLine = ParseCommandLine(options.args, options.pathExists);
    if (!options.workingDirectory.empty())
        MakeFilesAbsolute(commandLine, options.workingDirectory);

    // A failed lock (unusable runtime directory) does not keep the user
    // from their mail; only a running instance ends this start.
    if (instance.Acquire() == SingleInstance::Role::kSecondary) {
        bool sent = SendHandOver(instance, DecideHandOver(commandLine));
        return {sent ? StartOutcome::kHandedOver : StartOutcome::kFailed, std::nullopt};
    }

    LoadContext load = options.load;
    load.systemCodePage = options.systemCodePage;
    load.editorWrap = options.editorWrap;
    load.showCommand = options.requestedShowCommand;
    if (!LoadSettings(store, prompt, load, state)) {
        return {StartOutcome::kCancelled, std::nullopt};
    }

    StartPlan plan = PlanStart(commandLine, options.requestedShowCommand, state);
    state.running = true;
    return {StartOutcome::kRunning, plan};
}

}  // namespace corvina
