// Loading a folder's index, bodies on demand, adding messages and the
// cheap unread test.
#include "store/Mailbox.h"

#include <sys/stat.h>

#include <optional>

#include "common/MappedFile.h"
#include "message/MailMessage.h"
#include "message/StoredForm.h"
#include "store/FolderFileCheck.h"
#include "store/FolderLock.h"
#include "store/FolderStat.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/MailboxParser.h"
#include "store/StoreHost.h"

namespace corvina {

namespace {

// The idle callback runs after every this many messages of a load.
constexpr int kIdleEvery = 100;

// A scan gives back the pages it has passed every this many bytes, so a
// folder of any size costs about this much of the file in memory.
constexpr std::size_t kReleaseEvery = std::size_t{4} << 20;

void GiveEmptyBody(MailMessage& message) {
    if (message.bodyLines.empty()) {
        message.bodyLines.Append("");
        message.bodyLineCount = 1;
    }
    message.bodyLoaded = true;
}

bool AnswerFromCounts(const MailFolder& folder) {
    return (folder.countAll ? folder.total : folder.unread) > 0;
}

}  // namespace

bool LoadFolder(MailFolder& folder, const StoreContext& context) {
    folder.ClearMessages();
    // Read under the folder's lock, so never half of another writer's
    // append or rewrite (without a lock the file is read all the same).
    const std::optional<FolderLock> lock = FolderLock::Acquire(folder.path);
    MappedFile map;
    struct stat st {};
    if (::stat(folder.path.c_str(), &st) != 0 || !map.Open(folder.path)) {
        RecordFolderFile(folder, {}, 0, nullptr);
        return false;
    }
    map.AdviseSequential();
    const char* const data = map.Data();
    MailboxLineReader reader(data, data + map.Size());
    int total = 0;
    int unread = 0;
    std::int64_t knownEnd = 0;  // end of the last complete message
    while (!reader.AtEnd()) {
        auto message = std::make_unique<MailMessage>();
        message->offset = reader.Position() - data;
        message->owner = &folder;
        if (!ReadMessageHeader(reader, *message, context.mailboxDir, HeaderPass::Index)) {
            break;  // an incomplete last message is not indexed
        }
        int lines = 0;
        if (!CountMessageBody(reader, lines)) {
            break;
        }
        message->bodyLineCount = lines;
        message->otherHeadersLoaded = message->otherHeaderCount == 0;
        message->read = message->status.find('R') != std::string::npos;
        if (!message->read) {
            ++unread;
        }
        if (lines == 0) {
            GiveEmptyBody(*message);
        }
        folder.messages.push_back(std::move(message));
        knownEnd = reader.Position() - data;
        // Only the next message is read from here on.
        const std::size_t scanned = static_cast<std::size_t>(reader.Position() - data);
        if (scanned - map.Released() >= kReleaseEvery) {
            map.ReleaseBefore(scanned);
        }
        if (++total % kIdleEvery == 0 && context.store != nullptr &&
            context.store->Host() != nullptr) {
            context.store->Host()->ProcessPendingInput();
        }
    }
    if (folder.countAll) {
        unread = total;
    }
    folder.total = total;
    folder.unread = unread;
    RecordFolderFile(folder, map.View(), knownEnd, &st);
    WriteFolderCounts(folder, total, unread);
    return true;
}

bool LoadMessagePartsFrom(std::string_view file, MailMessage& message, bool wantHeaders,
                          bool wantBody) {
    if (message.offset < 0 || static_cast<std::uint64_t>(message.offset) > file.size()) {
        return false;
    }
    MailboxLineReader reader(file.data() + message.offset, file.data() + file.size());
    if (wantHeaders && !message.otherHeadersLoaded) {
        MailMessage parsed(0);
        if (!ReadMessageHeader(reader, parsed, {}, HeaderPass::OtherLines)) {
            return false;
        }
        message.otherHeaders = std::move(parsed.otherHeaders);
        message.otherHeaderCount = static_cast<int>(message.otherHeaders.size());
        message.otherHeadersLoaded = true;
    } else if (!SkipMessageHeader(reader)) {
        return false;
    }
    if (wantBody && !message.bodyLoaded) {
        message.bodyLines.Clear();
        message.bodyLineCount = 0;
        ReadMessageBody(reader, message);
        GiveEmptyBody(message);
    }
    return true;
}

void LoadMessageBody(MailMessage& message) {
    if ((message.bodyLoaded && message.otherHeadersLoaded) || message.owner == nullptr ||
        message.offset < 0) {
        return;
    }
    MappedFile map;
    if (!map.Open(message.owner->path) || !LoadMessagePartsFrom(map.View(), message, true, true)) {
        GiveEmptyBody(message);
    }
}

void ReleaseMessageBody(MailMessage& message) {
    // A dirty message may hold changes that exist nowhere else.
    if (message.owner == nullptr || message.offset < 0 || message.dirty) {
        return;
    }
    if (message.bodyLoaded) {
        message.bodyLines.Clear();
        message.bodyLoaded = false;
    }
    if (message.otherHeadersLoaded && message.otherHeaderCount > 0) {
        std::vector<std::string>().swap(message.otherHeaders);
        message.otherHeadersLoaded = false;
    }
}

bool LoadOtherHeaders(MailMessage& message) {
    if (message.otherHeadersLoaded) {
        return true;
    }
    if (message.owner == nullptr || message.offset < 0) {
        return false;
    }
    MappedFile map;
    return map.Open(message.owner->path) && LoadMessagePartsFrom(map.View(), message, true, false);
}

MailMessage* AddMessage(MailFolder& folder, std::unique_ptr<MailMessage> message,
                        const StoreContext& context) {
    if (message == nullptr) {
        return nullptr;
    }
    if (folder.messages.empty() && !folder.modified) {
        LoadFolder(folder, context);
    }
    message->owner = &folder;
    message->dirty = true;
    message->offset = -1;
    MailMessage* added = message.get();
    folder.messages.push_back(std::move(message));
    if (folder.total < 0 || folder.unread < 0) {
        folder.total = static_cast<int>(folder.messages.size());
        folder.unread = folder.UnreadInIndex();
    } else {
        ++folder.total;
        if (folder.countAll || !added->read) {
            ++folder.unread;
        }
    }
    folder.modified = true;
    return added;
}

bool FolderHasUnread(MailFolder& folder, const StoreContext& context) {
    if (!folder.messages.empty() || folder.modified) {
        if (folder.unread >= 0) {
            return AnswerFromCounts(folder);
        }
        for (const auto& m : folder.messages) {
            if (folder.countAll || !m->read) {
                return true;
            }
        }
        return false;
    }
    if (folder.unread >= 0) {
        return AnswerFromCounts(folder);
    }
    const int storedUnread = ReadFolderStat(folder, "Mail", "UnRead", -1);
    const int storedTotal = folder.countAll ? ReadFolderStat(folder, "Mail", "Total", -1) : 0;
    if (storedUnread != -1 && storedTotal != -1) {
        return (folder.countAll ? storedTotal : storedUnread) > 0;
    }
    // Count from the file itself.
    MappedFile map;
    if (!map.Open(folder.path)) {
        return false;
    }
    map.AdviseSequential();
    MailboxLineReader reader(map.Data(), map.Data() + map.Size());
    int total = 0;
    int unread = 0;
    bool inHeader = true;
    bool sawStatus = false;
    std::string_view line;
    bool piece = false;
    while (reader.Next(line, piece)) {
        if (inHeader) {
            if (line.empty() && !piece) {
                if (!sawStatus) {
                    return true;  // a message without Status is unread
                }
                inHeader = false;
            } else if (const StoredName name = ClassifyStoredLine(line);
                       !piece && name.field == StoredField::Status) {
                sawStatus = true;
                if (folder.countAll || line.find('R', name.valueStart) == std::string_view::npos) {
                    ++unread;
                }
            }
        } else if (!piece && line == ".") {
            ++total;
            inHeader = true;
            sawStatus = false;
            const std::size_t scanned = static_cast<std::size_t>(reader.Position() - map.Data());
            if (scanned - map.Released() >= kReleaseEvery) {
                map.ReleaseBefore(scanned);
            }
        }
    }
    if (folder.countAll) {
        unread = total;
    }
    WriteFolderCounts(folder, total, unread);
    return unread > 0;
}

}  // namespace corvina
