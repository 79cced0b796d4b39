#include "engine/modes/psk/qpsk_code.h"

namespace vestrel {

namespace {

// Distance of a received step from an expected one: 0 equal, 2 a quarter turn apart, 3 a half
// turn.
constexpr int32_t kDistance[4][4] = {{0, 2, 3, 2}, {2, 0, 2, 3}, {3, 2, 0, 2}, {2, 3, 2, 0}};

constexpr int32_t kStartMetrics[TQpskViterbi::kStates] = {9, 10, 5, 7, 7, 5, 8, 9, 7, 5, 7, 6, 5, 4, 2, 0};

}  // namespace

void TQpskViterbi::Reset() {
  for (int s = 0; s < kStates; ++s) Metrics[s] = kStartMetrics[s];
  Histories.fill(0);
}

int TQpskViterbi::Decode(int step) {
  const int32_t* d = kDistance[step & 3];
  // Transition t leaves state t >> 1 with input bit t & 1 and reaches state t & 15.
  int32_t metric[2 * kStates];
  uint32_t history[2 * kStates];
  int32_t smallest = INT32_MAX;
  for (uint32_t t = 0; t < 2 * kStates; ++t) {
    metric[t] = d[kQpskEncoder[t]] + Metrics[t >> 1];
    history[t] = (Histories[t >> 1] << 1) | (t & 1u);
    if (metric[t] < smallest) smallest = metric[t];
  }
  Growth = smallest;
  int ones = 0;
  for (int s = 0; s < kStates; ++s) {
    // The later candidate wins a tie.
    const int t = metric[s] < metric[s + kStates] ? s : s + kStates;
    Metrics[s] = metric[t] - smallest;
    Histories[s] = history[t];
    ones += static_cast<int>((history[t] >> kLag) & 1u);
  }
  return ones < kStates / 2 ? 1 : 0;
}

}  // namespace vestrel
