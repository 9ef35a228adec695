// Settings file: parsing a realistic file, the ~400 reads of a start-up,
// and a large hand-made file (many keys must not make loading quadratic).

#include <benchmark/benchmark.h>

#include <string>

#include "platform/ConfigStore.h"

namespace {

std::string RealisticFile() {
    std::string text = "[Settings]\n";
    for (int i = 0; i < 80; ++i) {
        text += "Value" + std::to_string(i) + "=" + std::to_string(i * 7) + "\n";
    }
    for (int p = 0; p < 10; ++p) {
        text += "\n[Users\\" + std::to_string(p) + "]\n";
        for (int i = 0; i < 26; ++i) {
            text += "Slot" + std::to_string(i) + "=profile text " + std::to_string(i) + "\n";
        }
    }
    for (int m = 0; m < 40; ++m) {
        text += "\n[MimeType\\type/sub" + std::to_string(m) + "]\nApp=/usr/bin/x\nExt=.a.b\nAct=1\n";
    }
    return text;
}

void BM_LoadRealistic(benchmark::State& state) {
    const std::string text = RealisticFile();
    for (auto _ : state) {
        corvina::ConfigStore store;
        store.LoadFromText(text);
        benchmark::DoNotOptimize(store);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LoadRealistic);

void BM_StartupReads(benchmark::State& state) {
    corvina::ConfigStore store;
    store.LoadFromText(RealisticFile());
    for (auto _ : state) {
        int sum = 0;
        for (int i = 0; i < 80; ++i) {
            sum += store.GetInt("Settings", "Value" + std::to_string(i), 0);
        }
        for (int p = 0; p < 10; ++p) {
            const std::string section = "Users\\" + std::to_string(p);
            for (int i = 0; i < 26; ++i) {
                sum += static_cast<int>(store.GetString(section, "Slot" + std::to_string(i)).size());
            }
        }
        for (const std::string& sub : store.SubKeys("MimeType")) {
            sum += store.GetInt("MimeType\\" + sub, "Act", 0);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_StartupReads);

void BM_LoadManySections(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < state.range(0); ++i) {
        text += "[Key" + std::to_string(i) + "]\nA=1\n";
    }
    for (auto _ : state) {
        corvina::ConfigStore store;
        store.LoadFromText(text);
        benchmark::DoNotOptimize(store);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadManySections)->Range(1 << 10, 1 << 17)->Complexity();

}  // namespace

BENCHMARK_MAIN();
