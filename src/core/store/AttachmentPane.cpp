#include "store/AttachmentPane.h"

#include <algorithm>
#include <optional>
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

}  // namespace

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
    if (host.OpenWithDefaultAction(entry.path)) {
        return OpenOutcome::Opened;
    }
    return save();
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
