// How a benchmark reports one of our figures beside a baseline's, as scripts/run-bench.sh
// tabulates them: vs_<baseline> = the baseline's time / ours for the same work (above 1:
// ours is faster), <baseline>_ms and ours_ms. A clock other than elapsed time (say "cpu")
// names the pair <baseline>_<clock> and our figure ours_<clock>_ms.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

inline void report_baseline(benchmark::State& state, const std::string& baseline, double baseline_seconds,
                            double our_seconds, const std::string& clock = "") {
    if (baseline_seconds <= 0 || our_seconds <= 0) return;
    const std::string pair = clock.empty() ? baseline : baseline + "_" + clock;
    state.counters["vs_" + pair] = baseline_seconds / our_seconds;
    state.counters[pair + "_ms"] = 1000 * baseline_seconds;
    state.counters[clock.empty() ? "ours_ms" : "ours_" + clock + "_ms"] = 1000 * our_seconds;
}
