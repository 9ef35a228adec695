#include "store/MailStore.h"

#include <algorithm>

#include "common/AtomicFile.h"
#include "store/FolderNames.h"
#include "store/FolderWatcher.h"
#include "store/MailFolder.h"

namespace corvina {

ConfirmAnswer MailStore::Ask(std::string text, ConfirmButtons buttons, ConfirmAnswer preset) {
    if (prompt_ == nullptr) {
        return preset;
    }
    Question question;
    question.text = std::move(text);
    question.buttons = buttons;
    question.preset = preset;
    return prompt_->Ask(question);
}

void MailStore::ReportError(std::string_view text) {
    if (prompt_ != nullptr) {
        prompt_->Notify(text, kMessageCaption);
    }
}

void MailStore::SetShown(MailFolder* folder, const MailMessage* message) {
    shownFolder_ = folder;
    shownMessage_ = message != nullptr ? message->key.Value() : 0;
}

void MailStore::AddWatcher(FolderWatcher* watcher) {
    if (watcher != nullptr &&
        std::find(watchers_.begin(), watchers_.end(), watcher) == watchers_.end()) {
        watchers_.push_back(watcher);
    }
}

void MailStore::RemoveWatcher(FolderWatcher* watcher) {
    watchers_.erase(std::remove(watchers_.begin(), watchers_.end(), watcher), watchers_.end());
}

template <typename Call>
void MailStore::Tell(const Call& call) {
    // A watcher may remove itself (or another) while being told.
    const std::vector<FolderWatcher*> watchers = watchers_;
    for (FolderWatcher* w : watchers) {
        if (std::find(watchers_.begin(), watchers_.end(), w) != watchers_.end()) {
            call(*w);
        }
    }
}

void MailStore::FolderChanged(MailFolder& folder) {
    Tell([&](FolderWatcher& w) { w.FolderChanged(folder); });
}

void MailStore::MessageAdded(MailFolder& folder, const MessageRef& message) {
    Tell([&](FolderWatcher& w) { w.MessageAdded(folder, message); });
}

void MailStore::MessageChanged(MailFolder& folder, const MessageRef& message) {
    Tell([&](FolderWatcher& w) { w.MessageChanged(folder, message); });
}

void MailStore::MessageRemoved(MailFolder& folder, const MessageRef& message) {
    Tell([&](FolderWatcher& w) { w.MessageRemoved(folder, message); });
}

void MailStore::FolderReloaded(MailFolder& folder) {
    Tell([&](FolderWatcher& w) { w.FolderReloaded(folder); });
}

void MailStore::FolderReset(MailFolder& folder) {
    Tell([&](FolderWatcher& w) { w.FolderReset(folder); });
    if (shownFolder_ == &folder) {
        SetShown(nullptr);
    }
}

void MailStore::NoteFileToSync(const std::filesystem::path& file) {
    std::lock_guard lock(syncMutex_);
    filesToSync_.insert(file);
}

void MailStore::NoteDirectoryToSync(const std::filesystem::path& directory) {
    std::lock_guard lock(syncMutex_);
    directoriesToSync_.insert(directory);
}

bool MailStore::SyncDeliveries() {
    std::set<std::filesystem::path> files;
    std::set<std::filesystem::path> directories;
    {
        std::lock_guard lock(syncMutex_);
        files.swap(filesToSync_);
        directories.swap(directoriesToSync_);
    }
    std::set<std::filesystem::path> failedFiles;
    std::set<std::filesystem::path> failedDirectories;
    std::error_code ec;
    for (const auto& file : files) {
        // A file rewritten since (renamed over) is already synced; a file
        // removed since has nothing left to keep.
        if (!FsyncFile(file) && std::filesystem::exists(file, ec)) {
            failedFiles.insert(file);
        }
    }
    for (const auto& dir : directories) {
        if (!FsyncDirectory(dir) && std::filesystem::exists(dir, ec)) {
            failedDirectories.insert(dir);
        }
    }
    if (failedFiles.empty() && failedDirectories.empty()) {
        return true;
    }
    std::lock_guard lock(syncMutex_);
    filesToSync_.insert(failedFiles.begin(), failedFiles.end());
    directoriesToSync_.insert(failedDirectories.begin(), failedDirectories.end());
    return false;
}

MessageRef StoredMessageRef(const std::filesystem::path& mailboxDir, const MailFolder& folder,
                            const MailMessage& message) {
    MessageRef ref;
    ref.folder = FolderNameOfPath(mailboxDir, folder.path).value_or(folder.path.stem().string());
    ref.key = message.key.Value();
    return ref;
}

}  // namespace corvina
