// BufferedFile throughput: ReadLine over a generated 100 MB mailbox-like
// file with CR LF line ends, and writing the same amount line by line.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/BufferedFile.h"
#include "common/CodePage.h"
#include "common/MappedFile.h"

namespace {

constexpr std::size_t kFileBytes = 100u * 1024 * 1024;

// A scratch directory removed when the program ends.
struct ScratchDirectory {
    std::filesystem::path path;
    ScratchDirectory() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_common.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::filesystem::path& BenchDir() {
    static const ScratchDirectory dir;
    return dir.path;
}

// Lines of 20 to 100 bytes, like mail text.
std::string SampleLines() {
    std::string text;
    unsigned seed = 12345;
    while (text.size() < 1 << 20) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t len = 20 + (seed >> 16) % 80;
        for (std::size_t i = 0; i < len; ++i) {
            text += static_cast<char>('a' + (i * 7 + len) % 26);
        }
        text += '\n';
    }
    return text;
}

const std::filesystem::path& InputFile() {
    static const std::filesystem::path path = [] {
        const std::filesystem::path p = BenchDir() / "input.mbx";
        const std::string sample = SampleLines();
        corvina::BufferedFile out;
        if (!out.Open(p, corvina::BufferedFile::kWrite)) {
            std::abort();
        }
        for (std::size_t written = 0; written < kFileBytes; written += sample.size()) {
            out.Write(sample);
        }
        out.Close();
        return p;
    }();
    return path;
}

void BM_ReadLine(benchmark::State& state) {
    const std::filesystem::path& path = InputFile();
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    char line[2049];
    for (auto _ : state) {
        corvina::BufferedFile file;
        if (!file.Open(path, corvina::BufferedFile::kRead)) {
            state.SkipWithError("open failed");
            return;
        }
        int64_t lines = 0;
        while (file.ReadLine(line, 2048) > 0) {
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
        file.Close();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ReadLine)->Unit(benchmark::kMillisecond);

void BM_MappedScan(benchmark::State& state) {
    const std::filesystem::path& path = InputFile();
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        corvina::MappedFile map;
        if (!map.Open(path)) {
            state.SkipWithError("map failed");
            return;
        }
        int64_t lines = 0;
        std::string_view line;
        while (map.NextLine(line)) {
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_MappedScan)->Unit(benchmark::kMillisecond);

// range(0): tab mode (0 = bytes unchanged, 1 = tab expansion).
void BM_WriteLines(benchmark::State& state) {
    const std::string sample = SampleLines();
    const std::filesystem::path path = BenchDir() / "output.mbx";
    for (auto _ : state) {
        corvina::BufferedFile file;
        if (!file.Open(path, corvina::BufferedFile::kWrite)) {
            state.SkipWithError("open failed");
            return;
        }
        file.SetTabMode(static_cast<int>(state.range(0)));
        std::size_t written = 0;
        while (written < kFileBytes) {
            // Whole lines, as callers write them.
            std::size_t at = 0;
            while (at < sample.size()) {
                const std::size_t nl = sample.find('\n', at);
                file.Write(sample.data() + at, nl + 1 - at);
                at = nl + 1;
            }
            written += sample.size();
        }
        if (!file.Close()) {
            state.SkipWithError("write failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFileBytes));
}
BENCHMARK(BM_WriteLines)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Utf8Columns(benchmark::State& state) {
    std::string text;
    while (text.size() < 1 << 16) {
        text += "Grüße, 日本語のテキスト and emoji 😀 ";
    }
    const corvina::CodePage& page = corvina::CodePage::Get(65001);
    for (auto _ : state) {
        benchmark::DoNotOptimize(page.TextColumns(text));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Utf8Columns);

}  // namespace

BENCHMARK_MAIN();
