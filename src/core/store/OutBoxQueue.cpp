#include "store/OutBoxQueue.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/Bytes.h"
#include "store/FolderLock.h"
#include "store/FolderNames.h"

namespace corvina {

namespace {

// nullopt when the file exists but cannot be read; "" when it is missing.
std::optional<std::string> ReadFileText(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return std::string();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return text;
}

// An OutBox written anew is private like every mailbox file; an existing
// one keeps the mode it has.
bool WriteOutBox(const std::filesystem::path& outBox, std::string_view text) {
    std::error_code ec;
    return WriteFileAtomically(outBox, text,
                               std::filesystem::exists(outBox, ec) ? kKeepFileMode : 0600);
}

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

std::string Join(const std::vector<std::string>& pieces) {
    std::string out;
    for (const std::string& piece : pieces) {
        out += piece;
    }
    return out;
}

// Calls `visit` with each header line of a stored message (without its
// line end) until it returns false or the blank line is reached. Returns
// the offset just past the last header line visited or the offset of the
// blank line.
template <typename Visit>
size_t ForEachHeaderLine(const std::string& piece, Visit visit) {
    size_t pos = 0;
    while (pos < piece.size()) {
        size_t end = piece.find('\n', pos);
        size_t next = end == std::string::npos ? piece.size() : end + 1;
        std::string_view line(piece.data() + pos, next - pos);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || !visit(line)) {
            return pos;
        }
        pos = next;
    }
    return pos;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string HeaderOf(const std::string& piece, std::string_view name) {
    std::string value;
    ForEachHeaderLine(piece, [&](std::string_view line) {
        if (StartsWithNoCase(line, name)) {
            value = Trimmed(line.substr(name.size()));
            return false;
        }
        return true;
    });
    return value;
}

// A new Message-ID in the sender's domain, as the sending side makes them.
std::string NewMessageId(const std::string& piece) {
    std::string from = HeaderOf(piece, "From:");
    size_t at = from.rfind('@');
    std::string domain;
    if (at != std::string::npos) {
        for (size_t i = at + 1; i < from.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(from[i]);
            if (c <= 0x20 || c >= 0x7F || c == '>' || c == '<' || c == '@' || c == ')') {
                break;
            }
            domain += from[i];
        }
    }
    if (domain.empty()) {
        domain = "localhost";
    }
    static std::mt19937_64 generator{std::random_device{}()};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "<%lld.%016llx@",
                  static_cast<long long>(std::time(nullptr)),
                  static_cast<unsigned long long>(generator()));
    return buffer + domain + ">";
}

// Adds a "Message-Id:" line at the end of the header block of a message
// that has none; true when it changed the text.
bool EnsureMessageId(std::string& piece) {
    if (!StoredMessageId(piece).empty()) {
        return false;
    }
    size_t blank = ForEachHeaderLine(piece, [](std::string_view) { return true; });
    const bool crlf = piece.find("\r\n") != std::string::npos;
    piece.insert(blank, "Message-Id: " + NewMessageId(piece) + (crlf ? "\r\n" : "\n"));
    return true;
}

std::optional<FolderLock> LockOutBox(const std::filesystem::path& outBox, std::string* error) {
    std::string why;
    std::optional<FolderLock> lock = FolderLock::Acquire(outBox, &why);
    if (!lock) {
        SetError(error, "the OutBox could not be locked (" + why + ")");
    }
    return lock;
}

// A delivery holds the lock of its queue from the take to the commit, so
// that recovery never mistakes the OutBox.bak of a delivery still running
// (in this or another process) for the leftover of a killed one: the lock
// dies with its process.
std::mutex gQueuesMutex;
std::map<std::filesystem::path, FolderLock>& HeldQueues() {
    static auto* held = new std::map<std::filesystem::path, FolderLock>;
    return *held;
}

std::optional<FolderLock> TryLockQueue(const std::filesystem::path& backup, bool* busy) {
    return FolderLock::TryAcquire(backup, busy);
}

void ReleaseQueue(const std::filesystem::path& mailboxDir) {
    std::lock_guard guard(gQueuesMutex);
    HeldQueues().erase(mailboxDir);
}

bool RemoveBackup(const std::filesystem::path& backup, std::string* error) {
    std::error_code ec;
    std::filesystem::remove(backup, ec);
    if (ec) {
        SetError(error, "OutBox.bak could not be removed (" + ec.message() + ")");
        return false;
    }
    FsyncDirectory(backup.parent_path());
    return true;
}

}  // namespace

std::vector<std::string> SplitStoredMessages(const std::string& text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string_view line(text.data() + pos, next - pos);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        pos = next;
        if (line == ".") {
            pieces.push_back(text.substr(start, pos - start));
            start = pos;
        }
    }
    if (start < text.size() && text.find_first_not_of("\r\n", start) != std::string::npos) {
        std::string rest = text.substr(start);
        // A piece always ends with a line end, so that the next one starts
        // on a line of its own.
        if (rest.back() != '\n') {
            rest += "\r\n";
        }
        pieces.push_back(std::move(rest));
    }
    return pieces;
}

std::string StoredMessageId(const std::string& piece) {
    return HeaderOf(piece, "Message-Id:");
}

std::optional<std::vector<std::string>> TakeOutBox(const std::filesystem::path& mailboxDir,
                                                   std::string* error) {
    const std::filesystem::path outBox = FolderFilePath(mailboxDir, "OutBox");
    const std::filesystem::path backup = mailboxDir / kOutBoxBackupFile;
    bool busy = false;
    std::optional<FolderLock> queue = TryLockQueue(backup, &busy);
    if (!queue) {
        SetError(error, busy ? "another delivery of this OutBox is running; try again when it ended"
                             : "the OutBox could not be locked");
        return std::nullopt;
    }
    std::optional<FolderLock> lock = LockOutBox(outBox, error);
    if (!lock) {
        return std::nullopt;
    }
    std::error_code ec;
    if (std::filesystem::exists(backup, ec)) {
        SetError(error, "OutBox.bak of an earlier delivery is still there");
        return std::nullopt;
    }
    std::optional<std::string> text = ReadFileText(outBox);
    if (!text) {
        SetError(error, "the OutBox could not be read (" + std::string(std::strerror(errno)) + ")");
        return std::nullopt;
    }
    std::vector<std::string> pieces = SplitStoredMessages(*text);
    if (pieces.empty()) {
        return pieces;
    }
    bool named = false;
    for (std::string& piece : pieces) {
        named = EnsureMessageId(piece) || named;
    }
    const std::string taken = Join(pieces);
    // The IDs go into the OutBox first: a crash before it is emptied then
    // leaves the same messages in both files, and recovery knows them.
    if (named && !WriteOutBox(outBox, taken)) {
        SetError(error, "the OutBox could not be written");
        return std::nullopt;
    }
    if (!WriteFileAtomically(backup, taken, 0600)) {
        SetError(error, "OutBox.bak could not be written");
        return std::nullopt;
    }
    if (!WriteOutBox(outBox, "")) {
        SetError(error, "the OutBox could not be emptied");
        RemoveBackup(backup, nullptr);
        return std::nullopt;
    }
    std::lock_guard guard(gQueuesMutex);
    HeldQueues().insert_or_assign(mailboxDir, std::move(*queue));
    return pieces;
}

bool CommitOutBox(const std::filesystem::path& mailboxDir, const std::vector<std::string>& unsent,
                  std::string* error) {
    const std::filesystem::path outBox = FolderFilePath(mailboxDir, "OutBox");
    const std::filesystem::path backup = mailboxDir / kOutBoxBackupFile;
    // The queue is free again however the commit ends: a backup kept
    // after a failure is then a leftover for recovery.
    struct Release {
        const std::filesystem::path& dir;
        ~Release() { ReleaseQueue(dir); }
    } release{mailboxDir};
    std::optional<FolderLock> lock = LockOutBox(outBox, error);
    if (!lock) {
        return false;
    }
    if (!unsent.empty()) {
        std::optional<std::string> now = ReadFileText(outBox);
        if (!now) {
            SetError(error, "the OutBox could not be read; its messages stay in OutBox.bak");
            return false;
        }
        if (!WriteOutBox(outBox, Join(unsent) + *now)) {
            SetError(error, "the OutBox could not be written; its messages stay in OutBox.bak");
            return false;
        }
    }
    return RemoveBackup(backup, error);
}

int RecoverOutBoxBackup(const std::filesystem::path& mailboxDir, std::string* error) {
    const std::filesystem::path outBox = FolderFilePath(mailboxDir, "OutBox");
    const std::filesystem::path backup = mailboxDir / kOutBoxBackupFile;
    std::error_code ec;
    if (!std::filesystem::exists(backup, ec)) {
        return 0;
    }
    // The OutBox.bak of a delivery that is still running is no leftover.
    bool busy = false;
    std::optional<FolderLock> queue = TryLockQueue(backup, &busy);
    if (!queue) {
        if (busy) {
            return 0;
        }
        SetError(error, "the OutBox could not be locked");
        return -1;
    }
    std::optional<FolderLock> lock = LockOutBox(outBox, error);
    if (!lock) {
        return -1;
    }
    // Another process may have recovered it while this one waited.
    if (!std::filesystem::exists(backup, ec)) {
        return 0;
    }
    std::optional<std::string> left = ReadFileText(backup);
    std::optional<std::string> queued = ReadFileText(outBox);
    std::optional<std::string> sent =
        ReadFileText(FolderFilePath(mailboxDir, "Sent"));
    if (!left || !queued || !sent) {
        SetError(error, "OutBox.bak, the OutBox or Sent could not be read; OutBox.bak is kept");
        return -1;
    }
    std::set<std::string> knownIds;
    std::set<std::string> knownTexts;
    for (const std::string* file : {&*queued, &*sent}) {
        for (std::string& piece : SplitStoredMessages(*file)) {
            std::string id = StoredMessageId(piece);
            if (!id.empty()) {
                knownIds.insert(std::move(id));
            }
            knownTexts.insert(std::move(piece));
        }
    }
    std::vector<std::string> missing;
    for (std::string& piece : SplitStoredMessages(*left)) {
        std::string id = StoredMessageId(piece);
        bool known = id.empty() ? knownTexts.count(piece) > 0 : knownIds.count(id) > 0;
        if (!known) {
            if (!id.empty()) {
                knownIds.insert(id);
            }
            missing.push_back(std::move(piece));
        }
    }
    if (!missing.empty() && !WriteOutBox(outBox, Join(missing) + *queued)) {
        SetError(error, "the OutBox could not be written; OutBox.bak is kept");
        return -1;
    }
    if (!RemoveBackup(backup, error)) {
        return -1;
    }
    return static_cast<int>(missing.size());
}

}  // namespace corvina
