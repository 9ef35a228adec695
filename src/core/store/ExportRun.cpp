#include "store/ExportRun.h"

#include <system_error>

#include "common/BufferedFile.h"
#include "platform/ConfigStore.h"
#include "store/CompactHost.h"
#include "store/MailMessage.h"
#include "store/Mailbox.h"

namespace corvina {

namespace {

constexpr std::string_view kSection = "Settings";

// Deletes a file the export is about to write; a directory of that name is
// never removed (writing to it then fails and the message is skipped).
void DeleteTarget(const std::filesystem::path& target) {
    std::error_code ec;
    if (!std::filesystem::is_directory(target, ec)) {
        std::filesystem::remove(target, ec);
    }
}

}  // namespace

ExportSettings ExportSettings::Load(const ConfigStore& config) {
    ExportSettings s;
    s.file = config.GetString(kSection, "ExportFile");
    s.separator = config.GetString(kSection, "ExportSep");
    s.useSeparator = config.GetInt(kSection, "ExportUseSep", 0);
    s.each = config.GetInt(kSection, "ExportEach", 0);
    s.insertTop = config.GetInt(kSection, "ExportInsertTop", 0);
    s.unix = config.GetInt(kSection, "ExportUnix", 0);
    return s;
}

void ExportSettings::Save(ConfigStore& config) const {
    config.SetString(kSection, "ExportFile", file);
    config.SetString(kSection, "ExportSep", separator);
    config.SetInt(kSection, "ExportUseSep", useSeparator);
    config.SetInt(kSection, "ExportEach", each);
    config.SetInt(kSection, "ExportInsertTop", insertTop);
    config.SetInt(kSection, "ExportUnix", unix);
}

std::string ExportSettings::SeparatorText() const {
    if (useSeparator == 1 && each == 0) {
        return separator + "\n";
    }
    return {};
}

ExportName SplitExportName(std::string_view file) {
    const std::size_t slash = file.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = file.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart) {
        return {std::string(file), {}};
    }
    return {std::string(file.substr(0, dot)), std::string(file.substr(dot))};
}

ExportControls ExportControlStates(const ExportSettings& settings) {
    ExportControls c;
    if (settings.each != 0) {
        c.separatorChoice = c.separatorText = c.insertTop = false;
    } else {
        c.separatorText = settings.useSeparator != 0;
    }
    return c;
}

std::string ExportBrowseDirectory(std::string_view file) {
    const std::size_t slash = file.find_last_of("/\\");
    return slash == std::string_view::npos ? std::string() : std::string(file.substr(0, slash + 1));
}

int RunExport(const std::vector<MailMessage*>& selected, const ExportSettings& settings,
              bool threadMode, const ExportWriter& write, MaintenanceHost* host) {
    const ExportName name = SplitExportName(settings.file);
    const std::string separator = settings.SeparatorText();
    const bool unixFormat = settings.unix != 0;
    if (host) {
        host->BeginWait();
    }
    if (settings.each == 0) {
        const std::filesystem::path target(name.base + name.extension);
        DeleteTarget(target);
        if (!separator.empty() && settings.insertTop != 0) {
            BufferedFile top;
            if (top.Open(target, BufferedFile::kWrite)) {
                top.Write(separator);
                top.Close();
            }
        }
    }
    int written = 0;
    const std::size_t count = selected.size();
    for (std::size_t k = 0; k < count && write; ++k) {
        MailMessage* message = selected[threadMode ? k : count - 1 - k];
        if (message == nullptr) {
            continue;
        }
        std::filesystem::path target;
        if (settings.each != 0) {
            target = name.base + "." + std::to_string(k + 1);
            DeleteTarget(target);
        } else {
            target = name.base + name.extension;
        }
        const bool hadBody = message->bodyLoaded;
        LoadMessageBody(*message);
        if (write(*message, target, separator, unixFormat)) {
            ++written;
        }
        if (!hadBody && message->offset >= 0) {
            ReleaseMessageBody(*message);
        }
        if (host) {
            host->ProcessPendingInput();
        }
    }
    if (host) {
        host->EndWait();
    }
    return written;
}

}  // namespace corvina
