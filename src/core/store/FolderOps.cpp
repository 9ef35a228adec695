#include "store/FolderOps.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "common/Bytes.h"
#include "common/StringTable.h"
#include "platform/Paths.h"
#include "store/FolderFilterLines.h"
#include "store/FolderLock.h"
#include "store/FolderNames.h"
#include "store/FolderStat.h"
#include "store/FolderTree.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"

namespace corvina {

namespace {

namespace fs = std::filesystem;

// A rename that never replaces an existing file or directory (a plain
// rename would silently overwrite another folder's mailbox).
bool MoveNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: check, then rename.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec)))
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// `path` lies inside `dir` (ignoring case), not equal to it.
bool PathIsInside(const fs::path& path, const fs::path& dir) {
    const std::string p = path.lexically_normal().string();
    std::string d = dir.lexically_normal().string();
    if (!d.empty() && d.back() != '/')
        d += '/';
    return p.size() > d.size() && StartsWithNoCase(p, d);
}

// Another entry of `dir` with this name, compared ignoring case; `self` (the
// folder's own current entry) does not count.
bool NameTakenIn(const fs::path& dir, const std::string& name, const std::string& self,
                 bool directories) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (entry == self || !EqualNoCase(entry, name))
            continue;
        std::error_code typeEc;
        if (!directories || it->is_directory(typeEc))
            return true;
    }
    return false;
}

// The node and everything below it, parents before their children.
std::vector<FolderNode*> SubtreeOf(FolderNode& node) {
    std::vector<FolderNode*> nodes{&node};
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        for (const auto& child : nodes[i]->children)
            nodes.push_back(child.get());
    }
    return nodes;
}

void StoreProperties(MailFolder& folder, const FolderProperties& p) {
    folder.newTemplate = p.newTemplate;
    folder.repTemplate = p.repTemplate;
    folder.fwdTemplate = p.fwdTemplate;
    folder.defAddrGroup = p.defAddrGroup;
    folder.removeHead = p.removeHead;
    WriteFolderProperty(folder, "Property", "NewTemplate", p.newTemplate);
    WriteFolderProperty(folder, "Property", "RepTemplate", p.repTemplate);
    WriteFolderProperty(folder, "Property", "FwdTemplate", p.fwdTemplate);
    WriteFolderStat(folder, "Property", "RemoveHead", p.removeHead ? 1 : 0);
    WriteFolderProperty(folder, "Property", "DefAddrGroup", p.defAddrGroup);
}

}  // namespace

FolderNode* NewFolder(FolderTree& tree, FolderNode* selected) {
    FolderNode* root = tree.CurrentRoot();
    if (!root)
        return nullptr;
    FolderNode* parent = root;
    fs::path dir = tree.MailboxDir();
    if (selected && !selected->folder->fixed && !selected->IsRoot()) {
        // A top-level folder named Attach cannot have child folders: its
        // child directory would be the attachment directory.
        if (selected->parent && selected->parent->IsRoot() &&
            EqualNoCase(selected->label, "Attach"))
            return nullptr;
        parent = selected;
        dir = ChildDirectoryPath(selected->folder->path);
        std::error_code ec;
        CreateDirectoryPath(dir, 0700);
        if (!fs::is_directory(dir, ec))
            return nullptr;
        parent->folder->kind = 1;
    }
    const std::string base = NextNewFolderBaseName(dir);
    if (base.empty())
        return nullptr;
    const fs::path mbx = dir / (base + ".mbx");
    const int fd = ::open(mbx.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    ::close(fd);
    // A control file left behind by an earlier folder of this name would
    // lend the new, empty folder its counts.
    std::error_code ec;
    fs::remove(ControlFilePath(mbx), ec);

    FolderNode* node = tree.AddFolderNode(*parent, mbx, 2, base);
    node->folder->total = 0;
    node->folder->unread = 0;
    parent->expanded = true;
    return node;
}

RenameResult RenameFolder(FolderTree& tree, FolderNode& node, std::string_view newLabel,
                          bool* filtersRewritten) {
    if (filtersRewritten)
        *filtersRewritten = false;
    MailFolder& folder = *node.folder;
    if (folder.fixed || node.IsRoot() || !node.parent)
        return RenameResult::Refused;
    std::string name;
    if (CheckFolderLabel(newLabel, tree.DisplayNames(), name) != FolderNameCheck::Ok)
        return RenameResult::Refused;
    if (name == node.label)
        return RenameResult::Unchanged;
    // In the mailbox directory, a folder called Attach would take the
    // attachment directory as its child directory (and move or delete it).
    if (node.parent->IsRoot() && EqualNoCase(name, "Attach"))
        return RenameResult::Refused;

    const fs::path oldMbx = folder.path;
    const fs::path dir = oldMbx.parent_path();
    const fs::path newMbx = dir / (name + ".mbx");
    // No other writer may append to the file while it moves, nor create
    // one under the new name
    // one (always in the same order, so two renames cannot wait on each other).
    const bool oldFirst = ToLowerAscii(oldMbx.string()) <= ToLowerAscii(newMbx.string());
    const std::optional<FolderLock> firstLock = FolderLock::Acquire(oldFirst ? oldMbx : newMbx);
    const std::optional<FolderLock> secondLock = FolderLock::Acquire(oldFirst ? newMbx : oldMbx);
    if (!firstLock || !secondLock)
        return RenameResult::Refused;
    const fs::path oldDir = ChildDirectoryPath(oldMbx);
    const fs::path newDir = dir / name;
    std::error_code ec;
    const bool hasDir = folder.kind == 1 && fs::is_directory(oldDir, ec);
    if (NameTakenIn(dir, name + ".mbx", oldMbx.filename().string(), false) ||
        (hasDir && NameTakenIn(dir, name, oldDir.filename().string(), true)))
        return RenameResult::NameTaken;

    if (!MoveNoReplace(oldMbx, newMbx))
        return RenameResult::MoveFailed;
    if (hasDir && !MoveNoReplace(oldDir, newDir)) {
        ::rename(newMbx.c_str(), oldMbx.c_str());
        return RenameResult::MoveFailed;
    }
    if (hasDir) {
        const std::string oldPrefix = oldDir.lexically_normal().string();
        for (MailFolder* f : AllFolders()) {
            if (!PathIsInside(f->path, oldDir))
                continue;
            const std::string p = f->path.lexically_normal().string();
            SetFolderPath(*f, newDir.string() + p.substr(oldPrefix.size()));
        }
    }

    const auto oldName = FolderNameOfPath(tree.MailboxDir(), oldMbx);
    const auto newName = FolderNameOfPath(tree.MailboxDir(), newMbx);
    if (oldName && newName) {
        int changed = 0;
        if (!RewriteFilterFile(tree.MailboxDir() / "Filter.DEF", *oldName, *newName, &changed) &&
            tree.Store())
            tree.Store()->ReportError("Filter.DEF could not be updated for the renamed folder.");
        if (filtersRewritten)
            *filtersRewritten = changed > 0;
    }

    const fs::path oldCtl = ControlFilePath(oldMbx);
    const fs::path newCtl = ControlFilePath(newMbx);
    if (fs::exists(oldCtl, ec)) {
        ::rename(oldCtl.c_str(), newCtl.c_str());
    } else {
        fs::remove(newCtl, ec);  // stale counts of some earlier folder
    }
    SetFolderPath(folder, newMbx);
    node.label = name;
    FolderTree::SortChildren(*node.parent);
    return RenameResult::Renamed;
}

std::string RenameProblemText(const FolderTree& tree, RenameResult result,
                              std::string_view newLabel) {
    std::string name;
    switch (result) {
        case RenameResult::Renamed:
        case RenameResult::Unchanged:
            return {};
        case RenameResult::NameTaken:
            return "A folder named \"" + std::string(Trim(newLabel)) +
                   "\" exists already. Choose another name.";
        case RenameResult::MoveFailed:
            return "The folder's files could not be renamed. Check that the mailbox directory "
                   "can be written to, then try again.";
        case RenameResult::Refused:
            break;
    }
    switch (CheckFolderLabel(newLabel, tree.DisplayNames(), name)) {
        case FolderNameCheck::Empty:
            return "A folder name cannot be empty. Type a name for the folder.";
        case FolderNameCheck::BadCharacter:
            return "A folder name cannot contain < > * ? | \\ / or control characters. "
                   "Choose another name.";
        case FolderNameCheck::ReservedName:
            return "\"" + std::string(Trim(newLabel)) +
                   "\" is the name of a special folder. Choose another name.";
        case FolderNameCheck::Ok:
            break;
    }
    return "This folder cannot be named \"" + name + "\". Choose another name.";
}

FolderNode* DeleteFolder(FolderTree& tree, FolderNode& node, bool* deleted) {
    if (deleted)
        *deleted = false;
    MailFolder& folder = *node.folder;
    MailStore* store = tree.Store();
    if (folder.fixed || node.IsRoot() || !node.parent || !store || !store->Prompt())
        return nullptr;
    const std::string text = "\"" + node.label + "\"\n" + LoadString(kDeleteFolderStringId);
    if (store->Ask(text, ConfirmButtons::OkCancel, ConfirmAnswer::Ok) != ConfirmAnswer::Ok)
        return nullptr;

    std::error_code ec;
    {
        // Not while another writer appends to it.
        const std::optional<FolderLock> lock = FolderLock::Acquire(folder.path);
        if (lock)
            fs::remove(folder.path, ec);
        if (!lock || ec) {
            store->ReportError("The folder could not be deleted.");
            return nullptr;
        }
    }
    fs::remove(ControlFilePath(folder.path), ec);
    if (folder.kind == 1) {
        fs::remove_all(ChildDirectoryPath(folder.path), ec);
        if (ec)
            store->ReportError("Some files of the folder could not be deleted.");
    }

    FolderNode* parent = node.parent;
    const int index = node.IndexInParent();
    FolderNode* next = nullptr;
    if (index + 1 < static_cast<int>(parent->children.size())) {
        next = parent->children[index + 1].get();
    } else if (index > 0) {
        next = parent->children[index - 1].get();
    } else {
        next = parent;
    }
    // Whoever holds the folder or one inside it must let go of it before
    // the folder object goes away: innermost first.
    const std::vector<FolderNode*> below = SubtreeOf(node);
    for (auto it = below.rbegin(); it != below.rend(); ++it)
        store->FolderReset(*(*it)->folder);
    tree.RemoveNode(node);
    if (deleted)
        *deleted = true;
    return next;
}

FolderProperties PropertiesOf(const FolderNode& node) {
    const MailFolder& f = *node.folder;
    return {f.newTemplate, f.repTemplate, f.fwdTemplate, f.defAddrGroup, f.removeHead};
}

RenameResult ApplyFolderProperty(FolderTree& tree, FolderNode& node,
                                 const FolderProperties& properties, std::string_view name,
                                 bool applyToSubFolders) {
    if (node.folder->fixed || node.IsRoot())
        return RenameResult::Refused;
    StoreProperties(*node.folder, properties);
    RenameResult result = RenameResult::Unchanged;
    if (Trim(name) != node.label)
        result = RenameFolder(tree, node, name);
    if (applyToSubFolders && node.folder->kind == 1) {
        const fs::path dir = ChildDirectoryPath(node.folder->path);
        for (MailFolder* f : AllFolders()) {
            if (PathIsInside(f->path, dir))
                StoreProperties(*f, properties);
        }
    }
    return result;
}

bool SaveCurrentStatus(FolderTree& tree) {
    const StoreContext context = tree.Context();
    bool ok = true;
    for (FolderNode* node : tree.FolderNodes()) {
        MailFolder& folder = *node->folder;
        if (folder.kind == 1 &&
            !WriteFolderStat(folder, "Tree", "Expanded", node->expanded ? 1 : 0))
            ok = false;
        SaveResult result = SaveResult::CountsOnly;
        SaveFolder(folder, false, context, &result);
        if (result == SaveResult::Failed)
            ok = false;
    }
    return ok;
}

}  // namespace corvina
