#include "transfer/ListFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "common/AtomicFile.h"
#include "common/FdWrite.h"

namespace corvina {

std::vector<std::string> ReadListFile(const std::filesystem::path& path) {
    std::vector<std::string> entries;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return entries;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            entries.push_back(std::move(line));
        }
        pos = end + 1;
    }
    return entries;
}

bool WriteListFile(const std::filesystem::path& path, const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& entry : entries) {
        text += entry;
        text += "\r\n";
    }
    return WriteFileAtomically(path, text, 0600);
}

ReceiveJournal::~ReceiveJournal() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool ReceiveJournal::Record(std::string_view uid, std::string_view messageId) {
    if (fd_ < 0) {
        fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd_ < 0 || !FsyncDirectory(path_.parent_path())) {
            return false;
        }
    }
    // One line per id; a value with a line break could forge entries.
    std::string text;
    for (auto [tag, value] : {std::pair{'U', uid}, std::pair{'M', messageId}}) {
        if (!value.empty() && value.find_first_of("\r\n") == std::string_view::npos) {
            text += tag;
            text += ' ';
            text += value;
            text += "\r\n";
        }
    }
    return WriteAll(fd_, text) && fdatasync(fd_) == 0;
}

JournalEntries ReceiveJournal::Read(const std::filesystem::path& mailboxDir) {
    JournalEntries entries;
    // A line cut by a crash mid-write has no line end: it is ignored (its
    // message was not yet recorded, so it counts as not stored).
    std::ifstream in(mailboxDir / kReceiveJournalFile, std::ios::binary);
    if (!in) {
        return entries;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pos = 0;
    for (size_t end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() < 3 || line[1] != ' ') {
            continue;
        }
        if (line[0] == 'U') {
            entries.uids.push_back(line.substr(2));
        } else if (line[0] == 'M') {
            entries.messageIds.push_back(line.substr(2));
        }
    }
    return entries;
}

namespace {

bool AddToList(const std::filesystem::path& path, const std::vector<std::string>& add) {
    if (add.empty()) {
        return true;
    }
    std::vector<std::string> list = ReadListFile(path);
    const size_t before = list.size();
    for (const std::string& entry : add) {
        if (std::find(list.begin(), list.end(), entry) == list.end()) {
            list.push_back(entry);
        }
    }
    return list.size() == before || WriteListFile(path, list);
}

}  // namespace

bool ReceiveJournal::Fold(const std::filesystem::path& mailboxDir) {
    std::error_code ec;
    if (!std::filesystem::exists(mailboxDir / kReceiveJournalFile, ec)) {
        return true;
    }
    JournalEntries entries = Read(mailboxDir);
    if (!AddToList(mailboxDir / kUidlFile, entries.uids) ||
        !AddToList(mailboxDir / kMessageIdFile, entries.messageIds)) {
        return false;
    }
    Discard(mailboxDir);
    return true;
}

void ReceiveJournal::Discard(const std::filesystem::path& mailboxDir) {
    std::error_code ec;
    if (std::filesystem::remove(mailboxDir / kReceiveJournalFile, ec)) {
        FsyncDirectory(mailboxDir);
    }
}

}  // namespace corvina
