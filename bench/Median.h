#pragma once

#include <algorithm>
#include <vector>

// The middle one of a benchmark's rounds, which one slow round on a shared machine doesn't move.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
