#include "support/mfsk_signal.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "bench/harness/tx_setup.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_tx_links.h"

namespace vestrel::test {

namespace {

constexpr double kRate = 11025.0;

std::vector<int16_t> Run(const std::vector<int32_t>& symbols, const MfskTxOptions& o) {
  FakeEngineWindow window;
  FakeRxSink rx;
  auto engine = std::make_unique<TEngine>(window, rx);
  engine->Start();
  engine->rates.OutSamplingFreq = o.outRate;
  SetTxModeForHarness(*engine, o.mode, 45.0, o.centreHz, 170, o.reverse);
  engine->tx.RxAtFreeBuffer = o.rxAtFreeBuffer;
  FakeTxLinks links(engine->txBuffers);
  engine->txPump.Connect(links.Links());
  links.sound.OpenSoundOutput();
  engine->tx.TxState = 1;
  for (int32_t s : symbols) engine->TxQueue.QueueTxSymbol(s);
  const double lowerHz = UnitsToHz(engine->params.TxTone[0], o.outRate);
  for (int guard = 0; engine->tx.TxState != 0 && guard < 100000; ++guard) {
    if (o.driftHzPerSecond != 0.0) {
      size_t sent = 0;
      for (const auto& w : links.sound.written) sent += w.samples.size();
      engine->freq.SetTxFrequency(lowerHz + o.driftHzPerSecond * static_cast<double>(sent) / o.outRate);
    }
    engine->txPump.PumpTxAudio();
    while (links.sound.Complete()) {
    }
  }
  return links.sound.Stream();
}

}  // namespace

std::vector<int16_t> TransmitMfskSymbols(const std::vector<int32_t>& symbols, const MfskTxOptions& o) {
  return Run(symbols, o);
}

std::vector<int16_t> TransmitMfsk(const std::string& text, const MfskTxOptions& o) {
  std::vector<int32_t> symbols = {-1, -1};
  for (unsigned char c : text) symbols.push_back(c);
  symbols.push_back(-1);
  symbols.push_back(-3);
  return Run(symbols, o);
}

std::vector<int16_t> AddNoise(std::span<const int16_t> samples, double snrDb, uint32_t seed, double gain) {
  // The keyed signal's power: the mean square over the samples of the transmission that carry
  // it (the preamble's gap and trailing silence excluded).
  double power = 0.0;
  size_t keyed = 0;
  for (int16_t s : samples) {
    if (s == 0) continue;
    power += (gain * s) * (gain * s);
    ++keyed;
  }
  power = keyed ? power / keyed : 0.0;
  // White noise of variance v spreads over 0..5512.5 Hz; 3000 Hz of it hold v x 3000/5512.5.
  const double noiseIn3k = power / std::pow(10.0, snrDb / 10.0);
  const double sigma = std::sqrt(noiseIn3k * (kRate / 2.0) / 3000.0);
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  std::vector<int16_t> out(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    const double v = gain * samples[i] + noise(rng);
    out[i] = static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
  }
  return out;
}

std::string ReceiveMfsk(std::span<const int16_t> samples, const MfskRxOptions& o) {
  FakeEngineWindow window;
  FakeRxSink sink;
  auto engine = std::make_unique<TEngine>(window, sink);
  engine->Start();
  TModemParams& p = engine->params;
  p.Reverse = o.reverse ? 1 : 0;
  p.RxTone[0] = p.RxTone[1] = HzToUnits(o.centreHz);
  engine->modeSwitch.SetMode(o.mode);
  if (o.squelch >= 0) {
    engine->rxBlocks.IsSquelch = 1;
    engine->rxBlocks.SetSquelchPosition(o.squelch);
  }
  engine->rxBlocks.PushCaptured(samples);
  // The decoders' lag: 30 symbols of interleaving and 66 code bits, with room.
  const double symbolRate = ModeRowOf(o.mode).symbolRate;
  const std::vector<int16_t> silence(static_cast<size_t>(80 * kRate / symbolRate) + 2048, 0);
  engine->rxBlocks.PushCaptured(std::span<const int16_t>(silence));
  std::string text;
  for (char c : sink.text)
    if (c != '\0') text.push_back(c);
  return text;
}

double MfskEbN0(int32_t mode, double snrDb) {
  const ModeRow& row = ModeRowOf(mode);
  const int bits = row.mfskTones == 32 ? 5 : 4;
  const double infoRate = row.symbolRate * bits / 2.0;
  return snrDb + 10.0 * std::log10(3000.0 / infoRate);
}

}  // namespace vestrel::test
