#include "engine/modes/amtor/fsk_speed_filter.h"

#include "engine/modes/rtty/rtty_taps.h"

namespace vestrel {

namespace {

using namespace rtty_taps;

template <int N>
constexpr FskSpeedFilterRow Row(int maxBaud, int path, const double (&table)[N]) {
  return {maxBaud, path, N, table};
}

}  // namespace

// Rows with equal tap counts share one table: the 55-tap filter of 58..67 Bd is the one of
// 151..200 Bd, the 43-tap one serves all three paths; the two 80-tap filters differ.
const std::array<FskSpeedFilterRow, 18> FskSpeedFilterTable = {
    Row(45, 919, kLp80_0305),     Row(50, 919, kLp72_0340),     Row(57, 919, kLp80_0380),
    Row(67, 919, kLp55_0469),     Row(76, 919, kLp72_0505),     Row(83, 919, kLp67_0555),
    Row(90, 919, kLp53_0555),     Row(100, 919, kLp43_0675),    Row(114, 919, kLp42_0760),
    Row(150, 2756, kLp73_0320),   Row(200, 2756, kLp55_0469),   Row(220, 2756, kLp51_0471),
    Row(300, 2756, kLp43_0675),   Row(400, 2756, kLp37_0870),   Row(600, 2756, kLp23_1230),
    Row(1200, 11025, kLp43_0675), Row(1600, 11025, kLp37_0870), Row(1 << 30, 11025, kLp23_1230),
};

const FskSpeedFilterRow& SelectFskSpeedFilter(int baud) {
  for (const FskSpeedFilterRow& r : FskSpeedFilterTable)
    if (baud <= r.maxBaud) return r;
  return FskSpeedFilterTable.back();
}

}  // namespace vestrel
