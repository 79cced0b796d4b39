#pragma once
#include <algorithm>
#include <cstddef>
#include <span>

namespace vestrel {

// The block call shared by the one-output-per-sample filters: out[i] = filter.Step(in[i]) over
// min(in, out) samples; returns how many were processed.
template <class Filter>
size_t StepBlock(Filter& filter, std::span<const double> in, std::span<double> out) {
  const size_t n = std::min(in.size(), out.size());
  for (size_t i = 0; i < n; ++i) out[i] = filter.Step(in[i]);
  return n;
}

}  // namespace vestrel
