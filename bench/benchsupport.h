#pragma once

// Timing and memory helpers of the benchmarks.

#include <algorithm>
#include <chrono>
#include <fstream>
#include <vector>

namespace BenchSupport {

using Clock = std::chrono::steady_clock;

inline double micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// The process's resident memory.
inline long rssKiB()
{
    std::ifstream status("/proc/self/statm");
    long pages = 0, resident = 0;
    status >> pages >> resident;
    return resident * 4;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace BenchSupport
