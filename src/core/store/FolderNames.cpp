#include "store/FolderNames.h"

#include <array>
#include <cstdio>
#include <system_error>

#include "common/Bytes.h"

namespace corvina {

namespace {

struct SpecialEntry {
    SpecialFolder which;
    std::string_view baseName;
    std::string_view fullName;
    int stringId;
};

constexpr std::array<SpecialEntry, 6> kSpecials{{
    {SpecialFolder::InBox, "InBox", "InBox", kInBoxStringId},
    {SpecialFolder::OutBox, "OutBox", "OutBox", kOutBoxStringId},
    {SpecialFolder::Sent, "Sent", "OutBox\\Sent", kSentStringId},
    {SpecialFolder::Draft, "Draft", "OutBox\\Draft", kDraftStringId},
    {SpecialFolder::Reminder, "Reminder", "OutBox\\Reminder", kReminderStringId},
    {SpecialFolder::Trash, "Trash", "Trash", kTrashStringId},
}};

}  // namespace

bool FolderNamesEqual(std::string_view a, std::string_view b) {
    return EqualNoCase(a, b);
}

bool FolderNameIsWithin(std::string_view name, std::string_view prefix) {
    if (name.size() < prefix.size() || !FolderNamesEqual(name.substr(0, prefix.size()), prefix))
        return false;
    return name.size() == prefix.size() || name[prefix.size()] == '\\';
}

std::string_view SpecialFolderBaseName(SpecialFolder which) {
    for (const auto& e : kSpecials) {
        if (e.which == which)
            return e.baseName;
    }
    return {};
}

int SpecialFolderStringId(SpecialFolder which) {
    for (const auto& e : kSpecials) {
        if (e.which == which)
            return e.stringId;
    }
    return -1;
}

bool IsSpecialBaseName(std::string_view baseName) {
    for (const auto& e : kSpecials) {
        if (FolderNamesEqual(baseName, e.baseName))
            return true;
    }
    return false;
}

SpecialFolder SpecialFolderOfName(std::string_view folderName) {
    for (const auto& e : kSpecials) {
        if (FolderNamesEqual(folderName, e.fullName))
            return e.which;
    }
    for (const auto& e : kSpecials) {
        if (e.fullName != e.baseName && FolderNamesEqual(folderName, e.baseName))
            return e.which;
    }
    return SpecialFolder::None;
}

std::string ResolveFolderName(std::string_view folderName) {
    for (const auto& e : kSpecials) {
        if (e.fullName != e.baseName && FolderNamesEqual(folderName, e.baseName))
            return std::string(e.fullName);
    }
    return std::string(folderName);
}

std::filesystem::path FolderNameToPath(const std::filesystem::path& mailboxDir,
                                       std::string_view folderName) {
    std::filesystem::path path = mailboxDir;
    size_t start = 0;
    while (start <= folderName.size()) {
        // "/" cannot be part of a name on disk; taking it as a level break
        // keeps a name like "/etc/x" or "a/../../x" inside the directory.
        size_t end = folderName.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = folderName.size();
        std::string_view level = folderName.substr(start, end - start);
        if (end == folderName.size()) {
            path /= std::string(level) + ".mbx";
            break;
        }
        // Empty, "." and ".." levels are dropped: a name read from a file
        // never leads outside the mailbox directory.
        if (!level.empty() && level != "." && level != "..")
            path /= std::string(level);
        start = end + 1;
    }
    return path;
}

namespace {

// The entry of `dir` named `name` ignoring case: the exact name when it
// exists, else the first matching name in byte order (so the choice never
// depends on the order of the directory); empty when none matches.
std::string MatchEntry(const std::filesystem::path& dir, const std::string& name,
                       bool wantDirectory) {
    std::error_code ec;
    std::string best;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (!FolderNamesEqual(entry, name)) {
            continue;
        }
        std::error_code typeEc;
        if (it->is_directory(typeEc) != wantDirectory) {
            continue;
        }
        if (entry == name) {
            return entry;
        }
        if (best.empty() || entry < best) {
            best = entry;
        }
    }
    return best;
}

}  // namespace

std::filesystem::path FolderFilePath(const std::filesystem::path& mailboxDir,
                                     std::string_view folderName) {
    const std::string resolved = ResolveFolderName(folderName);
    const std::string_view name = resolved;
    std::filesystem::path path = mailboxDir;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view level = name.substr(start, end - start);
        const bool last = end == name.size();
        if (last || (!level.empty() && level != "." && level != "..")) {
            const std::string wanted = last ? std::string(level) + ".mbx" : std::string(level);
            const std::string found = MatchEntry(path, wanted, !last);
            path /= found.empty() ? wanted : found;
        }
        if (last)
            break;
        start = end + 1;
    }
    return path;
}

std::optional<std::string> FolderNameOfPath(const std::filesystem::path& mailboxDir,
                                            const std::filesystem::path& mbxPath) {
    const std::filesystem::path base = mailboxDir.lexically_normal();
    const std::filesystem::path full = mbxPath.lexically_normal();
    const std::filesystem::path rel = full.lexically_relative(base);
    if (rel.empty() || *rel.begin() == "..")
        return std::nullopt;
    std::string name;
    for (const auto& part : rel) {
        if (part == "." || part.empty())
            continue;
        if (!name.empty())
            name += '\\';
        name += part.string();
    }
    if (!EndsWithNoCase(name, ".mbx") || name.size() == 4)
        return std::nullopt;
    name.resize(name.size() - 4);
    return name;
}

std::filesystem::path ControlFilePath(const std::filesystem::path& mbxPath) {
    std::filesystem::path p = mbxPath;
    p.replace_extension("ctl");
    return p;
}

std::filesystem::path ChildDirectoryPath(const std::filesystem::path& mbxPath) {
    std::filesystem::path p = mbxPath;
    p.replace_extension();
    return p;
}

FolderNameCheck CheckFolderLabel(std::string_view label,
                                 const std::vector<std::string>& displayNames,
                                 std::string& trimmed) {
    size_t b = 0, e = label.size();
    while (b < e && (label[b] == ' ' || label[b] == '\t'))
        ++b;
    while (e > b && (label[e - 1] == ' ' || label[e - 1] == '\t'))
        --e;
    std::string_view name = label.substr(b, e - b);
    if (name.empty())
        return FolderNameCheck::Empty;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        // "/" splits a path here and a tab or line end would break the
        // fields of Filter.DEF, so they are refused with the rest.
        if (u < 0x20 || u == 0x7f || c == '<' || c == '>' || c == '*' || c == '?' || c == '|' ||
            c == '\\' || c == '/')
            return FolderNameCheck::BadCharacter;
    }
    for (const auto& d : displayNames) {
        if (FolderNamesEqual(name, d))
            return FolderNameCheck::ReservedName;
    }
    // A file named like a special folder is never shown as a user folder, so
    // a folder renamed to it would vanish from the tree.
    if (IsSpecialBaseName(name) || name == "." || name == "..")
        return FolderNameCheck::ReservedName;
    trimmed.assign(name);
    return FolderNameCheck::Ok;
}

std::string NextNewFolderBaseName(const std::filesystem::path& dir) {
    std::error_code ec;
    std::vector<std::string> existing;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        existing.push_back(it->path().filename().string());
    }
    for (int n = 1; n <= 0xff; ++n) {
        char base[16];
        std::snprintf(base, sizeof base, "NewBox%02x", n);
        const std::string file = std::string(base) + ".mbx";
        bool taken = false;
        for (const auto& name : existing) {
            if (FolderNamesEqual(name, file)) {
                taken = true;
                break;
            }
        }
        if (!taken)
            return base;
    }
    return {};
}

}  // namespace corvina
