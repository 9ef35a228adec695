#include "store/FolderLock.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <thread>

namespace corvina {
namespace {

// A lock as this process holds it: one open description of the lock file
// per held byte, the thread that owns it and how often it took it.
struct HeldLock {
    dev_t device = 0;
    ino_t inode = 0;
    off_t byte = 0;
    int fd = -1;
    std::thread::id owner;
    int count = 0;
};

struct LockTable {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, HeldLock> held;
    int nextSlot = 0;
};

// A child process does not hold its parent's locks: it forgets the table
// (its copies of the lock descriptions close; the parent's stay locked).
void ForgetLocksInChild();

LockTable& Table() {
    static LockTable* table = [] {
        ::pthread_atfork(nullptr, nullptr, ForgetLocksInChild);
        return new LockTable;
    }();
    return *table;
}

void ForgetLocksInChild() {
    LockTable& table = Table();
    new (&table.mutex) std::mutex;
    new (&table.changed) std::condition_variable;
    for (auto& [slot, held] : table.held)
        ::close(held.fd);
    table.held.clear();
}

// The byte of the lock file that stands for a folder file: its name folded
// to lower case, hashed (FNV-1a) into the first GiB of offsets. Two names
// that share a byte only wait for each other.
off_t LockByte(const std::filesystem::path& mbxPath) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : mbxPath.filename().string()) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c - 'A' + 'a');
        hash = (hash ^ c) * 16777619u;
    }
    return static_cast<off_t>(hash & 0x3fffffffu);
}

std::string ErrorText(const char* what, const std::filesystem::path& path, int err) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(err);
}

bool LockByteOf(int fd, off_t byte, bool wait, int& err) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    for (;;) {
        if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno == EINTR)
            continue;
        err = errno;
        return false;
    }
}

// The slot of the process's lock table now held by this thread, or -1.
int AcquireSlot(const std::filesystem::path& mbxPath, bool wait, bool* busy, std::string* error) {
    if (busy)
        *busy = false;
    const std::filesystem::path dir =
        mbxPath.has_parent_path() ? mbxPath.parent_path() : std::filesystem::path(".");
    const std::filesystem::path lockPath = dir / FolderLock::kLockFileName;
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (error)
            *error = ErrorText("The folder lock could not be opened:", lockPath, errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        if (error)
            *error = ErrorText("The folder lock could not be read:", lockPath, errno);
        ::close(fd);
        return -1;
    }
    const off_t byte = LockByte(mbxPath);
    const auto self = std::this_thread::get_id();

    LockTable& table = Table();
    std::unique_lock guard(table.mutex);
    for (;;) {
        auto it = table.held.begin();
        for (; it != table.held.end(); ++it) {
            const HeldLock& h = it->second;
            if (h.device == st.st_dev && h.inode == st.st_ino && h.byte == byte)
                break;
        }
        if (it == table.held.end())
            break;
        if (it->second.owner == self) {
            ++it->second.count;
            ::close(fd);
            return it->first;
        }
        if (!wait) {
            if (busy)
                *busy = true;
            ::close(fd);
            return -1;
        }
        table.changed.wait(guard);
    }

    const int slot = table.nextSlot++;
    table.held[slot] = HeldLock{st.st_dev, st.st_ino, byte, fd, self, 1};
    guard.unlock();
    int err = 0;
    const bool locked = LockByteOf(fd, byte, wait, err);
    guard.lock();
    if (!locked) {
        table.held.erase(slot);
        table.changed.notify_all();
        guard.unlock();
        ::close(fd);
        if (err == EAGAIN || err == EACCES) {
            if (busy)
                *busy = true;
        } else if (error) {
            *error = ErrorText("The folder lock could not be taken:", lockPath, err);
        }
        return -1;
    }
    return slot;
}

}  // namespace

std::optional<FolderLock> FolderLock::Acquire(const std::filesystem::path& mbxPath,
                                              std::string* error) {
    const int slot = AcquireSlot(mbxPath, true, nullptr, error);
    if (slot < 0)
        return std::nullopt;
    return FolderLock(slot);
}

std::optional<FolderLock> FolderLock::TryAcquire(const std::filesystem::path& mbxPath, bool* busy,
                                                 std::string* error) {
    const int slot = AcquireSlot(mbxPath, false, busy, error);
    if (slot < 0)
        return std::nullopt;
    return FolderLock(slot);
}

FolderLock::FolderLock(FolderLock&& other) noexcept : slot_(other.slot_) {
    other.slot_ = -1;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        Release();
        slot_ = other.slot_;
        other.slot_ = -1;
    }
    return *this;
}

FolderLock::~FolderLock() {
    Release();
}

void FolderLock::Release() {
    if (slot_ < 0)
        return;
    LockTable& table = Table();
    std::lock_guard guard(table.mutex);
    auto it = table.held.find(slot_);
    slot_ = -1;
    if (it == table.held.end())
        return;
    if (--it->second.count > 0)
        return;
    // Closing the only description of the lock file releases its lock.
    ::close(it->second.fd);
    table.held.erase(it);
    table.changed.notify_all();
}

std::string LockFailureText(std::string_view error, std::string_view notDone,
                            const std::filesystem::path& mbxPath) {
    std::string text = "The folder could not be locked for writing (";
    text += error;
    text += "); ";
    text += notDone;
    text += ": ";
    text += mbxPath.string();
    return text;
}

}  // namespace corvina
