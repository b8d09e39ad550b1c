#pragma once

#include <QString>

#include <sys/resource.h>

#include <algorithm>
#include <vector>

// What the benchmarks share: how a figure is taken over rounds and timed.

// The middle one of a benchmark's rounds, which one slow round on a shared machine doesn't move.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each round's figure of `numerator` over that of `denominator` in the same round.
inline std::vector<double> ratiosOf(const std::vector<double> &numerator, const std::vector<double> &denominator)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < numerator.size(); ++i)
        ratios.push_back(numerator[i] / denominator[i]);
    return ratios;
}

// The median of several rounds' figures, with the smallest and largest beside it.
inline QString medianAndSpread(const std::vector<double> &values, const char *format = "%.2f")
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return QString::asprintf(format, median(values)) + QString::asprintf(" [%.2f-%.2f]", *low, *high);
}

// Seconds of processor time (user and system) this process, or with RUSAGE_CHILDREN its
// waited-for children, have used so far. Unlike the time on the clock it hardly moves when other
// programs take the shared processors, so it shows the work itself; the clock also counts waiting
// for syncs to reach the disk.
inline double processorSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
