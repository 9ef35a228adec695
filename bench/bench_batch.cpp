// `corvina --list` of a 100,000-message folder from a cold start of the
// process, plain and threaded, beside `grep -c '^From '` over the same
// messages as a UNIX mbox (the floor: reading the bytes once).
// CORVINA_BENCH_MESSAGES changes the count.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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
// stops at the first match); the exit status.
int RunQuiet(std::vector<std::string> args, const fs::path& config) {
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
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Run(benchmark::State& state, std::vector<std::string> args) {
    Corpus& c = TheCorpus();
    if (!c.ok) {
        state.SkipWithError("corpus or corvina binary missing");
        return;
    }
    for (auto _ : state) {
        if (RunQuiet(args, c.config) != 0) {
            state.SkipWithError("the command failed");
            return;
        }
    }
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

}  // namespace

BENCHMARK_MAIN();
