#include "store/MailFolder.h"

#include <algorithm>
#include <mutex>

#include "common/Bytes.h"
#include "store/FolderNames.h"

namespace corvina {

namespace {

struct FolderRegistry {
    std::mutex mutex;
    std::vector<MailFolder*> folders;
};

FolderRegistry& Registry() {
    static FolderRegistry* registry = new FolderRegistry;
    return *registry;
}

void Register(MailFolder* folder) {
    FolderRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    r.folders.push_back(folder);
}

}  // namespace

MailFolder::MailFolder() {
    Register(this);
}

MailFolder::MailFolder(std::filesystem::path mbxPath) : path(std::move(mbxPath)) {
    Register(this);
}

MailFolder::~MailFolder() {
    FolderRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    auto it = std::find(r.folders.begin(), r.folders.end(), this);
    if (it != r.folders.end()) {
        r.folders.erase(it);
    }
}

std::filesystem::path MailFolder::ControlFile() const {
    return ControlFilePath(path);
}

void MailFolder::ClearMessages() {
    messages.clear();
}

int MailFolder::UnreadInIndex() const {
    if (countAll) {
        return static_cast<int>(messages.size());
    }
    int unread = 0;
    for (const auto& m : messages) {
        unread += m->read ? 0 : 1;
    }
    return unread;
}

std::vector<MailFolder*> AllFolders() {
    FolderRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    return r.folders;
}

MailFolder* FindFolder(const std::filesystem::path& mailboxDir, std::string_view folderName) {
    const std::string wanted = FolderNameToPath(mailboxDir, folderName).lexically_normal().string();
    FolderRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    for (MailFolder* folder : r.folders) {
        if ((folder->kind == 1 || folder->kind == 2) &&
            EqualNoCase(folder->path.lexically_normal().string(), wanted)) {
            return folder;
        }
    }
    return nullptr;
}

void SetFolderPath(MailFolder& folder, std::filesystem::path mbxPath) {
    FolderRegistry& r = Registry();
    std::lock_guard lock(r.mutex);
    folder.path = std::move(mbxPath);
}

}  // namespace corvina
