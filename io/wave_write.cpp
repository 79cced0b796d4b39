#include "io/wave_write.h"

#include <bit>
#include <cstring>

namespace vestrel {

static_assert(std::endian::native == std::endian::little, "samples are written as they lie in memory");

namespace {
constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 40;
}  // namespace

bool TWaveWrite::Put32(uint32_t v) {
  const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  return std::fwrite(b, 1, 4, file_) == 4;
}

bool TWaveWrite::Put16(uint16_t v) {
  const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  return std::fwrite(b, 1, 2, file_) == 2;
}

bool TWaveWrite::PutTag(const char* tag) {
  return std::fwrite(tag, 1, 4, file_) == 4;
}

int TWaveWrite::Fail(int code) {
  std::fclose(file_);
  file_ = nullptr;
  return code;
}

int TWaveWrite::Open(const std::string& fileName, uint16_t channels, uint16_t bits, uint32_t rate) {
  if (file_ != nullptr) Close();
  channels_ = channels;
  bits_ = bits;
  rate_ = rate;
  blockAlign_ = static_cast<uint16_t>(channels * ((bits + 7) / 8));
  byteRate_ = blockAlign_ * rate;
  dataSize_ = 0;
  riffSize_ = 36;
  sinceUpdate_ = 0;
  file_ = std::fopen(fileName.c_str(), "wb");
  if (file_ == nullptr) return 1;
  if (!PutTag("RIFF")) return Fail(2);
  if (!Put32(riffSize_)) return Fail(3);
  if (!PutTag("WAVE")) return Fail(4);
  if (!PutTag("fmt ")) return Fail(5);
  if (!Put32(16)) return Fail(6);
  if (!Put16(1)) return Fail(7);  // PCM
  if (!Put16(channels_)) return Fail(8);
  if (!Put32(rate_)) return Fail(9);
  if (!Put32(byteRate_)) return Fail(10);
  if (!Put16(blockAlign_)) return Fail(11);
  if (!Put16(bits_)) return Fail(12);
  if (!PutTag("data")) return Fail(13);
  if (!Put32(dataSize_)) return Fail(14);
  return 0;
}

int TWaveWrite::Write(const int16_t* samples, uint32_t frameCount) {
  if (file_ == nullptr) return 1;
  const uint64_t bytes = uint64_t{frameCount} * blockAlign_;
  if (bytes > kMaxDataBytes - dataSize_) {
    // Past this the sizes would wrap and the header would claim a few bytes: the file ends here.
    Close();
    return 2;
  }
  if (bytes != 0 && std::fwrite(samples, 1, bytes, file_) != bytes) {
    Close();
    return 2;
  }
  dataSize_ += static_cast<uint32_t>(bytes);
  riffSize_ = dataSize_ + 36;
  const uint64_t since = uint64_t{sinceUpdate_} + bytes;
  if (since > kUpdateEveryBytes) {
    sinceUpdate_ = static_cast<uint32_t>(since - kUpdateEveryBytes);
    return UpdateHeader();
  }
  sinceUpdate_ = static_cast<uint32_t>(since);
  return 0;
}

int TWaveWrite::UpdateHeader() {
  if (file_ == nullptr) return 1;
  const off_t position = ftello(file_);
  if (position < 0) return Fail(6);
  if (fseeko(file_, kRiffSizeOffset, SEEK_SET) != 0) return Fail(1);
  if (!Put32(riffSize_)) return Fail(2);
  if (fseeko(file_, kDataSizeOffset, SEEK_SET) != 0) return Fail(3);
  if (!Put32(dataSize_)) return Fail(4);
  // The seek writes the header out: what it claims is on the medium from here on.
  if (fseeko(file_, position, SEEK_SET) != 0) return Fail(5);
  return 0;
}

int TWaveWrite::Close() {
  if (file_ == nullptr) return 1;
  const int r = UpdateHeader();
  if (r != 0) return r;  // closed by the failed rewrite
  const int closed = std::fclose(file_);
  file_ = nullptr;
  return closed != 0 ? 7 : 0;
}

int TWaveWrite::SkipForTest(uint32_t bytes) {
  if (file_ == nullptr) return 1;
  if (bytes > kMaxDataBytes - dataSize_) return 2;
  if (fseeko(file_, bytes, SEEK_CUR) != 0) return 2;
  dataSize_ += bytes;
  riffSize_ = dataSize_ + 36;
  return 0;
}

}  // namespace vestrel
