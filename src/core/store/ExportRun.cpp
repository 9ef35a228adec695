#include "store/ExportRun.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/BufferedFile.h"
#include "message/MailMessage.h"
#include "message/mime/OutgoingText.h"
#include "platform/ConfigStore.h"
#include "store/CompactHost.h"
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

// Why the export file `target` (written through `part`) cannot be
// written; empty when it can be opened.
std::string TargetProblem(const std::filesystem::path& part, const std::filesystem::path& target) {
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec))
        return target.string() + " is a folder; name a file";
    const bool existed = std::filesystem::exists(part, ec);
    std::FILE* probe = std::fopen(part.c_str(), "ab");
    if (probe == nullptr) {
        const int error = errno;
        const std::filesystem::path dir = target.parent_path();
        if (error == ENOENT && !dir.empty() && !std::filesystem::is_directory(dir, ec))
            return "the folder " + dir.string() + " of " + target.string() + " does not exist";
        return "cannot write " + target.string() + ": " + std::strerror(error);
    }
    std::fclose(probe);
    if (!existed)
        std::filesystem::remove(part, ec);
    return {};
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

std::string ExportFailureReason(const MailMessage& message, const std::filesystem::path& target) {
    std::error_code ec;
    for (const AttachmentEntry& entry : message.attachments) {
        if (!std::filesystem::exists(entry.path, ec))
            return "its attachment file " + entry.path.string() + " is missing";
        std::FILE* file = std::fopen(entry.path.c_str(), "rb");
        if (file == nullptr)
            return "its attachment file " + entry.path.string() +
                   " cannot be read: " + std::strerror(errno);
        std::fclose(file);
    }
    std::string problem = TargetProblem(PartFile(target), target);
    if (!problem.empty())
        return problem;
    return "it could not be written to " + target.string() + " (is the disk full?)";
}

int RunExport(const std::vector<MailMessage*>& selected, const ExportSettings& settings,
              bool threadMode, const OutgoingOptions& outgoing, MaintenanceHost* host,
              const ExportProblem& problem) {
    auto tell = [&](const MailMessage* message, const std::string& reason) {
        if (problem)
            problem(message, reason);
    };
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
        if (!singleOk) {
            // Every message would fail the same way: say it once.
            std::string why = TargetProblem(PartFile(single), single);
            tell(nullptr, why.empty() ? "cannot write " + single.string() : why);
            StartPart(PartFile(single));
            if (host)
                host->EndWait();
            return 0;
        }
    }
    std::error_code ec;
    int written = 0;
    const std::size_t count = selected.size();
    for (std::size_t k = 0; k < count; ++k) {
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
        const bool ok = ExportMessage(*message, PartFile(target), separator, unixFormat, outgoing);
        if (!ok)
            tell(message, ExportFailureReason(*message, target));
        if (settings.each != 0) {
            if (Finish(PartFile(target), target, ok))
                ++written;
            else if (ok)
                tell(message, std::filesystem::is_directory(target, ec)
                                  ? target.string() + " is a folder; name a file"
                                  : "cannot replace " + target.string());
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
    if (settings.each == 0 && singleOk && std::filesystem::file_size(PartFile(single), ec) == 0 &&
        !ec) {
        // Nothing to export: the earlier file is reset, as by an empty export.
        std::filesystem::remove(PartFile(single), ec);
        if (!std::filesystem::is_directory(single, ec)) {
            std::filesystem::remove(single, ec);
        }
    } else if (settings.each == 0 && !Finish(PartFile(single), single, singleOk)) {
        if (singleOk)
            tell(nullptr, std::filesystem::is_directory(single, ec)
                              ? single.string() + " is a folder; name a file"
                              : "cannot replace " + single.string());
        written = 0;  // the earlier file stays as it was
    }
    if (host) {
        host->EndWait();
    }
    return written;
}

}  // namespace corvina
