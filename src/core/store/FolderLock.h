#pragma once
// The one-writer rule for folder files, across processes: every operation
// that writes a mailbox file (the store, the batch commands, moutil, the
// windows) holds the folder's lock while it reads what it will rewrite and
// while it writes.
//
// The lock is a byte of the hidden file ".corvina.lock" in the folder
// file's directory, chosen by the folder file's name folded to lower case,
// so "lists" and "Lists.mbx" share one lock, and renaming a folder file
// over another never loses a lock held on it. Locks are open-file-
// description locks (F_OFD_SETLKW): two processes, and two threads of one
// process, exclude each other; the same thread may take a folder's lock
// again while it holds it (a compaction that holds the lock calls
// SaveFolder, which takes it too).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

class FolderLock {
public:
    // Waits until this thread holds the lock of the folder file `mbxPath`
    // (it need not exist yet). nullopt, with `error` set, when the lock
    // file cannot be opened or locked (a read-only directory, a file system
    // without locks).
    static std::optional<FolderLock> Acquire(const std::filesystem::path& mbxPath,
                                             std::string* error = nullptr);
    // The same without waiting: nullopt at once when another process or
    // thread holds the lock (`busy` tells that case apart from an error).
    static std::optional<FolderLock> TryAcquire(const std::filesystem::path& mbxPath,
                                                bool* busy = nullptr, std::string* error = nullptr);

    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

    // Releases early (the destructor does it otherwise).
    void Release();

    // The name of the lock file kept in every directory of folder files.
    static constexpr const char* kLockFileName = ".corvina.lock";

private:
    explicit FolderLock(int slot) : slot_(slot) {}
    int slot_ = -1;  // index into the process's table of held locks
};

// The notice when a folder's lock cannot be taken: why, what was not done
// ("the message was not stored") and the folder file.
std::string LockFailureText(std::string_view error, std::string_view notDone,
                            const std::filesystem::path& mbxPath);

}  // namespace corvina
