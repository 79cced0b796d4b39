#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/dsp/decimator2.h"

namespace vestrel {

// The format record of a WAV file's "fmt " chunk: its first 20 bytes, little-endian.
struct TWaveFormatRecord {
  uint16_t FormatTag = 0;  // 1: PCM
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint32_t AvgBytesPerSec = 0;
  uint16_t BlockAlign = 0;  // bytes per frame
  uint16_t BitsPerSample = 0;
  std::array<uint8_t, 4> Extra{};  // what follows in a longer chunk (the extension size, ...)
};

// What decoding a file makes of its format.
enum class WaveFormatVerdict { kDecodable, kUnsupportedFormat, kUnsupportedRate };

// PCM (tag 1) of 8 or 16 bits with a block of channels x bytes per sample (1..16 bytes), at
// 11025, 22050 or 44100 frames per second.
WaveFormatVerdict CheckDecodable(const TWaveFormatRecord& format);

// Reads a WAV file sample by sample at about 11025 samples per second: 22050 and 44100 Hz go
// through one or two decimate-by-2 filters, the first channel is taken. The RIFF structure is
// parsed here, on a buffered stream, and trusts no size: chunks it does not need are skipped,
// every size is bounded by the file's. GUI thread only.
class TWaveRead {
 public:
  static constexpr uint32_t kMaxBlockAlign = 16;
  // The open results.
  static constexpr int kOpenFailed = -1, kNotWave = -2, kNoFormat = -3, kFormatShort = -4, kNoData = -5;

  TWaveRead();
  ~TWaveRead() { Close(); }
  TWaveRead(const TWaveRead&) = delete;
  TWaveRead& operator=(const TWaveRead&) = delete;

  // Opens the file, reads its format record and stands at the start of its samples. 0, or one of
  // the open results; on a failure the file is closed. The decimation filters start afresh.
  int Open(const std::string& fileName);
  // The same on a stream opened for reading (a file, or memory through fmemopen), which the
  // reader owns from here on and closes.
  int Open(std::FILE* stream);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  // One frame's first sample as 16 bits: 8-bit data gives (byte x 255) - 32640, 16-bit data the
  // little-endian sample. 0 when no frame remains. Every call while a frame remains consumes one
  // whole frame; a failed read ends the data and gives 0.
  int16_t ReadRawSample();
  // One sample at about 11025 Hz: one, two or four frames, by the file's rate.
  int16_t ReadSample();

  const TWaveFormatRecord& Format() const { return format_; }
  // Data bytes not yet read.
  uint32_t Remaining() const { return remaining_; }
  uint32_t FramesRemaining() const { return format_.BlockAlign == 0 ? 0 : remaining_ / format_.BlockAlign; }

 private:
  int Fail(int result);
  // Reads the next chunk header within `end`; false at the end or on a short read.
  bool NextChunk(uint64_t end, uint32_t& id, uint32_t& size);
  // The buffered stream: position, exact reads and skips.
  uint64_t Tell() const { return bufferStart_ + pos_; }
  bool ReadBytes(uint8_t* out, size_t n);
  bool Skip(uint64_t n);
  bool Refill();

  std::FILE* file_ = nullptr;
  uint64_t fileSize_ = 0;  // bytes of the file, or the largest value when it cannot be told
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
  size_t pos_ = 0, end_ = 0;  // read position and filled end in buffer_
  Decimator2 first_, second_;
  TWaveFormatRecord format_;
  uint32_t remaining_ = 0;  // data bytes not yet read
};

}  // namespace vestrel
