#pragma once
// The folder tree of the current profile as a model: the account root with
// InBox, OutBox (Draft, Sent, Reminder), Trash and the user folders found
// on disk, followed by the roots of the other configured profiles. The
// tree owns every MailFolder; the tree widget draws these nodes.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/AccountProfile.h"
#include "store/FolderNames.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {

class MailStore;
struct AppState;

struct FolderNode {
    std::unique_ptr<MailFolder> folder;  // MailFolder::treeItem points back here
    std::string label;
    bool expanded = false;
    FolderNode* parent = nullptr;
    std::vector<std::unique_ptr<FolderNode>> children;

    bool IsRoot() const { return folder->kind == 0; }
    int IndexInParent() const;
};

// The label of an account root: the first non-empty of account, address and
// name, else "(no name)".
std::string ProfileRootLabel(const AccountProfile& profile);

class FolderTree {
public:
    // `store` may be null (no questions: operations that need an answer
    // then do nothing; no notices).
    explicit FolderTree(MailStore* store = nullptr) : store_(store) {}

    // Rebuilds the whole tree for profile `current` of `profiles` with its
    // mailbox directory (created with Attach and OutBox when missing). The
    // special folders are labelled with `displayNames` in the order InBox,
    // OutBox, Sent, Draft, Reminder, Trash (the string table when empty).
    void BuildFolderTree(const std::filesystem::path& mailboxDir, const ProfileTable& profiles,
                         int current, std::vector<std::string> displayNames = {});
    // The same for the application's current profile and mailbox directory.
    void BuildFolderTree(const AppState& app);
    // Adds the user folders of `dir` below `parent`, recursively; special
    // base names are skipped at every depth. A directory reached twice
    // (symbolic links that loop) is scanned once, and a folder file reached
    // through two names is listed once.
    void ScanFolderDirectory(const std::filesystem::path& dir, FolderNode& parent);

    void Clear();

    const std::filesystem::path& MailboxDir() const { return mailboxDir_; }
    MailStore* Store() const { return store_; }
    StoreContext Context() const;

    const std::vector<std::unique_ptr<FolderNode>>& Roots() const { return roots_; }
    FolderNode* CurrentRoot() const { return roots_.empty() ? nullptr : roots_.front().get(); }
    FolderNode* Special(SpecialFolder which) const;
    // By folder name ("Work\Old"; Sent, Draft, Reminder resolved), or null.
    FolderNode* FindNode(std::string_view folderName) const;
    static FolderNode* NodeOf(const MailFolder& folder);

    // Every node below the current root, parents before their children.
    std::vector<FolderNode*> FolderNodes() const;
    // The folder name of a node with a file ("Work\Old").
    std::string FolderNameOf(const FolderNode& node) const;
    // Display names of the special folders, in the order of BuildFolderTree.
    const std::vector<std::string>& DisplayNames() const { return displayNames_; }

    // Sorts a node's user folders by label, ignoring case, after its special ones.
    static void SortChildren(FolderNode& node);
    // A new node for the .mbx at `path`, made a child of `parent` (at the end
    // unless `first`). Properties and the expanded state come from its
    // control file for user folders.
    FolderNode* AddFolderNode(FolderNode& parent, const std::filesystem::path& path, int kind,
                              std::string label, bool first = false);
    // Removes `node` (and everything below it) from the tree.
    void RemoveNode(FolderNode& node);

private:
    struct ScanSeen;
    void ScanDirectory(const std::filesystem::path& dir, FolderNode& parent, ScanSeen& seen);
    void SetSpecialFlags(MailFolder& folder) const;

    MailStore* store_;
    std::filesystem::path mailboxDir_;
    std::vector<std::string> displayNames_;
    std::vector<std::unique_ptr<FolderNode>> roots_;
};

}  // namespace corvina
