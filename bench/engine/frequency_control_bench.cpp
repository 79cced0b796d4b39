// The AFC: one pass of each kind on a spectrum with a signal two bins off the tones (so every
// pass moves the tones and retunes its receivers, the dearer case), the PSK pass on a signal it
// follows, the receive chains of RTTY and BPSK31 with AFC on, following a signal sent 20 Hz
// off, as multiples of real time, and every PSK mode's receive speed with AFC off and on.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "bench/harness/null_engine_window.h"
#include "bench/harness/receive_chain.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"

namespace {

using namespace vestrel;

// The peak spectrum of a noise floor and a tone hump (half-width 8 bins) at each given bin.
void FillSpectrum(SpectrumArrays& s, std::initializer_list<int> tones) {
  uint32_t lfsr = 0xACE1u;
  for (int k = SpectrumArrays::kFirstBin; k <= SpectrumArrays::kLastBin; ++k) {
    lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xB400u);
    s.SpectrumPeak[k] = 0.001f * static_cast<float>(lfsr & 0xFF) / 255.0f;
  }
  for (int c : tones)
    for (int d = -8; d <= 8; ++d) s.SpectrumPeak[c + d] += static_cast<float>(9 - std::abs(d)) / 9.0f;
}

void OnePass(benchmark::State& state, int32_t mode, double baud, AfcPass pass) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  TModemParams& p = engine.params;
  p.Baud = baud;
  engine.modeSwitch.SetMode(mode);
  if (ModeRowOf(mode).speedMenu) engine.modeSwitch.SetBaudRate(baud);
  TFrequencyControl& f = engine.freq;
  f.SetRxPosition(HzToUnits(1500.0));
  const TModemParams start = p;
  const int lo = p.RxToneBin[0] + 2;
  if (ModeRowOf(mode).SingleTone()) {
    const int s = static_cast<int>(std::lround(ModeRowOf(mode).symbolRate * 2048.0 / 11025.0));
    FillSpectrum(engine.rxBlocks.Spectrum, {lo - s / 2, lo - s / 2 + s});
  } else {
    FillSpectrum(engine.rxBlocks.Spectrum, {lo, lo + p.RxShiftBin});
  }
  for (auto _ : state) {
    // Back to the start without a retune, so that the pass moves again.
    for (int i = 0; i < 2; ++i) {
      p.RxTone[i] = start.RxTone[i];
      p.RxToneBin[i] = start.RxToneBin[i];
    }
    f.Tune(pass);
    benchmark::DoNotOptimize(p.RxTone[0]);
  }
  state.counters["moved_bins"] = p.RxToneBin[0] - start.RxToneBin[0];
}

BENCHMARK_CAPTURE(OnePass, Psk31, kModeBpsk31, 31.25, AfcPass::kPsk);
BENCHMARK_CAPTURE(OnePass, Psk125, kModeBpsk125, 125.0, AfcPass::kPsk);
BENCHMARK_CAPTURE(OnePass, Fsk100, kModeRtty, 100.0, AfcPass::kFsk);
BENCHMARK_CAPTURE(OnePass, FskSeparate45, kModeRtty, 45.0, AfcPass::kFskSeparate);
BENCHMARK_CAPTURE(OnePass, Mfsk16, kModeMfsk16, 15.625, AfcPass::kMfsk);
BENCHMARK_CAPTURE(OnePass, Ps33x5, kModePs33x5, 6.25, AfcPass::kPs33x5);

// 10 s of continuous-phase FSK of pseudo-random bits, or of BPSK with raised-cosine reversals.
std::vector<float> FskSignal(double baud, double lowHz, double highHz) {
  const size_t n = 11025 * 10 / 2048 * 2048;
  std::vector<float> x(n);
  double phase = 0.0;
  uint32_t lfsr = 0xACE1u;
  bool bit = true;
  for (size_t i = 0; i < n; ++i) {
    if (std::fmod(static_cast<double>(i), 11025.0 / baud) < 1.0) {
      lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xB400u);
      bit = (lfsr & 1u) != 0;
    }
    phase += 2.0 * std::numbers::pi * (bit ? highHz : lowHz) / 11025.0;
    x[i] = static_cast<float>(8000.0 * std::sin(phase));
  }
  return x;
}

std::vector<float> BpskSignal(double baud, double toneHz) {
  const size_t n = 11025 * 10 / 2048 * 2048;
  std::vector<float> x(n);
  const double symbol = 11025.0 / baud;
  uint32_t lfsr = 0xACE1u;
  double from = 1.0, to = 1.0, start = 0.0;
  size_t next = 0;
  for (size_t i = 0; i < n; ++i) {
    if (i >= next) {
      lfsr = (lfsr >> 1) ^ (-(lfsr & 1u) & 0xB400u);
      from = to;
      if (lfsr & 1u) to = -to;
      start = static_cast<double>(next);
      next = static_cast<size_t>(std::ceil(start + symbol));
    }
    const double c = std::cos(std::numbers::pi * (static_cast<double>(i) - start) / symbol);
    const double z = from * (1 + c) / 2.0 + to * (1 - c) / 2.0;
    x[i] = static_cast<float>(8000.0 * z * std::sin(2.0 * std::numbers::pi * toneHz * static_cast<double>(i) / 11025.0));
  }
  return x;
}

void ReceiveChainWithAfc(benchmark::State& state, int32_t mode, double baud) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.params.Baud = baud;
  engine.params.RxTone[0] = engine.params.RxTone[1] = HzToUnits(1500.0);
  engine.modeSwitch.SetMode(mode);
  engine.rxBlocks.AfcOn = 1;
  const ModeRow& row = ModeRowOf(mode);
  const std::vector<float> x = row.SingleTone() ? BpskSignal(row.symbolRate, 1520.0)
                                                : FskSignal(baud == 45.0 ? 45.45 : baud, 1520.0 - 85, 1520.0 + 85);
  harness::RunReceiveChain(state, engine, sink, x);
}

BENCHMARK_CAPTURE(ReceiveChainWithAfc, Rtty45, kModeRtty, 45.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChainWithAfc, Rtty100, kModeRtty, 100.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReceiveChainWithAfc, Bpsk31, kModeBpsk31, 31.25)->Unit(benchmark::kMillisecond);

// The PSK pass once the receiver follows a signal: the receiver's sums of a block, the
// spectrum's search and noise floor, the loop; the tone stays (the dearer case of a move is
// OnePass above).
void PskPassOnASignal(benchmark::State& state, int32_t mode) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.modeSwitch.SetMode(mode);
  engine.freq.SetRxFrequency(1500.0);
  engine.rxBlocks.AfcOn = 1;
  const std::vector<float> x = BpskSignal(ModeRowOf(mode).symbolRate, 1500.0);
  for (size_t i = 0; i + TRxBlockProcessor::kBlockSize <= x.size(); i += TRxBlockProcessor::kBlockSize)
    engine.rxBlocks.ProcessInputBlock(&x[i]);
  for (auto _ : state) benchmark::DoNotOptimize(engine.freq.AfcTunePsk());
  state.counters["tone_hz"] = UnitsToHz(engine.params.RxTone[0]);
}

BENCHMARK_CAPTURE(PskPassOnASignal, Bpsk31, kModeBpsk31);
BENCHMARK_CAPTURE(PskPassOnASignal, Bpsk125, kModeBpsk125);
BENCHMARK_CAPTURE(PskPassOnASignal, Qpsk63, kModeQpsk63);

// Receive speed of every PSK mode with AFC off (0) and on (1), on a signal on the tone: the
// two should be within a few percent (the pass runs once per 2048 samples).
void PskReceiveAfcOffOn(benchmark::State& state, int32_t mode) {
  harness::NullEngineWindow window;
  harness::CountingRxSink sink;
  TEngine engine(window, sink);
  engine.Start();
  engine.modeSwitch.SetMode(mode);
  engine.freq.SetRxFrequency(1500.0);
  engine.rxBlocks.AfcOn = static_cast<int>(state.range(0));
  harness::RunReceiveChain(state, engine, sink, BpskSignal(ModeRowOf(mode).symbolRate, 1500.0));
}

BENCHMARK_CAPTURE(PskReceiveAfcOffOn, Bpsk31, kModeBpsk31)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PskReceiveAfcOffOn, Bpsk63, kModeBpsk63)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PskReceiveAfcOffOn, Bpsk125, kModeBpsk125)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PskReceiveAfcOffOn, Qpsk31, kModeQpsk31)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PskReceiveAfcOffOn, Qpsk63, kModeQpsk63)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
