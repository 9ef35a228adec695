#include "store/ExportRun.h"

#include <cstdio>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/BufferedFile.h"
#include "platform/ConfigStore.h"
#include "store/CompactHost.h"
#include "store/MailMessage.h"
#include "store/Mailbox.h"

namespace corvina {

namespace {

constexpr std::string_view kSection = "Settings";

// An export file is written beside its target and renamed over it only
// when it is complete, so a failed export (a full disk) never leaves the
// earlier file cut short; a directory of that name is never replaced.
std::filesystem::path PartFile(const std::filesystem::path& target) {
    return target.string() + ".part";
}

bool Finish(const std::filesystem::path& part, const std::filesystem::path& target, bool ok) {
    std::error_code ec;
    ok = ok && !std::filesystem::is_directory(target, ec) && FsyncFile(part) &&
         ::rename(part.c_str(), target.c_str()) == 0;
    if (!ok) {
        std::filesystem::remove(part, ec);
        return false;
    }
    FsyncDirectory(target.parent_path());
    return true;
}

void StartPart(const std::filesystem::path& part) {
    std::error_code ec;
    std::filesystem::remove(part, ec);
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
    const std::filesystem::path single(name.base + name.extension);
    bool singleOk = true;
    if (settings.each == 0) {
        StartPart(PartFile(single));
        BufferedFile top;
        singleOk = top.Open(PartFile(single), BufferedFile::kWrite);
        if (singleOk && !separator.empty() && settings.insertTop != 0) {
            singleOk = top.Write(separator) != BufferedFile::kWriteFailed;
        }
        singleOk = top.Close() && singleOk;
    }
    int written = 0;
    const std::size_t count = selected.size();
    for (std::size_t k = 0; k < count && write; ++k) {
        MailMessage* message = selected[threadMode ? k : count - 1 - k];
        if (message == nullptr) {
            continue;
        }
        const std::filesystem::path target =
            settings.each != 0 ? std::filesystem::path(name.base + "." + std::to_string(k + 1))
                               : single;
        if (settings.each != 0) {
            StartPart(PartFile(target));
        }
        const bool hadBody = message->bodyLoaded;
        LoadMessageBody(*message);
        const bool ok = write(*message, PartFile(target), separator, unixFormat);
        if (settings.each != 0) {
            written += Finish(PartFile(target), target, ok) ? 1 : 0;
        } else if (ok) {
            ++written;
        } else {
            singleOk = false;
        }
        if (!hadBody && message->offset >= 0) {
            ReleaseMessageBody(*message);
        }
        if (host) {
            host->ProcessPendingInput();
        }
    }
    std::error_code ec;
    if (settings.each == 0 && singleOk && std::filesystem::file_size(PartFile(single), ec) == 0 &&
        !ec) {
        // Nothing to export: the earlier file is reset, as by an empty export.
        std::filesystem::remove(PartFile(single), ec);
        if (!std::filesystem::is_directory(single, ec)) {
            std::filesystem::remove(single, ec);
        }
    } else if (settings.each == 0 && !Finish(PartFile(single), single, singleOk)) {
        written = 0;  // the earlier file stays as it was
    }
    if (host) {
        host->EndWait();
    }
    return written;
}

}  // namespace corvina
