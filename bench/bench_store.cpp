// Store benchmarks on a generated mailbox (100,000 messages, about 800 MB,
// unless CORVINA_BENCH_MESSAGES says otherwise; CORVINA_BENCH_DIR chooses
// where the file goes, default the system temp directory):
//   - LoadFolder: seconds, MB/s, resident memory per message and the peak
//     of resident memory during the load (above what was there before),
//     beside a `grep -c '^From '` scan of the same file in the same run;
//   - SaveFolder after marking the last message read, and after deleting
//     the first;
//   - FolderHasUnread with a valid control file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <malloc.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "MailboxGenerator.h"
#include "store/FolderNames.h"
#include "store/FolderStat.h"
#include "store/MailFolder.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"

namespace fs = std::filesystem;
using namespace corvina;

namespace {

struct Setup {
    int count = 100000;
    fs::path dir;
    fs::path source;  // the generated mailbox, never modified
    std::uintmax_t bytes = 0;
};

Setup& TheSetup() {
    static Setup setup;
    return setup;
}

// Starts a new peak of resident memory for this process (false when the
// system does not allow it).
bool ResetPeakResident() {
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
    refs.flush();
    return static_cast<bool>(refs);
}

// The peak of resident memory since the last reset, in bytes.
long PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kilobytes = 0;
            status >> kilobytes;
            return kilobytes * 1024;
        }
    }
    return 0;
}

long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A working copy of the mailbox for benchmarks that rewrite it.
fs::path FreshCopy(const char* name) {
    const Setup& s = TheSetup();
    const fs::path copy = s.dir / name;
    fs::copy_file(s.source, copy, fs::copy_options::overwrite_existing);
    fs::remove(ControlFilePath(copy));
    return copy;
}

void BM_GrepScan(benchmark::State& state) {
    const Setup& s = TheSetup();
    const std::string command = "grep -c '^From ' '" + s.source.string() + "' > /dev/null";
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    for (auto _ : state) {
        const int rc = std::system(command.c_str());
        benchmark::DoNotOptimize(rc);
    }
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    // The child's own processor time, comparable with LoadFolder's CPU column.
    const auto cpu = [](const rusage& u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    state.counters["grep_cpu_ms"] =
        (cpu(after) - cpu(before)) * 1000.0 / double(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.bytes));
}

void BM_LoadFolder(benchmark::State& state) {
    const Setup& s = TheSetup();
    StoreContext context{s.dir, nullptr};
    double perMessage = 0;
    double peakAbove = 0;
    std::size_t messages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto folder = std::make_unique<MailFolder>(s.source);
        malloc_trim(0);
        const long before = ResidentBytes();
        const bool peakKnown = ResetPeakResident();
        state.ResumeTiming();
        LoadFolder(*folder, context);
        state.PauseTiming();
        // What the load held at its worst: the index and the file's pages.
        if (peakKnown) {
            peakAbove = double(PeakResidentBytes() - before) / 1e6;
        }
        // The mapping is gone once LoadFolder returns: what stays is the index.
        messages = folder->messages.size();
        perMessage = messages ? double(ResidentBytes() - before) / double(messages) : 0;
        folder.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.bytes));
    state.counters["messages"] = double(messages);
    state.counters["resident_B_per_msg"] = perMessage;
    state.counters["peak_MB"] = peakAbove;
}

void BM_SaveAfterMarkingLastRead(benchmark::State& state) {
    const Setup& s = TheSetup();
    StoreContext context{s.dir, nullptr};
    MailFolder folder(FreshCopy("mark-last.mbx"));
    LoadFolder(folder, context);
    bool read = false;
    for (auto _ : state) {
        MailMessage& last = *folder.messages.back();
        read = !read;
        last.read = read;
        last.status = read ? "R" : "";
        last.dirty = true;
        folder.modified = true;
        if (!SaveFolder(folder, false, context)) {
            state.SkipWithError("SaveFolder failed");
            break;
        }
    }
    fs::remove(folder.path);
}

void BM_SaveAfterDeletingFirst(benchmark::State& state) {
    const Setup& s = TheSetup();
    StoreContext context{s.dir, nullptr};
    for (auto _ : state) {
        state.PauseTiming();
        MailFolder folder(FreshCopy("delete-first.mbx"));
        LoadFolder(folder, context);
        state.ResumeTiming();
        // What removing a message does: its successor is loaded and dirty.
        folder.messages.erase(folder.messages.begin());
        LoadMessageBody(*folder.messages.front());
        folder.messages.front()->dirty = true;
        folder.total--;
        folder.modified = true;
        if (!SaveFolder(folder, false, context)) {
            state.SkipWithError("SaveFolder failed");
            break;
        }
        state.PauseTiming();
        fs::remove(folder.path);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.bytes));
}

void BM_FolderHasUnreadFromControlFile(benchmark::State& state) {
    const Setup& s = TheSetup();
    StoreContext context{s.dir, nullptr};
    MailFolder counted(s.source);
    WriteFolderCounts(counted, s.count, s.count / 3);
    for (auto _ : state) {
        MailFolder folder(s.source);  // counts unknown, nothing loaded
        benchmark::DoNotOptimize(FolderHasUnread(folder, context));
    }
}

}  // namespace

int main(int argc, char** argv) {
    Setup& s = TheSetup();
    if (const char* n = std::getenv("CORVINA_BENCH_MESSAGES")) {
        s.count = std::max(1, std::atoi(n));
    }
    const char* dir = std::getenv("CORVINA_BENCH_DIR");
    s.dir = dir != nullptr ? fs::path(dir) : fs::temp_directory_path() / "corvina-bench-store";
    fs::create_directories(s.dir);
    s.source = s.dir / ("generated-" + std::to_string(s.count) + ".mbx");
    if (!fs::exists(s.source)) {
        const auto start = std::chrono::steady_clock::now();
        bench::MailboxGenerator generator;
        if (!generator.WriteMailbox(s.source, s.count)) {
            std::cerr << "cannot write " << s.source << "\n";
            return 1;
        }
        std::cerr << "generated " << s.count << " messages in " << Seconds(start) << " s\n";
    }
    s.bytes = fs::file_size(s.source);
    std::cerr << "mailbox " << s.source << ": " << s.count << " messages, " << double(s.bytes) / 1e6
              << " MB\n";

    const int heavy = s.count >= 20000 ? 3 : 10;
    benchmark::RegisterBenchmark("GrepScan", BM_GrepScan)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(heavy)
        ->UseRealTime();
    benchmark::RegisterBenchmark("LoadFolder", BM_LoadFolder)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(heavy)
        ->UseRealTime();
    benchmark::RegisterBenchmark("SaveFolder/MarkLastRead", BM_SaveAfterMarkingLastRead)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(heavy * 3);
    benchmark::RegisterBenchmark("SaveFolder/DeleteFirst", BM_SaveAfterDeletingFirst)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(heavy > 3 ? 3 : 1)
        ->UseRealTime();
    benchmark::RegisterBenchmark("FolderHasUnread/ControlFile", BM_FolderHasUnreadFromControlFile)
        ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
