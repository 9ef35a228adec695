#pragma once
// What the benchmark programs share around Google Benchmark: one benchmark
// per step of a subject, timed by the step itself, and the run of all that
// is registered.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <string>

namespace corvina::bench {

// Registers "<prefix>/<name>/<step name>" for each of `steps` steps, run
// once and timed by what the step reports (SetIterationTime), shown in
// milliseconds. Spaces in the name become "_".
inline void RegisterSteps(const std::string& prefix, std::string name, const char* const* stepNames,
                          int steps, const std::function<void(benchmark::State&, int step)>& run) {
    std::replace(name.begin(), name.end(), ' ', '_');
    for (int step = 0; step < steps; ++step) {
        benchmark::RegisterBenchmark((prefix + "/" + name + "/" + stepNames[step]).c_str(),
                                     [run, step](benchmark::State& state) { run(state, step); })
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
}

// Runs what is registered as the command line asks; false when it holds
// an option Google Benchmark does not know (it says which).
inline bool RunRegistered(int& argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return false;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return true;
}

}  // namespace corvina::bench
