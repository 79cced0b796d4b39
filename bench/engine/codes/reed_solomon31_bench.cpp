// The block modes' Reed-Solomon decoder on the blocks a receiver meets: clean code words, blocks
// with errors it corrects, and noise, which the PS2X5 receiver hands it once per bit while no
// block is found.
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <vector>

#include "engine/codes/reed_solomon31.h"

namespace vestrel {
namespace {

using Block = std::array<uint8_t, 31>;

std::vector<Block> Blocks(int errors, bool noise) {
  TReedSolomon31 rs;
  std::mt19937 rng(static_cast<unsigned>(errors * 7 + noise));
  std::vector<Block> out(256);
  for (Block& b : out) {
    if (noise) {
      for (uint8_t& s : b) s = static_cast<uint8_t>(rng() & 31);
      continue;
    }
    std::array<uint8_t, 15> info;
    for (uint8_t& s : info) s = static_cast<uint8_t>(rng() & 31);
    rs.Encode(info.data(), b.data());
    for (int j = 0; j < 15; ++j) b[16 + j] = info[j];
    for (int e = 0; e < errors; ++e) b[(e * 7 + rng() % 3) % 31] ^= static_cast<uint8_t>(1 + rng() % 31);
  }
  return out;
}

void Run(benchmark::State& state, int errors, bool noise) {
  TReedSolomon31 rs;
  const std::vector<Block> blocks = Blocks(errors, noise);
  Block out{};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(rs.BlockDecode(blocks[i].data(), out.data()));
    i = (i + 1) & 255;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BlockDecodeClean(benchmark::State& state) { Run(state, 0, false); }
void BM_BlockDecodeErrors(benchmark::State& state) { Run(state, static_cast<int>(state.range(0)), false); }
void BM_BlockDecodeNoise(benchmark::State& state) { Run(state, 0, true); }
BENCHMARK(BM_BlockDecodeClean);
BENCHMARK(BM_BlockDecodeErrors)->Arg(1)->Arg(4)->Arg(8);
BENCHMARK(BM_BlockDecodeNoise);

void BM_Encode(benchmark::State& state) {
  TReedSolomon31 rs;
  std::array<uint8_t, 15> info{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  std::array<uint8_t, 16> parity{};
  for (auto _ : state) {
    rs.Encode(info.data(), parity.data());
    benchmark::DoNotOptimize(parity.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Encode);

}  // namespace
}  // namespace vestrel
