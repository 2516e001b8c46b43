// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

/// The @p p quantile (0.5: the median) of @p values, by the nearest-rank rule.
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(p * double(values.size()));
    return values[std::min(values.size() - 1, size_t(std::max(rank, 1.0)) - 1)];
}
