#include "platform/SingleInstance.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/Paths.h"

namespace corvina {
namespace {

// A request on the socket: magic, message number and payload length (both
// 32-bit, host order: both ends run on this machine), then the payload.
// The receiver answers one acknowledgement byte once it has delivered it.
constexpr char kMagic[4] = {'C', 'V', 'I', '1'};
constexpr std::size_t kHeaderSize = 12;
constexpr char kAck = 'K';
constexpr std::size_t kMaxPending = 16;
constexpr auto kStallLimit = std::chrono::seconds(5);
constexpr auto kArrivalGrace = std::chrono::milliseconds(250);

using Clock = std::chrono::steady_clock;

// The longest payload of a message; nullopt for a message nobody knows.
std::optional<std::size_t> PayloadLimit(std::uint32_t message) {
    switch (message) {
        case kMsgOpenAddress:
            return kMaxHandOverAddress;
        case kMsgOpenFiles:
            return kMaxHandOverCommandLine;
        case kMsgRestore:
            return 0;
        default:
            return std::nullopt;
    }
}

bool FillAddress(const std::filesystem::path& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    const std::string& s = path.native();
    if (s.size() >= sizeof addr.sun_path) {
        return false;
    }
    std::memcpy(addr.sun_path, s.data(), s.size());
    return true;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, 1 << 30)) : 0;
}

bool SameUser(int fd) {
    ucred cred{};
    socklen_t len = sizeof cred;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == geteuid();
}

flock WholeFileLock(short type) {
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

}  // namespace

SingleInstance::SingleInstance(std::filesystem::path runtimeDir, std::string name)
    : dir_(std::move(runtimeDir)), name_(std::move(name)) {}

SingleInstance::~SingleInstance() {
    Release();
}

SingleInstance::Role SingleInstance::Acquire() {
    if (role_ == Role::kPrimary) {
        return role_;
    }
    CloseFd(lockFd_);
    role_ = Role::kFailed;
    if (dir_.empty() || !CreateDirectoryPath(dir_, 0700)) {
        return role_;
    }
    const std::filesystem::path lockPath = dir_ / (name_ + ".lock");
    lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) {
        return role_;
    }
    // An open-file-description lock belongs to this open file, not to the
    // process's other descriptors of it, and vanishes with the process.
    flock lock = WholeFileLock(F_WRLCK);
    if (fcntl(lockFd_, F_OFD_SETLK, &lock) != 0) {
        if (errno == EAGAIN || errno == EACCES) {
            role_ = Role::kSecondary;
        } else {
            CloseFd(lockFd_);
        }
        return role_;
    }
    // The process id, for a person looking at the file; nothing reads it.
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(lockFd_, 0) == 0) {
        [[maybe_unused]] ssize_t n = pwrite(lockFd_, pid.data(), pid.size(), 0);
    }
    role_ = Role::kPrimary;
    StartListening();
    return role_;
}

bool SingleInstance::StartListening() {
    const std::filesystem::path socketPath = dir_ / (name_ + ".sock");
    sockaddr_un addr{};
    if (!FillAddress(socketPath, addr)) {
        return false;
    }
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) {
        return false;
    }
    // Holding the lock, any socket file left here is a crashed run's.
    unlink(socketPath.c_str());
    fchmod(listenFd_, 0600);  // Linux gives the bound file this mode
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        chmod(socketPath.c_str(), 0600) != 0 || listen(listenFd_, 8) != 0) {
        CloseFd(listenFd_);
        unlink(socketPath.c_str());
        return false;
    }
    return true;
}

void SingleInstance::Release() {
    for (Pending& p : pending_) {
        CloseFd(p.fd);
    }
    pending_.clear();
    if (listenFd_ >= 0) {
        CloseFd(listenFd_);
        unlink((dir_ / (name_ + ".sock")).c_str());
    }
    CloseFd(lockFd_);
    role_ = Role::kFailed;
}

bool SingleInstance::SendAddress(std::string_view address, std::chrono::milliseconds timeout) {
    return Send(kMsgOpenAddress, address, timeout);
}

bool SingleInstance::SendFiles(std::string_view commandLine, std::chrono::milliseconds timeout) {
    return Send(kMsgOpenFiles, commandLine, timeout);
}

bool SingleInstance::SendRestore(std::chrono::milliseconds timeout) {
    return Send(kMsgRestore, {}, timeout);
}

bool SingleInstance::Send(int message, std::string_view payload,
                          std::chrono::milliseconds timeout) {
    const auto limit = PayloadLimit(static_cast<std::uint32_t>(message));
    if (role_ != Role::kSecondary || !limit || payload.size() > *limit) {
        return false;
    }
    sockaddr_un addr{};
    if (!FillAddress(dir_ / (name_ + ".sock"), addr)) {
        return false;
    }
    std::string request(kMagic, sizeof kMagic);
    const std::uint32_t header[2] = {static_cast<std::uint32_t>(message),
                                     static_cast<std::uint32_t>(payload.size())};
    request.append(reinterpret_cast<const char*>(header), sizeof header);
    request.append(payload);

    const auto deadline = Clock::now() + timeout;
    int fd = -1;
    // The first instance may hold the lock but not be listening yet.
    for (;;) {
        fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            break;
        }
        CloseFd(fd);
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!SameUser(fd)) {
        CloseFd(fd);
        return false;
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        pollfd pfd{fd, POLLOUT, 0};
        if (poll(&pfd, 1, RemainingMs(deadline)) <= 0) {
            CloseFd(fd);
            return false;
        }
        const ssize_t n =
            send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            CloseFd(fd);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    bool acknowledged = false;
    for (;;) {
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        char reply = 0;
        const ssize_t n = recv(fd, &reply, 1, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        acknowledged = n == 1 && reply == kAck;
        break;
    }
    CloseFd(fd);
    return acknowledged;
}

int SingleInstance::Poll(SingleInstanceHost& host, std::chrono::milliseconds timeout) {
    if (listenFd_ < 0) {
        return 0;
    }
    const auto start = Clock::now();
    const auto deadline = start + timeout;
    auto graceDeadline = deadline;
    int delivered = 0;
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({listenFd_, POLLIN, 0});
        for (const Pending& p : pending_) {
            fds.push_back({p.fd, POLLIN, 0});
        }
        const int ready = poll(fds.data(), fds.size(), RemainingMs(graceDeadline));
        if (ready < 0 && errno != EINTR) {
            return delivered;
        }
        if (ready > 0) {
            // Read what the known connections sent before taking new ones,
            // so the indexes of fds still match pending_.
            std::vector<Pending> keep;
            for (std::size_t i = 0; i < pending_.size(); ++i) {
                Pending& p = pending_[i];
                const bool readable = (fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
                if (readable && !ReadPending(p, host, delivered)) {
                    CloseFd(p.fd);
                    continue;
                }
                keep.push_back(p);
            }
            pending_ = std::move(keep);
            if ((fds[0].revents & POLLIN) != 0) {
                for (;;) {
                    const int fd =
                        accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                    if (fd < 0) {
                        break;
                    }
                    if (!SameUser(fd) || pending_.size() >= kMaxPending) {
                        close(fd);
                        continue;
                    }
                    pending_.push_back({fd, {}, Clock::now()});
                }
            }
        }
        // A connection that stalls is not allowed to hold a slot for long.
        const auto now = Clock::now();
        std::erase_if(pending_, [&](Pending& p) {
            if (now - p.started < kStallLimit) {
                return false;
            }
            CloseFd(p.fd);
            return true;
        });
        // A request whose connection was just taken gets a moment to
        // arrive: nothing would wake the event loop for it again.
        const bool takenNow = std::any_of(pending_.begin(), pending_.end(),
                                          [&](const Pending& p) { return p.started >= start; });
        if (delivered > 0 || now >= deadline + kArrivalGrace || (now >= deadline && !takenNow)) {
            return delivered;
        }
        if (now >= deadline) {
            graceDeadline = deadline + kArrivalGrace;
        }
    }
}

// Reads what arrived; false when the connection is finished (delivered,
// broken or refused) and is to be closed.
bool SingleInstance::ReadPending(Pending& conn, SingleInstanceHost& host, int& delivered) {
    char buf[4096];
    bool ended = false;
    for (;;) {
        const ssize_t n = recv(conn.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN) {
                return false;
            }
            break;
        }
        if (n == 0) {
            ended = true;
            break;
        }
        conn.data.append(buf, static_cast<std::size_t>(n));
        if (conn.data.size() > kHeaderSize + kMaxHandOverCommandLine) {
            return false;
        }
    }
    if (conn.data.size() < kHeaderSize) {
        return !ended && std::memcmp(conn.data.data(), kMagic,
                                     std::min(conn.data.size(), sizeof kMagic)) == 0;
    }
    std::uint32_t header[2];
    std::memcpy(header, conn.data.data() + sizeof kMagic, sizeof header);
    const auto limit = PayloadLimit(header[0]);
    if (std::memcmp(conn.data.data(), kMagic, sizeof kMagic) != 0 || !limit || header[1] > *limit) {
        return false;
    }
    if (conn.data.size() < kHeaderSize + header[1]) {
        return !ended;  // more to come, unless the sender gave up
    }
    if (conn.data.size() > kHeaderSize + header[1]) {
        return false;
    }
    const std::string payload = conn.data.substr(kHeaderSize);
    switch (header[0]) {
        case kMsgOpenAddress:
            host.OpenAddress(payload);
            break;
        case kMsgOpenFiles:
            host.OpenFiles(payload);
            break;
        case kMsgRestore:
            host.Restore();
            break;
    }
    ++delivered;
    [[maybe_unused]] ssize_t n = send(conn.fd, &kAck, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    return false;
}

bool SingleInstance::IsRunning(const std::filesystem::path& runtimeDir, std::string_view name) {
    const std::filesystem::path lockPath = runtimeDir / (std::string(name) + ".lock");
    int fd = open(lockPath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0) {
        return false;
    }
    // Asks who would block a lock without taking it, so a check never
    // stands in the way of a client starting at the same moment.
    flock lock = WholeFileLock(F_WRLCK);
    const bool held = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    close(fd);
    return held;
}

}  // namespace corvina
