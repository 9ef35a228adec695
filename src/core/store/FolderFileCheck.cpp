#include "store/FolderFileCheck.h"

#include <algorithm>
#include <memory>

#include "common/MappedFile.h"
#include "message/MailMessage.h"
#include "store/FolderNames.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"
#include "store/MailboxParser.h"

namespace corvina {

namespace {

// Enough bytes to tell a rewritten or edited end of the indexed part from
// the one that was read, without reading the whole file again.
constexpr std::int64_t kFingerprintBytes = 4096;

}  // namespace

std::uint64_t FolderFileFingerprint(std::string_view bytes, std::int64_t end) {
    end = std::clamp<std::int64_t>(end, 0, static_cast<std::int64_t>(bytes.size()));
    const std::int64_t begin = std::max<std::int64_t>(0, end - kFingerprintBytes);
    // FNV-1a over the bytes and their end position.
    std::uint64_t hash = 14695981039346656037ull ^ static_cast<std::uint64_t>(end);
    for (std::int64_t i = begin; i < end; ++i) {
        hash ^= static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        hash *= 1099511628211ull;
    }
    return hash;
}

void RecordFolderFile(MailFolder& folder, std::string_view bytes, std::int64_t knownEnd,
                      const struct stat* st) {
    FolderFileIdentity& id = folder.fileIdentity;
    id.known = true;
    id.existed = st != nullptr;
    id.device = st != nullptr ? static_cast<std::uint64_t>(st->st_dev) : 0;
    id.inode = st != nullptr ? static_cast<std::uint64_t>(st->st_ino) : 0;
    id.knownEnd = st != nullptr ? std::clamp<std::int64_t>(knownEnd, 0, bytes.size()) : 0;
    id.fingerprint = FolderFileFingerprint(bytes, id.knownEnd);
}

FolderFileChange CheckFolderFile(const MailFolder& folder, std::string_view bytes,
                                 const struct stat* st) {
    const FolderFileIdentity& id = folder.fileIdentity;
    if (!id.known) {
        return FolderFileChange::Unchanged;  // an index built by hand: nothing to compare
    }
    if (!id.existed) {
        return st != nullptr && !bytes.empty() ? FolderFileChange::Grew
                                               : FolderFileChange::Unchanged;
    }
    if (st == nullptr || static_cast<std::uint64_t>(st->st_dev) != id.device ||
        static_cast<std::uint64_t>(st->st_ino) != id.inode) {
        return FolderFileChange::Changed;
    }
    const auto size = static_cast<std::int64_t>(bytes.size());
    if (size < id.knownEnd || FolderFileFingerprint(bytes, id.knownEnd) != id.fingerprint) {
        return FolderFileChange::Changed;
    }
    return size > id.knownEnd ? FolderFileChange::Grew : FolderFileChange::Unchanged;
}

void IndexAppendedMessages(MailFolder& folder, std::string_view bytes, const struct stat& st,
                           const StoreContext& context, std::vector<MailMessage*>* added) {
    const FolderFileIdentity& id = folder.fileIdentity;
    std::int64_t end = id.known && id.existed ? id.knownEnd : 0;
    end = std::clamp<std::int64_t>(end, 0, static_cast<std::int64_t>(bytes.size()));
    if (folder.total < 0 || folder.unread < 0) {
        folder.total = static_cast<int>(folder.messages.size());
        folder.unread = folder.UnreadInIndex();
    }
    const char* const data = bytes.data();
    MailboxLineReader reader(data + end, data + bytes.size());
    while (!reader.AtEnd()) {
        auto message = std::make_unique<MailMessage>();
        message->offset = reader.Position() - data;
        message->owner = &folder;
        int lines = 0;
        if (!ReadMessageHeader(reader, *message, context.mailboxDir, HeaderPass::Index) ||
            !CountMessageBody(reader, lines)) {
            break;  // an unfinished tail stays in the file, out of the index
        }
        message->bodyLineCount = lines;
        message->otherHeadersLoaded = message->otherHeaderCount == 0;
        message->read = message->status.find('R') != std::string::npos;
        if (lines == 0) {
            message->bodyLines.Append("");
            message->bodyLineCount = 1;
            message->bodyLoaded = true;
        }
        ++folder.total;
        if (folder.countAll || !message->read) {
            ++folder.unread;
        }
        end = reader.Position() - data;
        if (added != nullptr) {
            added->push_back(message.get());
        }
        folder.messages.push_back(std::move(message));
    }
    RecordFolderFile(folder, bytes, end, &st);
}

void RecordFolderFileOnDisk(MailFolder& folder, std::int64_t knownEnd) {
    struct stat st {};
    MappedFile map;
    if (::stat(folder.path.c_str(), &st) != 0 || !map.Open(folder.path)) {
        RecordFolderFile(folder, {}, 0, nullptr);
        return;
    }
    RecordFolderFile(folder, map.View(), knownEnd, &st);
}

bool CatchUpFolder(MailFolder& folder, const StoreContext& context, std::string* error) {
    if (folder.messages.empty() && !folder.modified) {
        LoadFolder(folder, context);  // a missing file is an empty folder
        return true;
    }
    struct stat st {};
    MappedFile map;
    const bool exists = ::stat(folder.path.c_str(), &st) == 0;
    if (exists && !map.Open(folder.path)) {
        if (error != nullptr) {
            *error = "The folder file could not be read: " + folder.path.string();
        }
        return false;
    }
    switch (CheckFolderFile(folder, map.View(), exists ? &st : nullptr)) {
        case FolderFileChange::Unchanged:
            return true;
        case FolderFileChange::Grew: {
            std::vector<MailMessage*> added;
            IndexAppendedMessages(folder, map.View(), st, context, &added);
            if (context.store != nullptr) {
                for (MailMessage* m : added) {
                    context.store->MessageAdded(folder,
                                                StoredMessageRef(context.mailboxDir, folder, *m));
                }
            }
            return true;
        }
        case FolderFileChange::Changed:
            break;
    }
    if (error != nullptr) {
        *error = FolderChangedError(folder, context,
                                    "it was left as it is. Open it again and repeat the change.");
    }
    return false;
}

std::string FolderChangedError(const MailFolder& folder, const StoreContext& context,
                               std::string_view consequence) {
    const std::optional<std::string> name = FolderNameOfPath(context.mailboxDir, folder.path);
    std::string text = "The folder ";
    text += name ? *name : folder.path.string();
    text += " was changed by another program after it was read; ";
    text += consequence;
    return text;
}

}  // namespace corvina
