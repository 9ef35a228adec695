#include "store/FolderTree.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <system_error>
#include <utility>

#include "app/AppState.h"
#include "common/Bytes.h"
#include "common/StringTable.h"
#include "platform/Paths.h"
#include "store/FolderStat.h"

namespace corvina {

namespace {

namespace fs = std::filesystem;

// Directory links can form loops; no real folder tree is this deep.
constexpr int kMaxFolderDepth = 32;

constexpr SpecialFolder kDisplayOrder[] = {SpecialFolder::InBox,    SpecialFolder::OutBox,
                                           SpecialFolder::Sent,     SpecialFolder::Draft,
                                           SpecialFolder::Reminder, SpecialFolder::Trash};

bool PathsEqual(const fs::path& a, const fs::path& b) {
    return EqualNoCase(a.lexically_normal().string(), b.lexically_normal().string());
}

int Depth(const FolderNode& node) {
    int depth = 0;
    for (const FolderNode* p = node.parent; p; p = p->parent)
        ++depth;
    return depth;
}

}  // namespace

int FolderNode::IndexInParent() const {
    if (!parent)
        return -1;
    for (size_t i = 0; i < parent->children.size(); ++i) {
        if (parent->children[i].get() == this)
            return static_cast<int>(i);
    }
    return -1;
}

std::string ProfileRootLabel(const AccountProfile& profile) {
    if (!profile.account.empty())
        return profile.account;
    if (!profile.address.empty())
        return profile.address;
    if (!profile.name.empty())
        return profile.name;
    return "(no name)";
}

StoreContext FolderTree::Context() const {
    StoreContext context;
    context.mailboxDir = mailboxDir_;
    context.store = store_;
    return context;
}

void FolderTree::Clear() {
    roots_.clear();
}

void FolderTree::SetSpecialFlags(MailFolder& folder) const {
    const fs::path outBox = mailboxDir_ / "OutBox";
    const fs::path countAll[] = {mailboxDir_ / "OutBox.mbx", outBox / "Sent.mbx",
                                 outBox / "Reminder.mbx", outBox / "Draft.mbx"};
    const fs::path fixedOnly[] = {mailboxDir_ / "InBox.mbx", mailboxDir_ / "Trash.mbx"};
    for (const auto& p : countAll) {
        if (PathsEqual(folder.path, p))
            folder.countAll = folder.fixed = true;
    }
    for (const auto& p : fixedOnly) {
        if (PathsEqual(folder.path, p))
            folder.fixed = true;
    }
}

FolderNode* FolderTree::AddFolderNode(FolderNode& parent, const fs::path& path, int kind,
                                      std::string label, bool first) {
    auto node = std::make_unique<FolderNode>();
    node->folder = std::make_unique<MailFolder>(path);
    node->folder->kind = kind;
    node->folder->treeItem = node.get();
    node->label = std::move(label);
    node->parent = &parent;
    SetSpecialFlags(*node->folder);
    if (!node->folder->fixed) {
        MailFolder& f = *node->folder;
        f.newTemplate = ReadFolderProperty(f, "Property", "NewTemplate");
        f.repTemplate = ReadFolderProperty(f, "Property", "RepTemplate");
        f.fwdTemplate = ReadFolderProperty(f, "Property", "FwdTemplate");
        f.removeHead = ReadFolderStat(f, "Property", "RemoveHead", 0) != 0;
        f.defAddrGroup = ReadFolderProperty(f, "Property", "DefAddrGroup", "!Default");
        node->expanded = ReadFolderStat(f, "Tree", "Expanded", 0) == 1;
    }
    FolderNode* raw = node.get();
    if (first) {
        parent.children.insert(parent.children.begin(), std::move(node));
    } else {
        parent.children.push_back(std::move(node));
    }
    return raw;
}

void FolderTree::SortChildren(FolderNode& node) {
    // The special folders keep their places at the top; only the user
    // folders after them are put in alphabetical order.
    auto users = std::stable_partition(node.children.begin(), node.children.end(),
                                       [](const auto& c) { return c->folder->fixed; });
    std::stable_sort(users, node.children.end(), [](const auto& a, const auto& b) {
        return CompareNoCase(a->label, b->label) < 0;
    });
}

// Directories and folder files already met by one scan, by device and
// inode: links may lead back to a directory above or to the same file.
struct FolderTree::ScanSeen {
    std::set<std::pair<std::uint64_t, std::uint64_t>> directories;
    std::set<std::pair<std::uint64_t, std::uint64_t>> files;

    // False when `path` was met before (or cannot be examined).
    static bool Insert(std::set<std::pair<std::uint64_t, std::uint64_t>>& seen,
                       const fs::path& path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return false;
        return seen
            .emplace(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino))
            .second;
    }
};

void FolderTree::ScanFolderDirectory(const fs::path& dir, FolderNode& parent) {
    ScanSeen seen;
    // The special folders are added by name beside the scanned ones; a link
    // to one of their files is not a user folder.
    for (std::string_view special :
         {"InBox", "OutBox", "Trash", "OutBox\\Sent", "OutBox\\Draft", "OutBox\\Reminder"})
        ScanSeen::Insert(seen.files, FolderFilePath(mailboxDir_, special));
    ScanDirectory(dir, parent, seen);
}

void FolderTree::ScanDirectory(const fs::path& dir, FolderNode& parent, ScanSeen& seen) {
    if (Depth(parent) >= kMaxFolderDepth || !ScanSeen::Insert(seen.directories, dir))
        return;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        const std::string file = path.filename().string();
        if (file.size() <= 4 || !EndsWithNoCase(file, ".mbx"))
            continue;
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc))
            continue;
        const std::string base = file.substr(0, file.size() - 4);
        if (IsSpecialBaseName(base))
            continue;
        if (!ScanSeen::Insert(seen.files, path))
            continue;
        const fs::path childDir = dir / base;
        // The attachment directory is never a folder's child directory.
        const bool attachDir = parent.IsRoot() && EqualNoCase(base, "Attach");
        const int kind = !attachDir && fs::is_directory(childDir, typeEc) ? 1 : 2;
        FolderNode* node = AddFolderNode(parent, path, kind, base);
        if (kind == 1) {
            ScanDirectory(childDir, *node, seen);
            SortChildren(*node);
        }
    }
}

void FolderTree::BuildFolderTree(const fs::path& mailboxDir, const ProfileTable& profiles,
                                 int current, std::vector<std::string> displayNames) {
    Clear();
    mailboxDir_ = mailboxDir;
    if (displayNames.size() != std::size(kDisplayOrder)) {
        displayNames.clear();
        for (SpecialFolder which : kDisplayOrder)
            displayNames.emplace_back(LoadString(SpecialFolderStringId(which)));
    }
    displayNames_ = std::move(displayNames);
    const auto display = [this](SpecialFolder which) {
        for (size_t i = 0; i < std::size(kDisplayOrder); ++i) {
            if (kDisplayOrder[i] == which && !displayNames_[i].empty())
                return displayNames_[i];
        }
        return std::string(SpecialFolderBaseName(which));
    };

    // Mail directories are private to their owner.
    CreateDirectoryPath(mailboxDir_ / "Attach", 0700);
    // The special folders keep the files that exist, in whatever case.
    const fs::path inBoxFile = FolderFilePath(mailboxDir_, "InBox");
    const fs::path trashFile = FolderFilePath(mailboxDir_, "Trash");
    const fs::path outBoxFile = FolderFilePath(mailboxDir_, "OutBox");
    const fs::path outDir = FolderFilePath(mailboxDir_, "OutBox\\Sent").parent_path();
    CreateDirectoryPath(outDir, 0700);

    if (current < 0 || current >= kProfileCount)
        current = 0;
    auto root = std::make_unique<FolderNode>();
    root->folder = std::make_unique<MailFolder>();
    root->folder->kind = 0;
    root->folder->fixed = true;
    root->folder->profileIndex = current;
    root->folder->treeItem = root.get();
    root->label = ProfileRootLabel(profiles[current]);
    root->expanded = true;
    FolderNode& top = *root;
    roots_.push_back(std::move(root));

    ScanFolderDirectory(mailboxDir_, top);
    SortChildren(top);

    AddFolderNode(top, trashFile, 2, display(SpecialFolder::Trash), true);
    FolderNode* outBox = AddFolderNode(top, outBoxFile, 1, display(SpecialFolder::OutBox), true);
    outBox->expanded = ReadFolderStat(*outBox->folder, "Tree", "Expanded", 0) == 1;
    AddFolderNode(*outBox, FolderFilePath(mailboxDir_, "OutBox\\Reminder"), 2,
                  display(SpecialFolder::Reminder), true);
    AddFolderNode(*outBox, FolderFilePath(mailboxDir_, "OutBox\\Sent"), 2,
                  display(SpecialFolder::Sent), true);
    AddFolderNode(*outBox, FolderFilePath(mailboxDir_, "OutBox\\Draft"), 2,
                  display(SpecialFolder::Draft), true);
    AddFolderNode(top, inBoxFile, 2, display(SpecialFolder::InBox), true);

    for (int i = 0; i < kProfileCount; ++i) {
        if (i == current || !profiles[i].IsConfigured())
            continue;
        auto other = std::make_unique<FolderNode>();
        other->folder = std::make_unique<MailFolder>();
        other->folder->kind = 0;
        other->folder->fixed = true;
        other->folder->profileIndex = i;
        other->folder->treeItem = other.get();
        other->label = ProfileRootLabel(profiles[i]);
        roots_.push_back(std::move(other));
    }
}

void FolderTree::BuildFolderTree(const AppState& app) {
    BuildFolderTree(app.mailboxDirectory, app.profiles, app.settings.defUser);
}

FolderNode* FolderTree::Special(SpecialFolder which) const {
    if (which == SpecialFolder::None)
        return nullptr;
    std::string name(SpecialFolderBaseName(which));
    return FindNode(name);
}

FolderNode* FolderTree::FindNode(std::string_view folderName) const {
    if (mailboxDir_.empty())
        return nullptr;
    const fs::path wanted = FolderNameToPath(mailboxDir_, ResolveFolderName(folderName));
    for (FolderNode* node : FolderNodes()) {
        if (PathsEqual(node->folder->path, wanted))
            return node;
    }
    return nullptr;
}

FolderNode* FolderTree::NodeOf(const MailFolder& folder) {
    return static_cast<FolderNode*>(folder.treeItem);
}

std::vector<FolderNode*> FolderTree::FolderNodes() const {
    std::vector<FolderNode*> out;
    FolderNode* root = CurrentRoot();
    if (!root)
        return out;
    std::vector<FolderNode*> stack;
    for (auto it = root->children.rbegin(); it != root->children.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        FolderNode* node = stack.back();
        stack.pop_back();
        out.push_back(node);
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            stack.push_back(it->get());
    }
    return out;
}

std::string FolderTree::FolderNameOf(const FolderNode& node) const {
    return FolderNameOfPath(mailboxDir_, node.folder->path).value_or(std::string());
}

void FolderTree::RemoveNode(FolderNode& node) {
    if (!node.parent) {
        std::erase_if(roots_, [&](const auto& r) { return r.get() == &node; });
        return;
    }
    auto& siblings = node.parent->children;
    std::erase_if(siblings, [&](const auto& c) { return c.get() == &node; });
}

}  // namespace corvina
