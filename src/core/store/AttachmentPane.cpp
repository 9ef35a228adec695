#include "store/AttachmentPane.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <span>
#include <system_error>

#include "common/Bytes.h"
#include "common/StringTable.h"
#include "common/UserPrompt.h"
#include "message/MailMessage.h"
#include "message/mime/EnclosedMessage.h"
#include "message/mime/MimeTypeTable.h"
#include "store/MessageList.h"

namespace corvina {

namespace {

bool IsInside(const std::filesystem::path& file, const std::filesystem::path& directory) {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::weakly_canonical(directory, ec);
    if (ec) {
        return false;
    }
    std::filesystem::path parent = std::filesystem::weakly_canonical(file, ec).parent_path();
    return !ec && parent == dir;
}

// clang-format off
// Extensions of programs, scripts and installers that a desktop runs (or
// offers to run) when asked to open the file.
constexpr std::string_view kProgramExtensions[] = {
    "exe", "com", "bat", "cmd", "scr", "pif", "msi", "msp", "cpl", "hta", "reg", "lnk",
    "vbs", "vbe", "js", "jse", "wsf", "wsh", "ps1", "psm1", "jar",
    "sh", "bash", "csh", "ksh", "zsh", "fish", "py", "pyw", "pl", "rb", "php", "lua", "tcl",
    "desktop", "appimage", "run", "deb", "rpm", "flatpakref"};

// MIME subtypes of the same, whatever the main type says.
constexpr std::string_view kProgramSubtypes[] = {
    "x-executable", "x-sharedlib", "x-object", "x-msdownload", "x-msdos-program",
    "x-ms-dos-executable", "vnd.microsoft.portable-executable", "x-msi", "x-ms-installer",
    "x-sh", "x-shellscript", "x-csh", "x-perl", "x-python", "x-ruby", "x-php",
    "javascript", "x-javascript", "ecmascript", "java-archive", "x-java-archive",
    "x-desktop", "x-bat", "x-deb", "vnd.debian.binary-package", "x-rpm", "x-appimage"};
// clang-format on

bool ListedNoCase(std::span<const std::string_view> list, std::string_view value) {
    return std::any_of(list.begin(), list.end(),
                       [value](std::string_view entry) { return EqualNoCase(entry, value); });
}

// ELF, a "#!" interpreter line, or the "MZ" of a DOS/Windows executable.
bool StartsLikeAProgram(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[4] = {};
    in.read(head, sizeof head);
    const std::string_view start(head, static_cast<std::size_t>(in.gcount()));
    return start.starts_with("\177ELF") || start.starts_with("#!") || start.starts_with("MZ");
}

}  // namespace

// A program is one by its subtype under any main type ("text/x-python",
// "application/x-python").
bool OpensAsProgram(const std::filesystem::path& file, std::string_view /*type*/,
                    std::string_view subtype) {
    std::string extension = file.extension().string();
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    if (ListedNoCase(kProgramExtensions, extension) || ListedNoCase(kProgramSubtypes, subtype)) {
        return true;
    }
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0) {
        return true;
    }
    return StartsLikeAProgram(file);
}

OpenOutcome OpenByDefaultAction(const AttachmentEntry& entry, AttachmentHost& host,
                                UserPrompt& prompt) {
    if (OpensAsProgram(entry.path, entry.type, entry.subtype)) {
        Question ask;
        ask.text = std::string(kRunsProgramQuestion) + "\n(" + entry.path.string() + ")";
        ask.buttons = ConfirmButtons::OkCancel;
        ask.preset = ConfirmAnswer::Cancel;
        if (prompt.Ask(ask) != ConfirmAnswer::Ok) {
            return OpenOutcome::Cancelled;
        }
    }
    return host.OpenWithDefaultAction(entry.path) ? OpenOutcome::Opened : OpenOutcome::Failed;
}

bool SaveAttachmentAs(const AttachmentEntry& entry, UserPrompt& prompt,
                      AttachmentPaneState& state) {
    FileChoice choice;
    choice.purpose = FileChoice::Purpose::Save;
    choice.startDirectory = state.attachSaveDir;
    choice.suggestedName = entry.path.filename().string();
    std::optional<std::filesystem::path> target = prompt.ChooseFile(choice);
    if (!target) {
        return false;
    }
    std::error_code ec;
    if (std::filesystem::equivalent(entry.path, *target, ec)) {
        state.attachSaveDir = target->parent_path();
        return true;  // already there
    }
    std::filesystem::copy_file(entry.path, *target,
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        return false;
    }
    state.attachSaveDir = target->parent_path();
    return true;
}

OpenOutcome OpenAttachment(const AttachmentEntry& entry, const MimeTypeTable& types,
                           AttachmentHost& host, UserPrompt& prompt, AttachmentPaneState& state) {
    auto save = [&]() {
        return SaveAttachmentAs(entry, prompt, state) ? OpenOutcome::Saved : OpenOutcome::Cancelled;
    };
    const MimeTypeEntry* row = types.FindByType(entry.type, entry.subtype);
    if (row != nullptr && row->action == MimeAction::Launch) {
        if (!row->application.empty() && host.RunProgram(row->application, entry.path)) {
            return OpenOutcome::Launched;
        }
        return save();
    }
    if (row != nullptr && row->action == MimeAction::Save) {
        return save();
    }
    if (EqualNoCase(entry.type, "message") && EqualNoCase(entry.subtype, "rfc822")) {
        std::optional<std::string> text = EnclosedMessageText(entry.path);
        if (!text) {
            return OpenOutcome::Failed;
        }
        host.AddMessageToShownFolder(std::move(*text));
        return OpenOutcome::AddedMessage;
    }
    const OpenOutcome opened = OpenByDefaultAction(entry, host, prompt);
    return opened == OpenOutcome::Failed ? save() : opened;
}

bool LaunchAttachmentWith(const AttachmentEntry& entry, AttachmentHost& host, UserPrompt& prompt) {
    FileChoice choice;
    choice.purpose = FileChoice::Purpose::Program;
    std::optional<std::filesystem::path> program = prompt.ChooseFile(choice);
    return program && host.RunProgram(*program, entry.path);
}

bool ExploreAttachmentFolder(const AttachmentEntry& entry, AttachmentHost& host) {
    return host.ExploreFolder(entry.path.parent_path());
}

std::string DeleteFileQuestion(const std::filesystem::path& file) {
    return std::string(LoadString(kDeleteFileStringId)) + "\n(" + file.string() + ")";
}

bool ReleaseAttachments(MailMessage& message, std::vector<std::size_t> selected,
                        const std::filesystem::path& attachmentDirectory, UserPrompt& prompt) {
    if (selected.empty()) {
        return false;
    }
    Question release;
    release.text = kReleaseLinksQuestion;
    release.buttons = ConfirmButtons::OkCancel;
    release.preset = ConfirmAnswer::Ok;
    if (prompt.Ask(release) != ConfirmAnswer::Ok) {
        return false;
    }
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    for (std::size_t index : selected) {
        if (index >= message.attachments.size()) {
            continue;
        }
        const std::filesystem::path& file = message.attachments[index].path;
        if (IsInside(file, attachmentDirectory)) {
            Question remove;
            remove.text = DeleteFileQuestion(file);
            remove.buttons = ConfirmButtons::YesNo;
            remove.preset = ConfirmAnswer::No;
            if (prompt.Ask(remove) == ConfirmAnswer::Yes) {
                std::error_code ec;
                std::filesystem::remove(file, ec);
            }
        }
    }
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        if (*it < message.attachments.size()) {
            message.attachments.erase(message.attachments.begin() +
                                      static_cast<std::ptrdiff_t>(*it));
        }
    }
    message.dirty = true;
    return true;
}

}  // namespace corvina
