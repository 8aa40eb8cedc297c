#pragma once
// Timing helpers the benchmarks share: one call's wall time, and the median
// of a set of rounds (the minimum is std::min_element's).

#include <algorithm>
#include <chrono>
#include <vector>

// Wall time of one call of `f`, in seconds.
template <class F> double seconds(F&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The middle value (the mean of the two middle ones for an even count).
inline double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}
