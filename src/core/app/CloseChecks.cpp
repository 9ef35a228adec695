#include "app/CloseChecks.h"

#include <algorithm>
#include <system_error>

#include "app/AppState.h"
#include "app/ProfileSelection.h"
#include "common/UserPrompt.h"

namespace corvina {

bool ConfirmClose(const AppState& state, bool busy, UserPrompt& prompt, CloseHost& host) {
    const Settings& settings = state.settings;
    if (busy) {
        if (AskById(prompt, kStrConnectionInProgress, ConfirmButtons::OkCancel,
                    ConfirmAnswer::Cancel) != ConfirmAnswer::Ok) {
            return false;
        }
        host.AbortConnection();
    }
    host.SaveCurrentStatus();
    if (settings.exitFilter == 1)
        host.RunExitFilter();
    if (settings.warnOutBox == 1 && AnyOutBoxWaiting(state) &&
        AskById(prompt, kStrUnsentInOutBox, ConfirmButtons::OkCancel, ConfirmAnswer::Ok) !=
            ConfirmAnswer::Ok) {
        return false;
    }
    host.WritePlacement();
    if (settings.delTrash == 1)
        host.EmptyTrash();
    return true;
}

std::vector<std::filesystem::path> OutBoxFiles(const AppState& state) {
    std::vector<std::filesystem::path> files;
    for (const AccountProfile& profile : state.profiles) {
        if (profile.smtp.empty())
            continue;
        std::filesystem::path file =
            MailboxDirectoryFor(state.homeDirectory, profile.mailDirNo) / "OutBox.mbx";
        if (std::find(files.begin(), files.end(), file) == files.end())
            files.push_back(std::move(file));
    }
    return files;
}

bool AnyOutBoxWaiting(const AppState& state) {
    for (const std::filesystem::path& file : OutBoxFiles(state)) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        if (!ec && size > 0)
            return true;
    }
    return false;
}

}  // namespace corvina
