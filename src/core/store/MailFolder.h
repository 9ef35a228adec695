#pragma once
// One folder of a profile: its mailbox file, cached counts, properties and,
// once loaded, its message index. Every MailFolder is in one process-wide
// list while it exists; FindFolder looks folders up by name.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/FolderFileCheck.h"
#include "message/MailMessage.h"

namespace corvina {

class MailFolder {
public:
    // Registers the folder in the global list; the destructor removes it.
    MailFolder();
    explicit MailFolder(std::filesystem::path mbxPath);
    ~MailFolder();
    MailFolder(const MailFolder&) = delete;
    MailFolder& operator=(const MailFolder&) = delete;

    int kind = 2;           // 0 = account root (no file), 1 = has a child directory, 2 = has none
    int profileIndex = -1;  // account roots: the profile they stand for
    void* treeItem = nullptr;
    bool countAll = false;  // OutBox, Sent, Draft, Reminder: every message counts as unread
    bool fixed = false;     // special folders and roots: no rename, move or delete
    bool modified = false;  // the index differs from the file

    std::filesystem::path path;  // the .mbx file
    int total = -1;              // -1 = unknown
    int unread = -1;             // -1 = unknown

    // What the index was read from (device, inode, where its last message
    // ends); a rewrite checks it under the folder's lock.
    FolderFileIdentity fileIdentity;

    // In file order; empty = not loaded.
    std::vector<std::unique_ptr<MailMessage>> messages;

    // Folder properties (kept in the control file's Property section).
    std::string newTemplate, repTemplate, fwdTemplate;
    std::string defAddrGroup = "!Default";
    bool removeHead = false;

    // The control file beside the .mbx.
    std::filesystem::path ControlFile() const;
    // Drops the index (messages and their bodies); counts stay.
    void ClearMessages();
    // Unread messages of the index (every one in a count-all folder).
    int UnreadInIndex() const;
};

// A snapshot of the global folder list, in creation order.
std::vector<MailFolder*> AllFolders();

// The folder of kind 1 or 2 whose path is mailboxDir + folderName + ".mbx"
// (ignoring case; "\" between levels), or nullptr. Sent, Draft and Reminder
// are NOT resolved here (see ResolveFolderName).
MailFolder* FindFolder(const std::filesystem::path& mailboxDir, std::string_view folderName);

// Moves a registered folder to a new file path under the folder list's lock,
// so a FindFolder on the mail thread (filtering) never reads a path that the
// user-interface thread is renaming.
void SetFolderPath(MailFolder& folder, std::filesystem::path mbxPath);

}  // namespace corvina
