// `corvina --list` of a 100,000-message folder from a cold start of the
// process, plain and threaded, beside `grep -c '^From '` over the same
// messages as a UNIX mbox (the floor: reading the bytes once) and neomutt
// opening that mbox and quitting (a terminal client doing the same job; it
// needs a terminal, so it runs in a detached tmux session of its own).
// Each row also shows the command's own processor time (user, system) and
// its peak resident memory, medians over the rounds. CORVINA_BENCH_MESSAGES
// changes the count.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "MailboxGenerator.h"

namespace {

namespace fs = std::filesystem;

struct Corpus {
    fs::path dir;
    fs::path config;
    fs::path mbox;
    fs::path binary;
    bool ok = false;
};

int MessageCount() {
    const char* text = std::getenv("CORVINA_BENCH_MESSAGES");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 100000;
}

// The store's form made into a UNIX mbox: a "From " line before each
// message, LF line ends, the dot-stuffing and the terminator removed.
bool WriteUnixMbox(const fs::path& mbx, const fs::path& out) {
    std::FILE* in = std::fopen(mbx.c_str(), "rb");
    std::FILE* o = std::fopen(out.c_str(), "wb");
    if (!in || !o) {
        if (in)
            std::fclose(in);
        if (o)
            std::fclose(o);
        return false;
    }
    char* line = nullptr;
    size_t cap = 0;
    ssize_t n;
    bool start = true;
    while ((n = getline(&line, &cap, in)) > 0) {
        std::string text(line, static_cast<size_t>(n));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (start) {
            std::fputs("From sender@example.com Tue Mar  4 10:11:12 2025\n", o);
            start = false;
        }
        if (text == ".") {
            std::fputs("\n", o);
            start = true;
            continue;
        }
        if (text.starts_with(".."))
            text.erase(0, 1);
        if (text.starts_with("From "))
            text.insert(0, ">");
        text.push_back('\n');
        std::fputs(text.c_str(), o);
    }
    std::free(line);
    std::fclose(in);
    return std::fclose(o) == 0;
}

Corpus& TheCorpus() {
    static Corpus corpus = [] {
        Corpus c;
        char pattern[] = "/tmp/corvina-bench-batch-XXXXXX";
        if (!mkdtemp(pattern))
            return c;
        c.dir = pattern;
        static fs::path removeAtExit;
        removeAtExit = c.dir;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(removeAtExit, ec);
        });
        c.binary = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" / "apps" /
                   "corvina" / "corvina";
        const fs::path mailbox = c.dir / "home" / "User0";
        fs::create_directories(mailbox);
        corvina::bench::MailboxGenerator generator;
        if (!generator.WriteMailbox(mailbox / "InBox.mbx", MessageCount()))
            return c;
        c.mbox = c.dir / "unix.mbox";
        if (!WriteUnixMbox(mailbox / "InBox.mbx", c.mbox))
            return c;
        c.config = c.dir / "Corvina.ini";
        std::FILE* f = std::fopen(c.config.c_str(), "wb");
        if (!f)
            return c;
        std::fprintf(f, "[Settings]\nHomeDir = %s/home/\nDefUser = 0\n", c.dir.c_str());
        std::fclose(f);
        c.ok = fs::exists(c.binary);
        return c;
    }();
    return corpus;
}

// Runs argv with stdout into a file (not /dev/null: grep notices that and
// stops at the first match); the exit status. `usage`, when given, receives
// the child's own resource use.
int RunQuiet(std::vector<std::string> args, const fs::path& config, rusage* usage = nullptr) {
    pid_t pid = fork();
    if (pid == 0) {
        int out =
            open((config.parent_path() / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        setenv("CORVINA_CONFIG", config.c_str(), 1);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage own{};
    wait4(pid, &status, 0, &own);
    if (usage)
        *usage = own;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double Seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

void Run(benchmark::State& state, std::vector<std::string> args) {
    Corpus& c = TheCorpus();
    if (!c.ok) {
        state.SkipWithError("corpus or corvina binary missing");
        return;
    }
    std::vector<double> wall, user, system, resident;
    for (auto _ : state) {
        rusage usage{};
        const auto start = std::chrono::steady_clock::now();
        const int status = RunQuiet(args, c.config, &usage);
        wall.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (status != 0) {
            state.SkipWithError("the command failed");
            return;
        }
        user.push_back(Seconds(usage.ru_utime));
        system.push_back(Seconds(usage.ru_stime));
        resident.push_back(double(usage.ru_maxrss) / 1024.0);  // kilobytes
    }
    state.counters["wall_s"] = Median(wall);
    state.counters["user_s"] = Median(user);
    state.counters["sys_s"] = Median(system);
    state.counters["maxrss_MB"] = Median(resident);
    state.counters["messages"] = MessageCount();
    // The first output line, to see that the command did the whole work.
    if (std::FILE* f = std::fopen((c.dir / "stdout.txt").c_str(), "rb")) {
        char first[80] = {};
        if (std::fgets(first, sizeof first, f)) {
            std::string label(first);
            label.erase(label.find_last_not_of("\r\n") + 1);
            state.SetLabel(label.substr(0, 40));
        }
        std::fclose(f);
    }
    std::error_code ec;
    state.counters["mbx_MB"] =
        static_cast<double>(fs::file_size(c.dir / "home" / "User0" / "InBox.mbx", ec)) / 1e6;
    state.counters["mbox_MB"] = static_cast<double>(fs::file_size(c.mbox, ec)) / 1e6;
}

// For a sh -c command line: the text in single quotes.
std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char ch : text) {
        if (ch == '\'')
            out += "'\\''";
        else
            out += ch;
    }
    return out + "'";
}

bool OnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(':', start);
        if (end == std::string::npos)
            end = rest.size();
        const fs::path candidate = fs::path(rest.substr(start, end - start)) / name;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// The value after `key` on its line of GNU time's -v report, or "".
std::string TimeReportValue(const fs::path& report, const std::string& key) {
    std::FILE* f = std::fopen(report.c_str(), "rb");
    if (!f)
        return {};
    std::string value;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        std::string text(line);
        const size_t at = text.find(key);
        if (at == std::string::npos)
            continue;
        value = text.substr(at + key.size());
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t\r\n") + 1);
        break;
    }
    std::fclose(f);
    return value;
}

// GNU time's "h:mm:ss" or "m:ss.ss" in seconds.
double ClockSeconds(const std::string& text) {
    double seconds = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(':', start);
        if (end == std::string::npos)
            end = text.size();
        seconds = seconds * 60 + std::atof(text.substr(start, end - start).c_str());
        start = end + 1;
    }
    return seconds;
}

constexpr int kNeomuttTimeoutSeconds = 300;

// neomutt opens the UNIX mbox read-only (so leaving it rewrites nothing),
// with no user configuration, and quits at once; the time is from starting
// its terminal until the process has exited.
void BM_NeomuttOpen(benchmark::State& state) {
    Corpus& c = TheCorpus();
    if (!c.ok) {
        state.SkipWithError("corpus or corvina binary missing");
        return;
    }
    if (!OnPath("neomutt") || !OnPath("tmux")) {
        std::fprintf(stderr, "neomutt or tmux is not installed; its row is skipped\n");
        state.SkipWithError("neomutt or tmux not installed");
        return;
    }
    // A home of its own with a Mail folder, so it never asks to create one.
    const fs::path home = c.dir / "neomutt-home";
    std::error_code ec;
    fs::create_directories(home / "Mail", ec);
    const fs::path status = c.dir / "neomutt.status";
    const fs::path report = c.dir / "neomutt.time";
    const bool haveTime = access("/usr/bin/time", X_OK) == 0;
    const std::string mbox = c.mbox.string();
    // A private tmux server for each round, so no one else's sessions are
    // touched and a round never meets the previous server still shutting down.
    int round = 0;
    std::string socket;
    std::string command;
    const auto makeCommand = [&] {
        socket = "corvina-bench-" + std::to_string(getpid()) + "-" + std::to_string(round++);
        command = "HOME=" + ShellQuote(home.string()) + " ";
        if (haveTime)
            command += "/usr/bin/time -v -o " + ShellQuote(report.string()) + " ";
        command += "neomutt -n -F /dev/null -R -e " +
                   ShellQuote("set quit=yes mark_old=no folder=" + (home / "Mail").string() +
                              " spoolfile=" + mbox) +
                   " -f " + ShellQuote(mbox) + " -e 'push q'; echo $? > " +
                   ShellQuote(status.string()) + "; tmux -L " + ShellQuote(socket) +
                   " wait-for -S done";
    };
    const fs::path unused = c.dir / "neomutt.ini";
    std::vector<double> user, system, resident, own;
    for (auto _ : state) {
        fs::remove(status, ec);
        fs::remove(report, ec);
        makeCommand();
        const auto start = std::chrono::steady_clock::now();
        if (RunQuiet({"tmux", "-L", socket, "-f", "/dev/null", "new-session", "-d", "-x", "200",
                      "-y", "50", command},
                     unused) != 0) {
            state.SkipWithError(("tmux could not start session " + socket).c_str());
            return;
        }
        const int waited = RunQuiet({"timeout", std::to_string(kNeomuttTimeoutSeconds), "tmux",
                                     "-L", socket, "wait-for", "done"},
                                    unused);
        const auto end = std::chrono::steady_clock::now();
        // A quick exit can take the server down before the wait starts; the
        // status file says whether neomutt finished all the same.
        if (waited != 0 && !fs::exists(status)) {
            RunQuiet({"tmux", "-L", socket, "kill-server"}, unused);
            state.SkipWithError(waited == 124 ? "neomutt did not finish in time"
                                              : "waiting for neomutt failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (haveTime) {
            const auto value = [&](const char* key) {
                return std::atof(TimeReportValue(report, key).c_str());
            };
            user.push_back(value("User time (seconds):"));
            system.push_back(value("System time (seconds):"));
            resident.push_back(value("Maximum resident set size (kbytes):") / 1024.0);
            own.push_back(ClockSeconds(
                TimeReportValue(report, "Elapsed (wall clock) time (h:mm:ss or m:ss):")));
        }
    }
    std::string exitText;
    if (std::FILE* f = std::fopen(status.c_str(), "rb")) {
        char line[32] = {};
        if (std::fgets(line, sizeof line, f))
            exitText = line;
        std::fclose(f);
    }
    exitText.erase(exitText.find_last_not_of("\r\n") + 1);
    if (exitText != "0") {
        state.SkipWithError(("neomutt exited with " + exitText).c_str());
        return;
    }
    state.counters["messages"] = MessageCount();
    state.counters["mbox_MB"] = static_cast<double>(fs::file_size(c.mbox, ec)) / 1e6;
    if (haveTime) {
        state.counters["user_s"] = Median(user);
        state.counters["sys_s"] = Median(system);
        state.counters["maxrss_MB"] = Median(resident);
        state.counters["own_s"] = Median(own);
    }
}

void BM_ListCold(benchmark::State& state) {
    Run(state, {TheCorpus().binary.string(), "--list", "InBox"});
}
void BM_ListColdThreaded(benchmark::State& state) {
    Run(state, {TheCorpus().binary.string(), "--list", "InBox", "--threaded"});
}
void BM_GrepFloor(benchmark::State& state) {
    Run(state, {"grep", "-c", "^From ", TheCorpus().mbox.string()});
}

BENCHMARK(BM_GrepFloor)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ListCold)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ListColdThreaded)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_NeomuttOpen)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
