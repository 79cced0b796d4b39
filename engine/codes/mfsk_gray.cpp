#include "engine/codes/mfsk_gray.h"

namespace vestrel {

const std::array<uint8_t, 32> MfskGrayInverse = {0,  1,  3,  2,  7,  6,  4,  5,  15, 14, 12, 13, 8,  9,  11, 10,
                                                 31, 30, 28, 29, 24, 25, 27, 26, 16, 17, 19, 18, 23, 22, 20, 21};

}  // namespace vestrel
