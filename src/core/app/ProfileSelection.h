#pragma once
// Making a profile current, and the "Switch User..." menu. The core part
// of a selection sets the working values and the mailbox directory; the
// caller then does the window part with what it returns (re-read the
// folder tree and select its first folder, caption, tray tip, reload the
// filter definitions, re-run the new-mail notice).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/AccountProfile.h"

namespace corvina {

struct AppState;

inline constexpr int kProfileMenuFirstId = 501;
inline constexpr std::size_t kTrayTipMaxChars = 64;
inline constexpr const char* kDefaultTitle = "My Mailbox";

// home / "User<mailDirNo>"
std::filesystem::path MailboxDirectoryFor(const std::filesystem::path& home, int mailDirNo);

// `Account`, or "My Mailbox" when it is empty.
std::string ProfileTitle(const AccountProfile& profile);

// The title cut to at most 64 characters of the working code page, never
// inside a character.
std::string TrayTip(std::string_view title);

struct ProfileSelection {
    int index = 0;
    std::string title;  // document title, main window caption
    std::string tip;    // notification-area icon tip
    std::filesystem::path mailboxDirectory;
};

// Makes profile `index` current: DefUser in memory, the working values, the
// mailbox directory. nullopt (and nothing changed) for an index outside
// 0..9.
std::optional<ProfileSelection> SelectProfile(AppState& state, int index);

struct ProfileMenuEntry {
    int commandId;  // 501 + profile index
    int profileIndex;
    std::string text;  // "&%d: %s" or "&%d: MailBox %02d"
};

// One entry per profile whose POP server is set, in index order.
std::vector<ProfileMenuEntry> ProfileMenuEntries(const ProfileTable& profiles);

// The profile a menu command selects; nullopt for other ids.
std::optional<int> ProfileIndexForCommand(int commandId);

}  // namespace corvina
