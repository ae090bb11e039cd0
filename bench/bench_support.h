#pragma once
// What the benchmarks share.
#include <algorithm>
#include <cstddef>
#include <vector>

namespace orv::bench {

// The value below which a fraction `p` of the samples lie (0 for no samples).
inline double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * (v.size() - 1))];
}

}  // namespace orv::bench
