#include "addressbook/AddressGroup.h"

#include <fstream>

#include <iterator>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/Bytes.h"
#include "common/CaseFold.h"

namespace corvina {

namespace {

// Group files are small; anything this large is not one.
constexpr std::uintmax_t kMaxGroupFileBytes = 64u * 1024u * 1024u;

std::string FieldValue(std::string_view field) {
    return field == "." ? std::string() : std::string(field);
}

constexpr std::string_view kGroupExtension = ".adr";

bool IsSafeGroupName(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos && name != "." && name != "..";
}

}  // namespace

std::optional<std::filesystem::path> AddressGroup::NewFileFor(
    const std::filesystem::path& directory, std::string_view groupName) {
    if (!IsSafeGroupName(groupName)) {
        return std::nullopt;
    }
    return directory / (std::string(groupName) + std::string(kGroupExtension));
}

std::optional<std::filesystem::path> AddressGroup::FileFor(const std::filesystem::path& directory,
                                                           std::string_view groupName) {
    if (!IsSafeGroupName(groupName)) {
        return std::nullopt;
    }
    // 2: the name exactly, 1: the name without regard to case; the first
    // file in name order among equals, so the choice does not depend on
    // the order the directory lists them in.
    std::optional<std::filesystem::path> best;
    int bestRank = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string file = it->path().filename().string();
        if (!IsGroupFileName(file)) {
            continue;
        }
        const std::string name = NameOfFile(file);
        const int rank = name == groupName ? 2 : (SameName(name, groupName) ? 1 : 0);
        std::error_code typeEc;
        if (rank == 0 || rank < bestRank || it->is_directory(typeEc)) {
            continue;
        }
        if (rank > bestRank || it->path().filename() < best->filename()) {
            best = it->path();
            bestRank = rank;
        }
    }
    return best;
}

bool AddressGroup::IsGroupFileName(std::string_view fileName) {
    return fileName.size() > kGroupExtension.size() && EndsWithNoCase(fileName, kGroupExtension);
}

std::string AddressGroup::NameOfFile(std::string_view fileName) {
    if (IsGroupFileName(fileName)) {
        fileName.remove_suffix(kGroupExtension.size());
    }
    return std::string(fileName);
}

bool AddressGroup::SameName(std::string_view a, std::string_view b) {
    return CaseFold().Equal(a, b);
}

std::string AddressGroup::Name() const {
    return NameOfFile(path.filename().string());
}

std::string AddressGroup::NicknameOfLine(std::string_view line) {
    if (line.empty() || line.front() != '(') {
        return {};
    }
    line.remove_prefix(1);
    std::size_t end = line.find_first_of(")\t\r\n");
    return std::string(line.substr(0, end));
}

std::optional<AddressEntry> AddressGroup::ParseEntryLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    std::string fields[6];
    std::size_t pos = 0;
    for (int i = 0; i < 6 && pos <= line.size(); ++i) {
        std::size_t tab = line.find('\t', pos);
        std::size_t end = tab == std::string_view::npos ? line.size() : tab;
        fields[i] = FieldValue(line.substr(pos, end - pos));
        if (tab == std::string_view::npos) {
            break;
        }
        pos = tab + 1;
    }
    if (fields[0].empty()) {
        return std::nullopt;
    }
    AddressEntry entry;
    entry.address = std::move(fields[0]);
    entry.name = std::move(fields[1]);
    entry.comment = std::move(fields[2]);
    entry.nickname = std::move(fields[3]);
    entry.url = std::move(fields[4]);
    entry.pgpUserId = std::move(fields[5]);
    return entry;
}

bool AddressGroup::Load() {
    entries.clear();
    nickname.clear();
    loaded = false;
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxGroupFileBytes) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    lastWrite = std::filesystem::last_write_time(path, ec);
    std::size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string::npos ? text.size() : lf;
        std::string_view line(text.data() + pos, end - pos);
        pos = lf == std::string::npos ? text.size() : lf + 1;
        if (!line.empty() && line.front() == '(') {
            // The group line; only the first one names the group.
            if (first) {
                nickname = NicknameOfLine(line);
            }
        } else if (std::optional<AddressEntry> entry = ParseEntryLine(line)) {
            entries.push_back(std::move(*entry));
        }
        first = false;
    }
    loaded = true;
    changed = false;
    return true;
}

std::vector<std::string> AddressGroup::Addresses() const {
    std::vector<std::string> out;
    for (const AddressEntry& e : entries) {
        if (!e.deleted) {
            out.push_back(e.address);
        }
    }
    return out;
}

std::string AddressGroup::EntryLine(const AddressEntry& entry) {
    const std::string* fields[6] = {&entry.address,  &entry.name, &entry.comment,
                                    &entry.nickname, &entry.url,  &entry.pgpUserId};
    std::string line;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            line += '\t';
        }
        // A tab or line end inside a field would break the line apart.
        std::string value;
        for (char c : *fields[i]) {
            value += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
        }
        line += value.empty() ? std::string(".") : value;
    }
    return line;
}

std::string_view AddressGroup::EntryProblem(const AddressEntry& entry) {
    if (!entry.address.empty() && entry.address.front() == '(') {
        return kAddressParenthesisText;
    }
    if (entry.address == ".") {
        return kAddressDotText;
    }
    return {};
}

std::string_view AddressGroup::NicknameProblem(std::string_view nickname) {
    if (nickname.find_first_of(")\t\r\n") != std::string_view::npos) {
        return kGroupNicknameText;
    }
    return {};
}

bool AddressGroup::LoadIfChanged() {
    std::error_code ec;
    const std::filesystem::file_time_type now = std::filesystem::last_write_time(path, ec);
    if (loaded && !ec && now == lastWrite) {
        return true;
    }
    return Load();
}

bool AddressGroup::Save() {
    if (!changed) {
        return true;
    }
    if (!NicknameProblem(nickname).empty()) {
        return false;
    }
    for (const AddressEntry& e : entries) {
        if (!e.deleted && !EntryProblem(e).empty()) {
            return false;
        }
    }
    std::string text;
    if (!nickname.empty()) {
        text += "(" + nickname + ")\r\n";
    }
    for (const AddressEntry& e : entries) {
        if (!e.deleted && !e.address.empty()) {
            text += EntryLine(e);
            text += "\r\n";
        }
    }
    if (!WriteFileAtomically(path, text)) {
        return false;
    }
    std::error_code ec;
    lastWrite = std::filesystem::last_write_time(path, ec);
    changed = false;
    return true;
}

}  // namespace corvina
