#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vestrel::test {

// WAV files written byte by byte, for the shapes no tool makes on request.
using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A chunk: tag, size (the body's unless given), body, pad byte after an odd body.
inline Bytes Chunk(const char* tag, const Bytes& body, int64_t size = -1) {
  Bytes b(tag, tag + 4);
  Put32(b, size < 0 ? uint32_t(body.size()) : uint32_t(size));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) b.push_back(0);
  return b;
}

struct FmtSpec {
  uint16_t tag = 1;
  uint16_t channels = 1;
  uint32_t rate = 11025;
  uint16_t bits = 16;
  int align = -1;        // -1: channels x bytes per sample
  uint32_t length = 16;  // bytes of the chunk body (the record, zero-padded or cut)
};

inline Bytes Fmt(const FmtSpec& f) {
  const uint16_t align = f.align >= 0 ? uint16_t(f.align) : uint16_t(f.channels * ((f.bits + 7) / 8));
  Bytes body;
  Put16(body, f.tag);
  Put16(body, f.channels);
  Put32(body, f.rate);
  Put32(body, f.rate * align);
  Put16(body, align);
  Put16(body, f.bits);
  body.resize(f.length, 0);
  return Chunk("fmt ", body);
}

// "RIFF", size (of what follows unless given), "WAVE", the chunks.
inline Bytes Riff(const std::vector<Bytes>& chunks, int64_t size = -1) {
  Bytes body{'W', 'A', 'V', 'E'};
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  Bytes b{'R', 'I', 'F', 'F'};
  Put32(b, size < 0 ? uint32_t(body.size()) : uint32_t(size));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

inline Bytes Samples16(const std::vector<int16_t>& s) {
  Bytes b;
  for (int16_t v : s) Put16(b, uint16_t(v));
  return b;
}

// A sine of `hz` at `rate` frames per second, `amplitude` peak.
inline std::vector<int16_t> Sine(double hz, uint32_t rate, size_t frames, double amplitude) {
  std::vector<int16_t> s(frames);
  for (size_t i = 0; i < frames; ++i)
    s[i] = int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / rate)));
  return s;
}

// A mono 16-bit PCM file of the samples.
inline Bytes MonoWave(const std::vector<int16_t>& s, uint32_t rate = 11025) {
  FmtSpec f;
  f.rate = rate;
  return Riff({Fmt(f), Chunk("data", Samples16(s))});
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline Bytes ReadBytes(const std::filesystem::path& path, size_t limit = SIZE_MAX) {
  std::ifstream in(path, std::ios::binary);
  Bytes b;
  for (std::istreambuf_iterator<char> it(in), end; it != end && b.size() < limit; ++it)
    b.push_back(uint8_t(*it));
  return b;
}

// The 44-byte header of a file as written by the program.
inline Bytes ReadHeader(const std::filesystem::path& path) {
  return ReadBytes(path, 44);
}

// Amplitude of the `hz` component (single-bin DFT), for telling a tone from its absence.
inline double ToneAmplitude(const std::vector<int16_t>& s, double hz, double rate) {
  double re = 0, im = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    re += s[i] * std::cos(2 * M_PI * hz * double(i) / rate);
    im += s[i] * std::sin(2 * M_PI * hz * double(i) / rate);
  }
  return s.empty() ? 0 : 2 * std::hypot(re, im) / double(s.size());
}

}  // namespace vestrel::test
