#include "store/FolderStat.h"

#include <string>

#include "common/IniFile.h"
#include "store/MailFolder.h"

namespace corvina {

int ReadFolderStat(const MailFolder& folder, std::string_view section, std::string_view key,
                   int defaultValue) {
    return GetPrivateProfileInt(section, key, defaultValue, folder.ControlFile());
}

bool WriteFolderStat(const MailFolder& folder, std::string_view section, std::string_view key,
                     int value) {
    const std::string text = std::to_string(value);
    return WritePrivateProfileString(section, key, std::string_view(text), folder.ControlFile());
}

std::string ReadFolderProperty(const MailFolder& folder, std::string_view section,
                               std::string_view key, std::string_view defaultValue) {
    // The size given includes room for the terminator of a counted string.
    return GetPrivateProfileString(section, key, defaultValue, folder.ControlFile(),
                                   static_cast<int>(kMaxFolderPropertyLength) + 1);
}

bool WriteFolderProperty(const MailFolder& folder, std::string_view section, std::string_view key,
                         std::string_view value) {
    return WritePrivateProfileString(section, key, value, folder.ControlFile());
}

bool WriteFolderCounts(const MailFolder& folder, int total, int unread) {
    const std::filesystem::path file = folder.ControlFile();
    IniFile ini;
    std::error_code ec;
    if (!ini.Load(file) && std::filesystem::exists(file, ec)) {
        return false;  // never replace a control file that could not be read
    }
    const std::optional<std::string> oldTotal = ini.Get("Mail", "Total");
    const std::optional<std::string> oldUnread = ini.Get("Mail", "UnRead");
    const std::string totalText = std::to_string(total);
    const std::string unreadText = std::to_string(unread);
    if (oldTotal == totalText && oldUnread == unreadText) {
        return true;  // nothing changed: spare the rewrite
    }
    ini.Set("Mail", "Total", totalText);
    ini.Set("Mail", "UnRead", unreadText);
    return ini.Save(file);
}

}  // namespace corvina
