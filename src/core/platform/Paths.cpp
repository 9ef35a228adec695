#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <system_error>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvina {
namespace {

std::string EnvValue(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

std::optional<passwd> PasswordEntry(std::vector<char>& buffer) {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    buffer.resize(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    for (;;) {
        const int rc = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || found == nullptr) {
            return std::nullopt;
        }
        return entry;
    }
}

// The process's private directory; guarded because the mail thread and the
// window thread may both ask for it first.
struct TempState {
    std::mutex mutex;
    std::filesystem::path dir;
    pid_t owner = 0;
    bool removeAtExit = false;
    bool handlerInstalled = false;
};

TempState& Temp() {
    static TempState* state = new TempState;  // outlives every static destructor
    return *state;
}

void RemoveLocked(TempState& state) {
    if (!state.dir.empty() && state.owner == getpid()) {
        std::error_code ec;
        std::filesystem::remove_all(state.dir, ec);
    }
    state.dir.clear();
    state.owner = 0;
}

void RemoveAtExitHandler() {
    TempState& state = Temp();
    std::lock_guard lock(state.mutex);
    if (state.removeAtExit) {
        RemoveLocked(state);
    }
}

}  // namespace

std::string UserName() {
    std::vector<char> buffer;
    if (auto entry = PasswordEntry(buffer); entry && entry->pw_name != nullptr) {
        return entry->pw_name;
    }
    return EnvValue("USER");
}

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

std::filesystem::path UserHomeDir() {
    if (std::string home = EnvValue("HOME"); !home.empty()) {
        return home;
    }
    std::vector<char> buffer;
    if (auto entry = PasswordEntry(buffer); entry && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

std::optional<std::filesystem::path> ProgramDir() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) {
        return std::nullopt;
    }
    return exe.parent_path();
}

std::optional<std::filesystem::path> DataDir() {
    if (std::string dir = EnvValue("CORVINA_DATA_DIR"); !dir.empty()) {
        return std::filesystem::path(dir);
    }
    auto programDir = ProgramDir();
    if (!programDir) {
        return std::nullopt;
    }
    return programDir->parent_path() / "share" / "corvina";
}

std::filesystem::path CandidateHomeDir() {
    std::filesystem::path base = EnvValue("XDG_DATA_HOME");
    if (base.empty() || !base.is_absolute()) {
        base = UserHomeDir() / ".local" / "share";
    }
    std::string user = UserName();
    if (user.empty()) {
        user = "Default";
    }
    return base / "corvina" / user / "";
}

bool CreateDirectoryPath(const std::filesystem::path& path, unsigned mode) {
    if (path.empty()) {
        return false;
    }
    std::filesystem::path partial;
    for (const auto& component : path) {
        partial /= component;
        if (component.empty() || component == "/" || component == "." || component == "..") {
            continue;
        }
        if (mkdir(partial.c_str(), static_cast<mode_t>(mode)) == 0) {
            continue;
        }
        if (errno != EEXIST) {
            return false;
        }
        struct stat st {};
        if (stat(partial.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            return false;
        }
    }
    return true;
}

std::optional<std::filesystem::path> PrivateTempParent() {
    std::string base = EnvValue("TMPDIR");
    if (base.empty() || base.front() != '/') {
        base = "/tmp";
    }
    const std::filesystem::path dir =
        std::filesystem::path(base) / ("corvina-" + std::to_string(geteuid()));
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    // Another user could have made it first in a shared /tmp: accept only a
    // real directory of our own, and close it to everyone else.
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        return std::nullopt;
    }
    if ((st.st_mode & 0777) != 0700 && chmod(dir.c_str(), 0700) != 0) {
        return std::nullopt;
    }
    return dir;
}

std::optional<std::filesystem::path> PrivateTempDir() {
    TempState& state = Temp();
    std::lock_guard lock(state.mutex);
    if (!state.dir.empty() && state.owner == getpid()) {
        return state.dir;
    }
    auto parent = PrivateTempParent();
    if (!parent) {
        return std::nullopt;
    }
    std::string tmpl = (*parent / "run-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) {
        return std::nullopt;
    }
    state.dir = tmpl;
    state.owner = getpid();
    return state.dir;
}

void RemovePrivateTempDirAtExit() {
    TempState& state = Temp();
    std::lock_guard lock(state.mutex);
    state.removeAtExit = true;
    if (!state.handlerInstalled) {
        state.handlerInstalled = std::atexit(RemoveAtExitHandler) == 0;
    }
}

void RemovePrivateTempDir() {
    TempState& state = Temp();
    std::lock_guard lock(state.mutex);
    RemoveLocked(state);
}

std::optional<std::filesystem::path> RuntimeDir() {
    const std::string runtime = EnvValue("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime.front() == '/') {
        std::error_code ec;
        if (std::filesystem::is_directory(runtime, ec)) {
            return std::filesystem::path(runtime);
        }
    }
    return PrivateTempParent();
}

}  // namespace corvina
