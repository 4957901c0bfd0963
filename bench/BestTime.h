// The benchmarks' timer: the best of several runs of one piece of work.
#pragma once

#include <algorithm>
#include <chrono>

namespace ruk::bench {

// Runs `fn` `runs` times and returns the shortest run in seconds: the best
// run is the one least disturbed by the rest of the machine.
template<typename Fn>
double best_seconds(int runs, Fn&& fn)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        fn();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace ruk::bench
