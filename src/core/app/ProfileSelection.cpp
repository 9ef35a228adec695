#include "app/ProfileSelection.h"

#include <cstdio>

#include "app/AppState.h"
#include "common/CodePage.h"

namespace corvina {

std::filesystem::path MailboxDirectoryFor(const std::filesystem::path& home, int mailDirNo) {
    char name[32];
    std::snprintf(name, sizeof name, "User%d", mailDirNo);
    return home / name;
}

std::string ProfileTitle(const AccountProfile& profile) {
    return profile.account.empty() ? std::string(kDefaultTitle) : profile.account;
}

std::string TrayTip(std::string_view title) {
    const CodePage& cp = CodePage::Working();
    std::size_t pos = 0;
    for (std::size_t chars = 0; pos < title.size() && chars < kTrayTipMaxChars; ++chars) {
        pos += static_cast<std::size_t>(cp.CharLength(title, pos));
    }
    return std::string(title.substr(0, pos));
}

std::optional<ProfileSelection> SelectProfile(AppState& state, int index) {
    if (index < 0 || index >= kProfileCount)
        return std::nullopt;
    const AccountProfile& profile = state.profiles[static_cast<std::size_t>(index)];
    state.settings.defUser = index;
    state.current = profile;
    state.mailboxDirectory = MailboxDirectoryFor(state.homeDirectory, profile.mailDirNo);

    ProfileSelection selection;
    selection.index = index;
    selection.title = ProfileTitle(profile);
    selection.tip = TrayTip(selection.title);
    selection.mailboxDirectory = state.mailboxDirectory;
    return selection;
}

std::vector<ProfileMenuEntry> ProfileMenuEntries(const ProfileTable& profiles) {
    std::vector<ProfileMenuEntry> entries;
    for (int i = 0; i < kProfileCount; ++i) {
        const AccountProfile& profile = profiles[static_cast<std::size_t>(i)];
        if (!profile.IsConfigured())
            continue;
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "&%d: ", i + 1);
        std::string text = prefix;
        // A single "&" would turn the next letter of the account name into
        // a menu accelerator; double it so the name shows as typed.
        for (char c : profile.DisplayName(i)) {
            if (c == '&')
                text.push_back('&');
            text.push_back(c);
        }
        entries.push_back({kProfileMenuFirstId + i, i, std::move(text)});
    }
    return entries;
}

std::optional<int> ProfileIndexForCommand(int commandId) {
    int index = commandId - kProfileMenuFirstId;
    if (index < 0 || index >= kProfileCount)
        return std::nullopt;
    return index;
}

}  // namespace corvina
