#include "ChildModes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "platform/Paths.h"
#include "platform/SingleInstance.h"

namespace corvina::test {
namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A later client start: hands over and reports how it went by its exit
// code (0 handed over, 2 not a second instance, 3 hand-over failed).
int SecondInstance(const char* dir, const std::string& what, const char* payload) {
    SingleInstance instance(dir);
    if (instance.Acquire() != SingleInstance::Role::kSecondary) {
        return 2;
    }
    bool ok = false;
    if (what == "address") {
        ok = instance.SendAddress(payload);
    } else if (what == "files") {
        ok = instance.SendFiles(payload);
    } else {
        ok = instance.SendRestore();
    }
    return ok ? 0 : 3;
}

// A running client that never ends by itself: takes the lock, says
// "ready" on stdout, then waits to be killed.
int HoldLock(const char* dir) {
    SingleInstance instance(dir);
    if (instance.Acquire() != SingleInstance::Role::kPrimary) {
        return 2;
    }
    WriteAll(1, "ready\n", 6);
    for (;;) {
        pause();
    }
}

// Writes count bytes to stdout and to stderr alternately in small pieces:
// a reader that drains only one pipe at a time deadlocks on it.
int Spew(long count) {
    std::string chunk(4096, 'o');
    std::string errChunk(4096, 'e');
    for (long done = 0; done < count; done += 4096) {
        const std::size_t n = static_cast<std::size_t>(std::min<long>(4096, count - done));
        if (!WriteAll(1, chunk.data(), n) || !WriteAll(2, errChunk.data(), n)) {
            return 1;
        }
    }
    return 0;
}

// Copies descriptor from to descriptor to until end of file.
int Copy(int from, int to) {
    char buf[4096];
    for (;;) {
        const ssize_t n = read(from, buf, sizeof buf);
        if (n == 0) {
            return 0;
        }
        if (n < 0 || !WriteAll(to, buf, static_cast<std::size_t>(n))) {
            return 1;
        }
    }
}

}  // namespace

int RunChildMode(int argc, char** argv) {
    const std::string mode = argv[0];
    if (mode == "second" && argc >= 3) {
        return SecondInstance(argv[1], argv[2], argc >= 4 ? argv[3] : "");
    }
    if (mode == "hold" && argc >= 2) {
        return HoldLock(argv[1]);
    }
    if (mode == "exit" && argc >= 2) {
        return std::atoi(argv[1]);
    }
    if (mode == "spew" && argc >= 2) {
        return Spew(std::atol(argv[1]));
    }
    if (mode == "copy" && argc >= 3) {
        return Copy(std::atoi(argv[1]), std::atoi(argv[2]));
    }
    if (mode == "env" && argc >= 2) {
        const char* v = std::getenv(argv[1]);
        std::printf("%s", v != nullptr ? v : "<unset>");
        return 0;
    }
    if (mode == "fds") {
        // Lists the open descriptors above 2: none should leak in.
        std::string list;
        for (int fd = 3; fd < 1024; ++fd) {
            if (fcntl(fd, F_GETFD) != -1) {
                list += std::to_string(fd) + " ";
            }
        }
        std::printf("%s", list.c_str());
        return 0;
    }
    if (mode == "tempdir-exit") {
        // Creates the private directory, asks for its removal at exit and
        // names it on stdout.
        const auto dir = PrivateTempDir();
        if (!dir) {
            return 1;
        }
        if (FILE* f = std::fopen((*dir / "work.tmp").c_str(), "w")) {
            std::fclose(f);
        }
        RemovePrivateTempDirAtExit();
        std::printf("%s", dir->c_str());
        return 0;
    }
    if (mode == "sleep") {
        for (;;) {
            pause();
        }
    }
    std::fprintf(stderr, "unknown child mode %s\n", mode.c_str());
    return 100;
}

}  // namespace corvina::test

#include <filesystem>

#include "ChildProcess.h"

namespace corvina::test {

std::vector<std::string> ChildArgv(const std::vector<std::string>& modeAndArgs) {
    std::vector<std::string> argv = {std::filesystem::read_symlink("/proc/self/exe").string(),
                                     "--child"};
    argv.insert(argv.end(), modeAndArgs.begin(), modeAndArgs.end());
    return argv;
}

}  // namespace corvina::test
