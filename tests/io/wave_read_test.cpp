#include "io/wave_read.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>

#include "support/wave_bytes.h"

namespace vestrel {
namespace {

using test::Bytes;
using test::Chunk;
using test::Fmt;
using test::FmtSpec;
using test::Riff;

// Opens bytes from memory; the stream reads them for as long as the test program runs.
int OpenBytes(TWaveRead& r, Bytes b) {
  static std::deque<Bytes> kept;
  kept.push_back(std::move(b));
  return r.Open(fmemopen(kept.back().data(), kept.back().size(), "rb"));
}

std::vector<int16_t> ReadAll(TWaveRead& r, bool raw = false) {
  std::vector<int16_t> out;
  while (r.FramesRemaining() > 0) out.push_back(raw ? r.ReadRawSample() : r.ReadSample());
  return out;
}

FmtSpec Spec(uint32_t length) {
  FmtSpec f;
  f.length = length;
  return f;
}

TEST(WaveRead, ChunkLayoutsAndBrokenFiles) {
  const Bytes data = Chunk("data", test::Samples16({100, -200, 300}));
  const Bytes fmt = Fmt(FmtSpec{});
  struct Case {
    const char* what;
    Bytes file;
    int result;
    uint32_t frames;  // when opened
  };
  const Bytes fmtOnly = Riff({fmt});
  const Case cases[] = {
      {"plain", Riff({fmt, data}), 0, 3},
      {"odd LIST before data", Riff({fmt, Chunk("LIST", {'I', 'N', 'F', 'O', 'x'}), data}), 0, 3},
      {"odd LIST before fmt", Riff({Chunk("LIST", {'a', 'b', 'c'}), fmt, Chunk("fact", {4, 0, 0, 0}), data}),
       0, 3},
      {"fmt of 18 bytes", Riff({Fmt(Spec(18)), data}), 0, 3},
      {"fmt of 40 bytes", Riff({Fmt(Spec(40)), data}), 0, 3},
      {"odd fmt of 17 bytes", Riff({Fmt(Spec(17)), data}), 0, 3},
      {"fmt of 14 bytes", Riff({Fmt(Spec(14)), data}), TWaveRead::kFormatShort, 0},
      {"fmt cut by the end", Bytes(fmtOnly.begin(), fmtOnly.begin() + 30), TWaveRead::kFormatShort, 0},
      {"data past the end", Riff({fmt, Chunk("data", test::Samples16({1, 2}), 1000000)}), 0, 2},
      {"odd data size", Riff({fmt, Chunk("data", {1, 2, 3, 4, 5})}), 0, 2},
      {"RIFF size beyond the file", Riff({fmt, data}, 0xFFFFFFFF), 0, 3},
      {"RIFF size ending before data", Riff({fmt, data}, 4 + 24), TWaveRead::kNoData, 0},
      {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, TWaveRead::kNotWave, 0},
      {"RIFF of another form", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, TWaveRead::kNotWave,
       0},
      {"shorter than a RIFF header", Bytes{'R', 'I', 'F', 'F'}, TWaveRead::kNotWave, 0},
      {"no fmt", Riff({data}), TWaveRead::kNoFormat, 0},
      {"a chunk claiming the rest", Riff({Chunk("LIST", {1, 2}, 0xFFFFFFF0), fmt, data}),
       TWaveRead::kNoFormat, 0},
      {"no data", Riff({fmt}), TWaveRead::kNoData, 0},
      {"data before fmt", Riff({data, fmt}), TWaveRead::kNoData, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TWaveRead r;
    ASSERT_EQ(OpenBytes(r, c.file), c.result);
    EXPECT_EQ(r.IsOpen(), c.result == 0);
    EXPECT_EQ(r.FramesRemaining(), c.frames);
    if (c.result == 0) {
      EXPECT_EQ(r.Format().FormatTag, 1);
      EXPECT_EQ(r.Format().SamplesPerSec, 11025u);
      EXPECT_EQ(r.Format().BlockAlign, 2);
      const std::vector<int16_t> got = ReadAll(r);
      EXPECT_EQ(got.size(), c.frames);
      if (c.frames == 3) {
        EXPECT_EQ(got, (std::vector<int16_t>{100, -200, 300}));
      }
    }
  }
}

TEST(WaveRead, MissingFileAndTheFormatRecord) {
  TWaveRead r;
  EXPECT_EQ(r.Open("/nonexistent/x.wav"), TWaveRead::kOpenFailed);
  FmtSpec f;
  f.tag = 0xFFFE;
  f.channels = 2;
  f.rate = 22050;
  f.length = 40;
  Bytes fmt = Fmt(f);
  fmt[8 + 16] = 22;  // the extension size, the first of the four bytes after the 16
  ASSERT_EQ(OpenBytes(r, Riff({fmt, Chunk("data", Bytes(8))})), 0);
  const TWaveFormatRecord& got = r.Format();
  EXPECT_EQ(got.FormatTag, 0xFFFE);
  EXPECT_EQ(got.Channels, 2);
  EXPECT_EQ(got.SamplesPerSec, 22050u);
  EXPECT_EQ(got.AvgBytesPerSec, 88200u);
  EXPECT_EQ(got.BlockAlign, 4);
  EXPECT_EQ(got.BitsPerSample, 16);
  EXPECT_EQ(got.Extra[0], 22);
}

TEST(WaveRead, FramesToSamples) {
  {  // 8-bit: byte 128 is silence
    FmtSpec f;
    f.bits = 8;
    TWaveRead r;
    ASSERT_EQ(OpenBytes(r, Riff({Fmt(f), Chunk("data", {0, 128, 255, 1})})), 0);
    EXPECT_EQ(ReadAll(r), (std::vector<int16_t>{-32640, 0, 32385, -32385}));
  }
  {  // stereo: the left channel
    FmtSpec f;
    f.channels = 2;
    TWaveRead r;
    ASSERT_EQ(OpenBytes(r, Riff({Fmt(f), Chunk("data", test::Samples16({5, 9, -6, 9, 7, 9}))})), 0);
    EXPECT_EQ(ReadAll(r), (std::vector<int16_t>{5, -6, 7}));
  }
  {  // a block longer than 16 bytes is stepped over whole
    FmtSpec f;
    f.channels = 10;
    TWaveRead r;
    Bytes d;
    for (int16_t frame = 1; frame <= 3; ++frame)
      for (int ch = 0; ch < 10; ++ch) test::Put16(d, uint16_t(frame * 100 + ch));
    ASSERT_EQ(OpenBytes(r, Riff({Fmt(f), Chunk("data", d)})), 0);
    EXPECT_EQ(ReadAll(r, true), (std::vector<int16_t>{100, 200, 300}));
  }
  {  // block align 0: no frame at all, and reads give 0
    FmtSpec f;
    f.align = 0;
    TWaveRead r;
    ASSERT_EQ(OpenBytes(r, Riff({Fmt(f), Chunk("data", Bytes(64, 1))})), 0);
    EXPECT_EQ(r.FramesRemaining(), 0u);
    EXPECT_EQ(r.ReadRawSample(), 0);
    EXPECT_EQ(r.Remaining(), 64u);
  }
}

// 22050 and 44100 Hz come out at 11025 samples per second, low-passed: a tone below 5 kHz passes
// (the filter's DC gain is 0.986 per stage), one that would alias is stopped.
TEST(WaveRead, HigherRatesAreDecimated) {
  struct Case {
    uint32_t rate;
    double hz;
    double minGain, maxGain;
  };
  const Case cases[] = {
      {11025, 1000, 0.999, 1.001},
      {22050, 1000, 0.97, 1.02},
      {22050, 7000, 0.0, 0.01},  // would alias to 4025 Hz
      {44100, 1000, 0.97, 1.02},
      {44100, 8000, 0.0, 0.01},  // passes the first stage, stopped by the second (would alias to 3025 Hz)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz file, " << c.hz << " Hz tone");
    const size_t frames = c.rate;  // one second
    TWaveRead r;
    const Bytes file = test::MonoWave(test::Sine(c.hz, c.rate, frames, 10000), c.rate);
    ASSERT_EQ(OpenBytes(r, file), 0);
    std::vector<int16_t> out = ReadAll(r);
    EXPECT_EQ(out.size(), frames / (c.rate / 11025));
    out.erase(out.begin(), out.begin() + 100);  // the filters' start
    const double hz = c.hz < 5512 ? c.hz : std::abs(c.hz - 11025.0 * std::round(c.hz / 11025.0));
    const double gain = test::ToneAmplitude(out, hz, 11025) / 10000;
    EXPECT_GE(gain, c.minGain);
    EXPECT_LE(gain, c.maxGain);
  }
}

TEST(WaveRead, FullScaleInputStaysInRange) {
  // A square wave at full scale overshoots the filters; the samples saturate instead of wrapping.
  std::vector<int16_t> square(44100);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 20) % 2 ? 32767 : -32768;
  TWaveRead r;
  ASSERT_EQ(OpenBytes(r, test::MonoWave(square, 44100)), 0);
  const std::vector<int16_t> out = ReadAll(r);
  // Wrapped values would land anywhere; saturated ones sit at the limits.
  EXPECT_GT(std::count(out.begin(), out.end(), int16_t{32767}), 100);
  EXPECT_GT(std::count(out.begin(), out.end(), int16_t{-32768}), 100);
  for (size_t i = 1; i < out.size(); ++i) ASSERT_LT(std::abs(out[i] - out[i - 1]), 60000) << i;
}

TEST(WaveRead, WhatDecodingAccepts) {
  struct Case {
    FmtSpec f;
    WaveFormatVerdict verdict;
  };
  auto spec = [](uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int align = -1) {
    FmtSpec f;
    f.tag = tag;
    f.channels = channels;
    f.rate = rate;
    f.bits = bits;
    f.align = align;
    return f;
  };
  using V = WaveFormatVerdict;
  const Case cases[] = {
      {spec(1, 1, 11025, 16), V::kDecodable},
      {spec(1, 2, 22050, 16), V::kDecodable},
      {spec(1, 1, 44100, 8), V::kDecodable},
      {spec(1, 8, 11025, 16), V::kDecodable},
      {spec(1, 1, 48000, 16), V::kUnsupportedRate},
      {spec(1, 1, 8000, 8), V::kUnsupportedRate},
      {spec(3, 1, 11025, 32), V::kUnsupportedFormat},       // float
      {spec(0xFFFE, 1, 11025, 16), V::kUnsupportedFormat},  // extensible
      {spec(1, 1, 11025, 24), V::kUnsupportedFormat},       // 24-bit PCM
      {spec(1, 1, 11025, 16, 0), V::kUnsupportedFormat},    // block align 0
      {spec(1, 1, 11025, 16, 4), V::kUnsupportedFormat},    // block align not channels x bytes
      {spec(1, 9, 11025, 16), V::kUnsupportedFormat},       // 18-byte frames
      {spec(1, 0, 11025, 16), V::kUnsupportedFormat},       // no channels
      {spec(3, 1, 48000, 32), V::kUnsupportedFormat},       // the format is told first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "tag " << c.f.tag << ", " << c.f.channels << " ch, " << c.f.rate
                                    << " Hz, " << c.f.bits << " bits, align " << c.f.align);
    TWaveRead r;
    ASSERT_EQ(OpenBytes(r, Riff({Fmt(c.f), Chunk("data", Bytes(64))})), 0);
    EXPECT_EQ(CheckDecodable(r.Format()), c.verdict);
  }
}

}  // namespace
}  // namespace vestrel
