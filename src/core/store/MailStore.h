#pragma once
// The store of one running program: what the front end tells it (who asks
// the user, what the windows show), who watches its folders, and which
// written files still have to be made durable. A front end makes one and
// passes it to the folder tree, the message list and the store calls
// (StoreContext); tests make their own.
//
// Folder locks stay process-wide (store/FolderLock.h): POSIX record locks
// belong to the process, so two stores in one process must still see each
// other's locks.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>

#include "common/UserPrompt.h"
#include "message/MailMessage.h"

namespace corvina {

class FolderWatcher;
class MailFolder;
class StoreHost;

class MailStore {
public:
    // Both may be null: questions then take their preset answer, notices
    // are dropped, and nothing is asked of a front end.
    explicit MailStore(UserPrompt* prompt = nullptr, StoreHost* host = nullptr)
        : prompt_(prompt), host_(host) {}
    MailStore(const MailStore&) = delete;
    MailStore& operator=(const MailStore&) = delete;

    UserPrompt* Prompt() const { return prompt_; }
    StoreHost* Host() const { return host_; }
    void SetPrompt(UserPrompt* prompt) { prompt_ = prompt; }
    void SetHost(StoreHost* host) { host_ = host; }

    // A question in a box with the usual caption; the preset answer when
    // nobody can be asked.
    ConfirmAnswer Ask(std::string text, ConfirmButtons buttons, ConfirmAnswer preset);
    // A storage failure the user must hear about.
    void ReportError(std::string_view text);

    // What the windows show: the list's folder and the viewer's message
    // (null: none). Bodies of the shown folder's new messages and of the
    // shown message stay loaded when the store would free them.
    void SetShown(MailFolder* folder, const MailMessage* message = nullptr);
    MailFolder* ShownFolder() const { return shownFolder_; }
    bool KeepsBodyLoaded(const MailFolder& folder) const { return &folder == shownFolder_; }
    bool KeepsBodyLoaded(const MailMessage& message) const {
        return shownMessage_ != 0 && message.key.Value() == shownMessage_;
    }

    // Watchers are told every change below in the order they were added.
    // A watcher must be removed before it is destroyed.
    void AddWatcher(FolderWatcher* watcher);
    void RemoveWatcher(FolderWatcher* watcher);

    void FolderChanged(MailFolder& folder);
    void MessageAdded(MailFolder& folder, const MessageRef& message);
    void MessageChanged(MailFolder& folder, const MessageRef& message);
    void MessageRemoved(MailFolder& folder, const MessageRef& message);
    void FolderReloaded(MailFolder& folder);
    // Also forgets the folder as the shown one: it is about to go away.
    void FolderReset(MailFolder& folder);

    // Files written and directories changed since the last sync; any
    // thread may note them and sync.
    void NoteFileToSync(const std::filesystem::path& file);
    void NoteDirectoryToSync(const std::filesystem::path& directory);
    // Makes every message appended so far durable: fsyncs each noted file
    // and directory. False if any sync failed (those stay pending).
    bool SyncDeliveries();

private:
    template <typename Call>
    void Tell(const Call& call);

    UserPrompt* prompt_;
    StoreHost* host_;
    MailFolder* shownFolder_ = nullptr;
    std::uint64_t shownMessage_ = 0;
    std::vector<FolderWatcher*> watchers_;

    std::mutex syncMutex_;
    std::set<std::filesystem::path> filesToSync_;
    std::set<std::filesystem::path> directoriesToSync_;
};

// How a watcher names a stored message: the folder's name under
// `mailboxDir` ("Work\Old") and the message's key.
MessageRef StoredMessageRef(const std::filesystem::path& mailboxDir, const MailFolder& folder,
                            const MailMessage& message);

}  // namespace corvina
