#pragma once
// One running client per user: a lock file and a Unix-domain socket in
// the runtime directory. The first instance holds the lock (an
// open-file-description lock, released by the kernel when the process
// ends, so a crashed client never blocks the next start) and listens on
// the socket. A later start connects, hands over a mail address, a
// command line or a restore request, and then ends.
//
// The listening side does not start a thread: the window's event loop
// watches ListenFd() and calls Poll() when it is readable; each complete
// request is delivered to a SingleInstanceHost.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

// Message numbers of the hand-over, kept as the rest of the program
// knows them.
inline constexpr int kMsgOpenAddress = 1009;  // open a compose window To: an address
inline constexpr int kMsgOpenFiles = 3333;    // open a compose window with files attached
inline constexpr int kMsgRestore = 0xF120;    // bring the main window back

// Longest payloads accepted, in bytes.
inline constexpr std::size_t kMaxHandOverAddress = 256;
inline constexpr std::size_t kMaxHandOverCommandLine = 8192;

// Receives the requests of later starts (the main window; a recording fake
// in tests).
class SingleInstanceHost {
public:
    virtual ~SingleInstanceHost() = default;
    virtual void OpenAddress(const std::string& address) = 0;
    virtual void OpenFiles(const std::string& commandLine) = 0;
    virtual void Restore() = 0;
};

class SingleInstance {
public:
    enum class Role {
        kPrimary,    // this process holds the lock and listens
        kSecondary,  // another instance runs: hand over, then end
        kFailed,     // the runtime directory or the lock file is unusable
    };

    // name distinguishes programs sharing one runtime directory; the files
    // are <dir>/<name>.lock and <dir>/<name>.sock.
    explicit SingleInstance(std::filesystem::path runtimeDir, std::string name = "corvina");
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock, or finds it held by another process.
    Role Acquire();
    Role CurrentRole() const { return role_; }

    // Second instance: deliver one request to the first and wait for its
    // acknowledgement. False when it is too long, nobody listens, or no
    // acknowledgement arrives within the timeout.
    bool SendAddress(std::string_view address,
                     std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool SendFiles(std::string_view commandLine,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool SendRestore(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // First instance: the listening socket, for the event loop to watch;
    // -1 unless primary (or when the socket could not be set up: the lock
    // is then still held, but later starts cannot hand over).
    int ListenFd() const { return listenFd_; }
    // Accepts pending connections and reads what has arrived, waiting at
    // most timeout for a request (plus a short grace for a connection
    // already taken whose request is still on its way); delivers every
    // complete request to host. Returns the number delivered. A
    // connection that sends garbage, too much, or stalls is dropped.
    // While HasPending(), call again soon (e.g. from a short timer).
    int Poll(SingleInstanceHost& host, std::chrono::milliseconds timeout);
    bool HasPending() const { return !pending_.empty(); }

    // Releases the lock and removes the socket (also done by the
    // destructor).
    void Release();

    // True when some process holds the lock in runtimeDir (moutil's "is
    // the client running?"); takes no lock itself.
    static bool IsRunning(const std::filesystem::path& runtimeDir,
                          std::string_view name = "corvina");

private:
    struct Pending {
        int fd = -1;
        std::string data;
        std::chrono::steady_clock::time_point started;
    };

    bool Send(int message, std::string_view payload, std::chrono::milliseconds timeout);
    bool StartListening();
    bool ReadPending(Pending& conn, SingleInstanceHost& host, int& delivered);

    std::filesystem::path dir_;
    std::string name_;
    Role role_ = Role::kFailed;
    int lockFd_ = -1;
    int listenFd_ = -1;
    std::vector<Pending> pending_;
};

}  // namespace corvina
