#include "addressbook/AddressBook.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/CaseFold.h"
#include "common/StringTable.h"
#include "common/UserPrompt.h"
#include "platform/ConfigStore.h"

namespace corvina {

namespace {

// The first line of a group file, for the nickname of a newly listed group.
std::string FirstLineNickname(const std::filesystem::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return {};
    }
    char line[1024];
    std::string first;
    if (std::fgets(line, sizeof line, f)) {
        first = line;
    }
    std::fclose(f);
    return AddressGroup::NicknameOfLine(first);
}

// The address book's questions change or delete entries: without a user,
// or on Enter, nothing is changed.
bool SaysYes(UserPrompt* prompt, int stringId) {
    return prompt != nullptr && AskById(*prompt, stringId, ConfirmButtons::YesNo,
                                        ConfirmAnswer::No) == ConfirmAnswer::Yes;
}

// A notice; the dialog that caused it stays open.
void Tell(UserPrompt* prompt, std::string_view text) {
    if (prompt != nullptr) {
        prompt->Notify(text, kMessageCaption);
    }
}

}  // namespace

std::string FormatRecipient(const AddressEntry& entry) {
    if (entry.kind == AddressEntry::Kind::Group) {
        return "@\"" + entry.name + "\"";
    }
    if (entry.name.empty()) {
        return entry.address;
    }
    std::string name = entry.name;
    if (name.find_first_of(",<>():;@/?+*|") != std::string::npos && name.front() != '"') {
        name = "\"" + name + "\"";
    }
    return name + " <" + entry.address + ">";
}

std::filesystem::path AddressBook::DirectoryUnder(const std::filesystem::path& home) {
    return home / "AddrBook";
}

bool AddressBook::Open() {
    std::error_code ec;
    std::filesystem::create_directories(directory_, ec);
    if (!std::filesystem::is_directory(directory_, ec)) {
        return false;
    }
    LoadGroups();
    return true;
}

void AddressBook::LoadGroups() {
    std::set<std::string> found;
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator it(directory_, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeEc;
        if (AddressGroup::IsGroupFileName(it->path().filename().string()) &&
            !it->is_directory(typeEc)) {
            files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        found.insert(file.filename().string());
        const bool listed = std::any_of(groups_.begin(), groups_.end(), [&](const auto& g) {
            return g->path.filename() == file.filename();
        });
        if (!listed) {
            auto group = std::make_unique<AddressGroup>(file);
            group->nickname = FirstLineNickname(file);
            groups_.push_back(std::move(group));
        }
    }
    std::erase_if(groups_, [&](const auto& g) {
        return !g->changed && found.count(g->path.filename().string()) == 0;
    });
    std::sort(groups_.begin(), groups_.end(),
              [](const auto& a, const auto& b) { return a->path.filename() < b->path.filename(); });
}

AddressGroup* AddressBook::FindGroup(std::string_view name) {
    AddressGroup* folded = nullptr;
    for (auto& group : groups_) {
        const std::string groupName = group->Name();
        if (groupName == name) {
            return group.get();
        }
        if (!folded && AddressGroup::SameName(groupName, name)) {
            folded = group.get();
        }
    }
    return folded;
}

bool AddressBook::SaveAll() {
    bool ok = true;
    for (auto& group : groups_) {
        ok = group->Save() && ok;
    }
    return ok;
}

std::optional<NicknameMatch> AddressBook::FindNickname(std::string_view nickname) {
    if (nickname.empty()) {
        return std::nullopt;
    }
    const CaseFold fold;
    const std::string key = fold.Key(nickname);
    for (auto& group : groups_) {
        if (fold.Key(group->nickname) == key) {
            return NicknameMatch{group.get(), nullptr};
        }
    }
    for (auto& group : groups_) {
        group->LoadIfChanged();
        for (AddressEntry& entry : group->entries) {
            if (!entry.deleted && fold.Key(entry.nickname) == key) {
                return NicknameMatch{group.get(), &entry};
            }
        }
    }
    return std::nullopt;
}

bool AddressBook::CheckNickname(std::string_view nickname, const NicknameMatch& self) {
    std::optional<NicknameMatch> found = FindNickname(nickname);
    if (!found || (found->group == self.group && found->entry == self.entry)) {
        return true;
    }
    Tell(prompt_, LoadString(kNicknameExistsText));
    return false;
}

AddressBook::AddResult AddressBook::AddAddress(std::string_view groupName,
                                               const AddressEntry& entry, AddressGroup** target) {
    if (entry.address.empty() || !CheckEntry(entry)) {
        return AddResult::kFailed;
    }
    if (groups_.empty()) {
        LoadGroups();
    }
    if (groups_.empty()) {
        const std::filesystem::path file = directory_ / (std::string(kDefaultGroupName) + ".adr");
        std::error_code ec;
        std::filesystem::create_directories(directory_, ec);
        if (!WriteFileAtomically(file, "")) {
            return AddResult::kFailed;
        }
        LoadGroups();
    }
    AddressGroup* group = groupName.empty() ? (groups_.empty() ? nullptr : groups_.front().get())
                                            : FindGroup(groupName);
    if (!group) {
        return AddResult::kFailed;
    }
    if (target) {
        *target = group;
    }
    group->LoadIfChanged();
    const CaseFold fold;
    for (AddressEntry& existing : group->entries) {
        if (!existing.deleted && fold.Equal(existing.address, entry.address)) {
            if (!SaysYes(prompt_, kAddressExistsQuestion)) {
                return AddResult::kKept;
            }
            existing.address = entry.address;
            existing.name = entry.name;
            existing.comment = entry.comment;
            existing.nickname = entry.nickname;
            existing.url = entry.url;
            existing.pgpUserId = entry.pgpUserId;
            group->changed = true;
            return AddResult::kOverwritten;
        }
    }
    AddressEntry added = entry;
    added.kind = AddressEntry::Kind::Address;
    added.deleted = false;
    group->entries.push_back(std::move(added));
    group->changed = true;
    return AddResult::kAdded;
}

bool AddressBook::CheckEntry(const AddressEntry& entry) {
    const std::string_view problem = AddressGroup::EntryProblem(entry);
    if (problem.empty()) {
        return true;
    }
    Tell(prompt_, problem);
    return false;
}

bool AddressBook::CheckGroupNickname(std::string_view nickname) {
    const std::string_view problem = AddressGroup::NicknameProblem(nickname);
    if (problem.empty()) {
        return true;
    }
    Tell(prompt_, problem);
    return false;
}

AddressGroup* AddressBook::NewGroup(std::string_view name, std::string_view nickname) {
    if (!CheckGroupNickname(nickname)) {
        return nullptr;
    }
    AddressGroup* listed = FindGroup(name);
    if (!listed && AddressGroup::FileFor(directory_, name)) {
        LoadGroups();  // the file came after the list was read: never write over it
        listed = FindGroup(name);
    }
    if (listed) {
        listed->LoadIfChanged();
        listed->nickname = std::string(nickname);
        listed->changed = true;
        return listed;
    }
    std::optional<std::filesystem::path> file = AddressGroup::NewFileFor(directory_, name);
    if (!file) {
        return nullptr;
    }
    std::error_code ec;
    std::filesystem::create_directories(directory_, ec);
    if (!WriteFileAtomically(*file, "(" + std::string(nickname) + ")\r\n")) {
        return nullptr;
    }
    LoadGroups();
    return FindGroup(name);
}

bool AddressBook::RenameGroup(AddressGroup& group, std::string_view newName,
                              std::string_view nickname) {
    if (!CheckGroupNickname(nickname)) {
        return false;
    }
    group.LoadIfChanged();
    if (group.nickname != nickname) {
        group.nickname = std::string(nickname);
        group.changed = true;
    }
    if (group.Name() != newName) {
        // Another group of that name in any case (listed or only on disk)
        // keeps it; the group itself may change the case of its name.
        std::optional<std::filesystem::path> file = AddressGroup::NewFileFor(directory_, newName);
        std::optional<std::filesystem::path> taken = AddressGroup::FileFor(directory_, newName);
        AddressGroup* other = FindGroup(newName);
        std::error_code ec;
        if (!file || (other && other != &group) ||
            (taken && !std::filesystem::equivalent(*taken, group.path, ec))) {
            return false;
        }
        if (!group.Save()) {
            return false;
        }
        std::filesystem::rename(group.path, *file, ec);
        if (ec) {
            return false;
        }
        group.path = *file;
        group.lastWrite = std::filesystem::last_write_time(*file, ec);
    }
    return group.Save();
}

bool AddressBook::DeleteSelected(AddressGroup* shown, const std::vector<AddressEntry*>& entries,
                                 const std::vector<std::string>& groupNames) {
    if (entries.empty() && groupNames.empty()) {
        return false;
    }
    if (!SaysYes(prompt_, kAddressDeleteQuestion)) {
        return false;
    }
    bool groupDeleted = false;
    for (const std::string& name : groupNames) {
        AddressGroup* group = FindGroup(name);
        if (!group) {
            continue;
        }
        std::error_code ec;
        if (std::filesystem::remove(group->path, ec)) {
            group->changed = false;  // not written again
            groupDeleted = true;
            if (group == shown) {
                shown = nullptr;
            }
        }
    }
    for (AddressEntry* entry : entries) {
        entry->deleted = true;
    }
    if (shown && !entries.empty()) {
        shown->changed = true;
        shown->Save();
    }
    if (groupDeleted) {
        LoadGroups();
    }
    return true;
}

std::optional<AddressBook::GroupChoice> AddressBook::GroupChoices(std::string_view callerGroup) {
    LoadGroups();
    if (groups_.empty()) {
        std::optional<std::filesystem::path> file = AddressGroup::NewFileFor(
            directory_, callerGroup.empty() ? kDefaultGroupName : callerGroup);
        std::error_code ec;
        std::filesystem::create_directories(directory_, ec);
        if (!file || !WriteFileAtomically(*file, "")) {
            return std::nullopt;
        }
        LoadGroups();
    }
    GroupChoice choice;
    const AddressGroup* caller = FindGroup(callerGroup);
    for (const auto& group : groups_) {
        std::string name = group->path.filename().string();
        name = name.substr(0, name.find('.'));
        if (group.get() == caller) {
            choice.selected = static_cast<int>(choice.names.size());
        }
        choice.names.push_back(std::move(name));
    }
    return choice;
}

std::vector<std::string>& RecipientLists::Lines(List list) {
    switch (list) {
        case List::kTo:
            return to_;
        case List::kCc:
            return cc_;
        default:
            return bcc_;
    }
}

void RecipientLists::Append(List list, const std::vector<const AddressEntry*>& selected) {
    std::vector<std::string>& lines = Lines(list);
    for (const AddressEntry* entry : selected) {
        if (entry) {
            lines.push_back(FormatRecipient(*entry));
        }
    }
}

void RecipientLists::Remove(List list, std::vector<std::size_t> indices) {
    std::vector<std::string>& lines = Lines(list);
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        if (*it < lines.size()) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*it));
        }
    }
}

std::string RecipientLists::FieldText(List list) const {
    const std::vector<std::string>& lines =
        list == List::kTo ? to_ : (list == List::kCc ? cc_ : bcc_);
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) {
            text += ", ";
        }
        text += line;
    }
    return text;
}

void AddressBookLayout::Load(const ConfigStore& config, int columns, int defaultWidth) {
    sortColumn = config.GetInt("Settings", "AddressSort", -1);
    columnWidths.assign(static_cast<std::size_t>(std::max(columns, 0)), defaultWidth);
    for (int i = 0; i < columns; ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "AddrHeadW%d", i);
        columnWidths[static_cast<std::size_t>(i)] = config.GetInt("Settings", key, defaultWidth);
    }
}

void AddressBookLayout::Save(ConfigStore& config) const {
    config.SetInt("Settings", "AddressSort", sortColumn);
    for (std::size_t i = 0; i < columnWidths.size(); ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "AddrHeadW%zu", i);
        config.SetInt("Settings", key, columnWidths[i]);
    }
}

}  // namespace corvina
