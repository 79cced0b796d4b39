#include "engine/dsp/decimator3.h"

namespace vestrel {

namespace {
constexpr double kC27Half[] = {-0.00028892587, -0.0012431135, -0.0033184787, -0.0065777314, -0.010172455,
                               -0.011982908,   -0.0087991708, 0.0027573615,  0.024743232,   0.05640933,
                               0.09349033,     0.12882953,    0.15434156,    0.16367159};
}  // namespace

constinit const std::array<double, 27> kC27 = MirrorTaps<27>(kC27Half);

}  // namespace vestrel
