#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/modes/ps2x5/block_modulator.h"
#include "engine/tx_symbol_queue.h"
#include "support/fake_tx_links.h"
#include "support/fsk_signal.h"

namespace vestrel::test {

// Changes chosen symbols of block `index` (0 the first) before they are sent.
using BlockCorruption = std::function<void(int index, BlockSymbols& symbols)>;

// A whole block-mode transmission straight through a modulator, as the pump sends `text`
// followed by the block end: the start, a data block for every 7 characters, an end block with
// the rest (0 to 6 characters), `idleSymbols` idle symbols, the end.
inline std::vector<int16_t> ModulateBlocks(TBlockModulator& m, std::string_view text,
                                           const BlockCorruption& corrupt = nullptr, int idleSymbols = 0) {
  std::vector<int16_t> out;
  std::vector<int16_t> scratch(m.MaxSymbolSamples());
  auto emit = [&](int code) {
    const uint32_t n = m.EncodeSymbol(code, scratch.data());
    out.insert(out.end(), scratch.begin(), scratch.begin() + n);
  };
  emit(kTxPreamble);
  size_t at = 0;
  for (int index = 0;; ++index) {
    const size_t left = text.size() - at;
    const bool end = left < 7;
    BlockBytes bytes{};
    const int length = static_cast<int>(std::min<size_t>(left, 7));
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(text[at + i]);
    if (end) bytes[length] = kEndOfText;
    BlockSymbols symbols, echo;
    m.BuildBlock(bytes, end, length, symbols, echo);
    if (corrupt) corrupt(index, symbols);
    for (uint8_t s : symbols) emit(s);
    at += length;
    if (end) break;
  }
  for (int i = 0; i < idleSymbols; ++i) emit(0);
  emit(kTxEnd);
  return out;
}

// The transmission of `text` by the engine's own transmit pump in `mode` (tones around
// centreHz at the engine's OutSamplingFreq): the text, the block end and the end of
// transmission queued as the end commands do, played to the end through a fake device.
inline std::vector<int16_t> PumpTransmission(TEngine& engine, int mode, double baud, double centreHz, int shiftHz,
                                             bool reverse, std::string_view text) {
  TModemParams& p = engine.params;
  p.TxTone[0] = p.TxTone[1] = HzToUnits(centreHz, engine.rates.OutSamplingFreq);
  p.ShiftHz = shiftHz;
  p.Ps2x5Shift = shiftHz;
  p.Baud = baud;
  p.Ps2x5Speed = static_cast<int32_t>(baud + 0.5);
  p.Ps33x5SpeedX = static_cast<int32_t>(baud / 1.5625 + 0.5);
  engine.Start();
  engine.modeSwitch.SetMode(mode);
  p.Reverse = reverse ? 1 : 0;
  FakeTxLinks links(engine.txBuffers);
  engine.txPump.Connect(links.Links());
  links.sound.OpenSoundOutput();
  engine.tx.TxState = 1;
  for (unsigned char c : text) engine.TxQueue.PostTxSymbol(c);
  engine.TxQueue.PostTxSymbol(kTxBlockPad);
  engine.TxQueue.PostTxSymbol(kTxEnd);
  engine.txPump.PumpTxAudio();
  while (engine.tx.TxState != 0 && links.sound.written.size() < 100000) {
    if (!links.sound.Complete()) break;
    engine.txPump.PumpTxAudio();
  }
  TxPumpLinks none;
  engine.txPump.Connect(none);
  return links.sound.Stream();
}

// A channel: the signal scaled by `gain`, white Gaussian noise of `noiseRms` (same units),
// silence before and after, rounded and clipped to 16 bits.
struct Channel {
  double gain = 0.25;
  double noiseRms = 0.0;
  uint32_t seed = 1;
  size_t leadSilence = 5000;
  size_t tailSilence = 5000;
};

inline std::vector<int16_t> ThroughChannel(const std::vector<int16_t>& signal, const Channel& c) {
  std::mt19937 rng(c.seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<int16_t> out;
  out.reserve(signal.size() + c.leadSilence + c.tailSilence);
  auto push = [&](double x) {
    if (c.noiseRms > 0.0) x += c.noiseRms * noise(rng);
    out.push_back(static_cast<int16_t>(std::clamp(std::lround(x), -32767L, 32767L)));
  };
  for (size_t i = 0; i < c.leadSilence; ++i) push(0.0);
  for (int16_t s : signal) push(c.gain * s);
  for (size_t i = 0; i < c.tailSilence; ++i) push(0.0);
  return out;
}

// Noise for a stated Eb/N0 on a signal of peak `amplitude` at 11025 samples/s: Eb = A^2/2 /
// bitRate, N0 = s^2 / (11025/2).
inline double NoiseRmsFor(double amplitude, double bitRate, double ebN0Db) {
  return amplitude * std::sqrt(11025.0 / (4.0 * bitRate * std::pow(10.0, ebN0Db / 10.0)));
}

// Switches an engine to a block mode for receiving, the way the menus do, and decodes the
// samples through the whole receive chain with enough silence after them for the decoder's
// lag; returns what it printed. Block files only when `capture` says so.
inline void SetRxMode(TEngine& engine, int mode, double baud, double centreHz, int shiftHz, bool reverse,
                      int filterWidth = 0) {
  TModemParams& p = engine.params;
  engine.Start();
  p.FilterWidth = filterWidth;
  p.ShiftHz = shiftHz;
  p.Ps2x5Shift = shiftHz;
  p.Baud = baud;
  p.Ps2x5Speed = static_cast<int32_t>(baud + 0.5);
  p.Ps33x5SpeedX = static_cast<int32_t>(baud / 1.5625 + 0.5);
  p.RxTone[0] = p.RxTone[1] = HzToUnits(centreHz);
  engine.modeSwitch.SetMode(mode);
  p.Reverse = reverse ? 1 : 0;
}

inline void Receive(TEngine& engine, const std::vector<int16_t>& samples, double baud) {
  engine.rxBlocks.PushCaptured(std::span<const int16_t>(samples));
  const std::vector<int16_t> silence(static_cast<size_t>(40.0 * 11025.0 / baud) + 4 * 2048, 0);
  engine.rxBlocks.PushCaptured(std::span<const int16_t>(silence));
}

// The text of what a block-mode receiver printed: the messages' text without line breaks,
// lost-block marks or reports; and the reports' rates in tenths of a percent.
inline std::string TextOf(const std::string& printed) {
  std::string out;
  for (size_t i = 0; i < printed.size();) {
    if (printed.compare(i, 2, "\r\n") == 0) {
      i += 2;
    } else if (printed.compare(i, 4, "{ER=") == 0) {
      const size_t close = printed.find('}', i);
      i = close == std::string::npos ? printed.size() : close + 1;
    } else {
      out += printed[i++];
    }
  }
  return out;
}

inline std::vector<double> RatesOf(const std::string& printed) {
  std::vector<double> rates;
  for (size_t i = printed.find("{ER="); i != std::string::npos; i = printed.find("{ER=", i + 1))
    rates.push_back(std::stod(printed.substr(i + 4)));
  return rates;
}

// One rung of a noise ladder: the signal of `text` (peak 32000) taken down to 1000 peak under
// white noise for `ebN0Db` at `bitRate`, decoded once per seed 1..seeds by decode(channel),
// which returns what the receiver printed. The characters right over all seeds, and the first
// report's rate averaged (100 for a run without one).
struct LadderRung {
  int chars = 0;
  double rate = 0.0;
};

template <class Decode>
LadderRung ClimbRung(const std::string& text, double bitRate, double ebN0Db, uint32_t seeds, Decode&& decode) {
  LadderRung out;
  for (uint32_t seed = 1; seed <= seeds; ++seed) {
    Channel c;
    c.gain = 1000.0 / 32000.0;
    c.noiseRms = NoiseRmsFor(1000.0, bitRate, ebN0Db);
    c.seed = seed;
    const std::string got = decode(c);
    out.chars += static_cast<int>(text.size()) -
                 static_cast<int>(std::lround(CharacterErrorRate(text, TextOf(got)) * text.size()));
    const std::vector<double> rates = RatesOf(got);
    out.rate += rates.empty() ? 100.0 : rates.front();
  }
  out.rate /= seeds;
  return out;
}

// A noise ladder: every rung's characters (of seeds x text) and averaged rate between their
// bounds, printed as measured.
struct RungBounds {
  double ebN0Db;
  int lowChars, highChars;
  double lowRate, highRate;
};

template <class Decode>
void ClimbLadder(const char* name, const std::string& text, double bitRate, uint32_t seeds,
                 std::span<const RungBounds> rungs, Decode&& decode) {
  for (const RungBounds& r : rungs) {
    const LadderRung got = ClimbRung(text, bitRate, r.ebN0Db, seeds, decode);
    std::printf("%s Eb/N0 %.0f dB: %d characters right of %zu, ER %.2f %%\n", name, r.ebN0Db, got.chars,
                seeds * text.size(), got.rate);
    EXPECT_GE(got.chars, r.lowChars) << r.ebN0Db;
    EXPECT_LE(got.chars, r.highChars) << r.ebN0Db;
    EXPECT_GE(got.rate, r.lowRate) << r.ebN0Db;
    EXPECT_LE(got.rate, r.highRate) << r.ebN0Db;
  }
}

}  // namespace vestrel::test
