#include "io/wave_read.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vestrel {

namespace {

constexpr size_t kBufferBytes = 65536;
constexpr uint64_t kUnknownSize = std::numeric_limits<uint64_t>::max();

constexpr uint32_t Tag(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Half up, within the 16-bit range (a full-scale input can overshoot the filters a little).
int16_t RoundToSample(double y) {
  const double r = std::floor(y + 0.5);
  if (!(r > -32768.0)) return -32768;
  if (r > 32767.0) return 32767;
  return static_cast<int16_t>(r);
}

}  // namespace

WaveFormatVerdict CheckDecodable(const TWaveFormatRecord& f) {
  const uint32_t bytesPerSample = (uint32_t{f.BitsPerSample} + 7) / 8;
  if (f.FormatTag != 1 || (f.BitsPerSample != 8 && f.BitsPerSample != 16) || f.BlockAlign == 0 ||
      f.BlockAlign > TWaveRead::kMaxBlockAlign || f.BlockAlign != uint32_t{f.Channels} * bytesPerSample) {
    return WaveFormatVerdict::kUnsupportedFormat;
  }
  if (f.SamplesPerSec != 11025 && f.SamplesPerSec != 22050 && f.SamplesPerSec != 44100) {
    return WaveFormatVerdict::kUnsupportedRate;
  }
  return WaveFormatVerdict::kDecodable;
}

TWaveRead::TWaveRead() : buffer_(kBufferBytes) {}

int TWaveRead::Fail(int result) {
  Close();
  return result;
}

void TWaveRead::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  remaining_ = 0;
  pos_ = end_ = 0;
  bufferStart_ = 0;
}

int TWaveRead::Open(const std::string& fileName) {
  Close();
  std::FILE* f = std::fopen(fileName.c_str(), "rb");
  if (f == nullptr) return kOpenFailed;
  return Open(f);
}

bool TWaveRead::Refill() {
  bufferStart_ += end_;
  pos_ = end_ = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  return end_ > 0;
}

bool TWaveRead::ReadBytes(uint8_t* out, size_t n) {
  while (n > 0) {
    if (pos_ == end_ && !Refill()) return false;
    const size_t take = std::min(n, end_ - pos_);
    std::memcpy(out, buffer_.data() + pos_, take);
    pos_ += take;
    out += take;
    n -= take;
  }
  return true;
}

bool TWaveRead::Skip(uint64_t n) {
  if (n <= end_ - pos_) {
    pos_ += static_cast<size_t>(n);
    return true;
  }
  const uint64_t target = Tell() + n;
  if (target > fileSize_) return false;
  if (fseeko(file_, static_cast<off_t>(target), SEEK_SET) == 0) {
    bufferStart_ = target;
    pos_ = end_ = 0;
    return true;
  }
  // A stream that cannot seek is read through.
  uint8_t scratch[4096];
  for (uint64_t left = n; left > 0;) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(left, sizeof scratch));
    if (!ReadBytes(scratch, take)) return false;
    left -= take;
  }
  return true;
}

bool TWaveRead::NextChunk(uint64_t end, uint32_t& id, uint32_t& size) {
  if (Tell() > end || end - Tell() < 8) return false;
  uint8_t h[8];
  if (!ReadBytes(h, 8)) return false;
  id = Le32(h);
  size = Le32(h + 4);
  return true;
}

int TWaveRead::Open(std::FILE* stream) {
  Close();
  if (stream == nullptr) return kOpenFailed;
  file_ = stream;
  format_ = TWaveFormatRecord{};
  first_.Reset();
  second_.Reset();
  // The file's size bounds every size it claims.
  fileSize_ = kUnknownSize;
  struct stat st {};
  const int fd = fileno(file_);
  if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    fileSize_ = static_cast<uint64_t>(st.st_size);
  } else if (fseeko(file_, 0, SEEK_END) == 0) {  // memory streams have no descriptor
    const off_t size = ftello(file_);
    if (size >= 0) fileSize_ = static_cast<uint64_t>(size);
    if (fseeko(file_, 0, SEEK_SET) != 0) return Fail(kOpenFailed);
  }

  uint8_t riff[12];
  if (!ReadBytes(riff, 12) || Le32(riff) != Tag("RIFF") || Le32(riff + 8) != Tag("WAVE"))
    return Fail(kNotWave);
  const uint64_t riffEnd = std::min<uint64_t>(8 + uint64_t{Le32(riff + 4)}, fileSize_);

  // Chunks before "fmt " are skipped, each padded to an even size.
  uint32_t id = 0, size = 0;
  for (;;) {
    if (!NextChunk(riffEnd, id, size)) return Fail(kNoFormat);
    if (id == Tag("fmt ")) break;
    if (!Skip(uint64_t{size} + (size & 1))) return Fail(kNoFormat);
  }
  // At most the record is copied; the rest of a longer chunk (an extensible format's 40 bytes)
  // is skipped.
  if (size < 16) return Fail(kFormatShort);
  uint8_t record[20] = {};
  const uint32_t take = std::min<uint32_t>(size, sizeof record);
  if (!ReadBytes(record, take)) return Fail(kFormatShort);
  format_.FormatTag = Le16(record);
  format_.Channels = Le16(record + 2);
  format_.SamplesPerSec = Le32(record + 4);
  format_.AvgBytesPerSec = Le32(record + 8);
  format_.BlockAlign = Le16(record + 12);
  format_.BitsPerSample = Le16(record + 14);
  std::memcpy(format_.Extra.data(), record + 16, 4);
  if (!Skip(uint64_t{size - take} + (size & 1))) return Fail(kNoData);

  for (;;) {
    if (!NextChunk(riffEnd, id, size)) return Fail(kNoData);
    if (id == Tag("data")) break;
    if (!Skip(uint64_t{size} + (size & 1))) return Fail(kNoData);
  }
  // A size beyond the end of the file (a recording cut short) gives what is there.
  remaining_ = static_cast<uint32_t>(std::min<uint64_t>(size, fileSize_ - std::min(fileSize_, Tell())));
  return 0;
}

int16_t TWaveRead::ReadRawSample() {
  const uint32_t align = format_.BlockAlign;
  if (file_ == nullptr || align == 0 || remaining_ < align) return 0;
  uint8_t frame[kMaxBlockAlign];
  const uint32_t keep = std::min(align, kMaxBlockAlign);
  if (!ReadBytes(frame, keep) || (align > keep && !Skip(align - keep))) {
    remaining_ = 0;
    return 0;
  }
  remaining_ -= align;
  if (format_.BitsPerSample == 8) return static_cast<int16_t>(frame[0] * 255 - 32640);
  if (keep < 2) return 0;
  return static_cast<int16_t>(Le16(frame));
}

int16_t TWaveRead::ReadSample() {
  const uint32_t rate = format_.SamplesPerSec;
  if (rate < 16537) return ReadRawSample();
  if (rate < 33075) {
    // The decimator's output read after the first of the two frames.
    const double y = first_.Step(ReadRawSample());
    first_.Step(ReadRawSample());
    return RoundToSample(y);
  }
  const double a = first_.Step(ReadRawSample());
  first_.Step(ReadRawSample());
  const double b = first_.Step(ReadRawSample());
  first_.Step(ReadRawSample());
  const double y = second_.Step(a);
  second_.Step(b);
  return RoundToSample(y);
}

}  // namespace vestrel
