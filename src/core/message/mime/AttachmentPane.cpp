#include "message/mime/AttachmentPane.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/Bytes.h"
#include "message/StoreLines.h"
#include "message/mime/MimeTypeTable.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

constexpr std::uintmax_t kMaxEnclosedMessageBytes = 256u * 1024u * 1024u;

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

std::optional<std::string> EnclosedMessageText(const std::filesystem::path& file) {
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxEnclosedMessageBytes) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string out;
    out.reserve(raw.size() + raw.size() / 64 + 4);
    StoreLineFilter storeLines;  // the enclosed message came from outside
    std::size_t pos = 0;
    while (pos < raw.size()) {
        std::size_t lf = raw.find('\n', pos);
        std::size_t end = lf == std::string::npos ? raw.size() : lf;
        std::string_view line(raw.data() + pos, end - pos);
        pos = lf == std::string::npos ? raw.size() : lf + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (storeLines.Drops(line)) {
            continue;
        }
        // The reader ends the text at "." and takes one dot from "..".
        if (!line.empty() && line.front() == '.') {
            out += '.';
        }
        out.append(line);
        out += '\n';
    }
    out += ".\n";
    return out;
}

bool SaveAttachmentAs(const AttachmentEntry& entry, AttachmentHost& host,
                      AttachmentPaneState& state) {
    std::optional<std::filesystem::path> target =
        host.AskSaveTarget(entry.path.filename().string(), state.attachSaveDir);
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
                           AttachmentHost& host, AttachmentPaneState& state) {
    auto save = [&]() {
        return SaveAttachmentAs(entry, host, state) ? OpenOutcome::Saved : OpenOutcome::Cancelled;
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

bool LaunchAttachmentWith(const AttachmentEntry& entry, AttachmentHost& host) {
    std::optional<std::filesystem::path> program = host.AskProgram();
    return program && host.RunProgram(*program, entry.path);
}

bool ExploreAttachmentFolder(const AttachmentEntry& entry, AttachmentHost& host) {
    return host.ExploreFolder(entry.path.parent_path());
}

bool ReleaseAttachments(MailMessage& message, std::vector<std::size_t> selected,
                        const std::filesystem::path& attachmentDirectory, AttachmentHost& host) {
    if (selected.empty() || !host.ConfirmOkCancel(kReleaseLinksQuestion)) {
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
            std::string question = std::string(kDeleteFileQuestion) + "\n(" + file.string() + ")";
            if (host.AskYesNo(question)) {
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
