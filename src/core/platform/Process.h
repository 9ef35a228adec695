#pragma once
// Runs a child program with an argument vector (never through a shell),
// feeds its standard input, collects its standard output and error, and
// waits for it while a host may pump its own events or abort. Extra pipes
// can be handed to the child at chosen descriptor numbers, e.g. a pass
// phrase for "gpg --passphrase-fd 3" that never appears on a command line.

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvina {

// Called while a child runs.
class ProcessHost {
public:
    virtual ~ProcessHost() = default;
    // Called about every poll interval and whenever output arrives; return
    // false to abort (the child and its process group are then killed).
    virtual bool KeepWaiting() = 0;
};

struct ProcessResult {
    int exitCode = -1;             // the child's exit status; -1 when killed by a signal
    int termSignal = 0;            // the signal that ended it, 0 when it exited
    bool aborted = false;          // the host asked to stop
    bool outputTruncated = false;  // some output beyond the limit was dropped
    std::string out;
    std::string err;
    std::map<int, std::string> extraOut;  // child fd -> what it wrote there
};

class Process {
public:
    // argv[0] is the program: a path, or a name looked up in PATH.
    explicit Process(std::vector<std::string> argv);

    // Bytes written to the child's standard input, which is then closed
    // (without input: an empty, closed standard input).
    void SetInput(std::string input) { input_ = std::move(input); }
    // A pipe at descriptor childFd (3 to 255) of the child from which it
    // reads data, then end of file. False for a number already used or
    // out of range, or beyond 61 extra pipes.
    bool AddInputPipe(int childFd, std::string data);
    // A pipe at descriptor childFd (3 to 255) of the child whose output is
    // collected into ProcessResult::extraOut; refused as above.
    bool AddOutputPipe(int childFd);
    // Sets (or with nullopt removes) a variable of the child's
    // environment; the rest is inherited.
    void SetEnv(std::string name, std::optional<std::string> value);
    void SetWorkingDirectory(std::filesystem::path dir) { workDir_ = std::move(dir); }
    // Output kept per stream; more is read and dropped.
    void SetOutputLimit(std::size_t bytes) { outputLimit_ = bytes; }
    void SetPollInterval(std::chrono::milliseconds interval) { pollInterval_ = interval; }
    // How long an aborted child gets between SIGTERM and SIGKILL.
    void SetKillGrace(std::chrono::milliseconds grace) { killGrace_ = grace; }

    // Runs the child to its end. nullopt when it could not be started (no
    // such program, not executable, no pipes or process); host may be null.
    std::optional<ProcessResult> Run(ProcessHost* host = nullptr);

    // The path execution would use for argv[0], nullopt when not found.
    static std::optional<std::filesystem::path> FindProgram(const std::string& name);

private:
    std::vector<std::string> argv_;
    std::string input_;
    std::vector<std::pair<int, std::string>> inputPipes_;
    std::vector<int> outputPipes_;
    std::vector<std::pair<std::string, std::optional<std::string>>> env_;
    std::filesystem::path workDir_;
    std::size_t outputLimit_ = 64 * 1024 * 1024;
    std::chrono::milliseconds pollInterval_{50};
    std::chrono::milliseconds killGrace_{1000};
};

}  // namespace corvina
