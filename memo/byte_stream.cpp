#include "memo/byte_stream.h"

#include <algorithm>
#include <cstring>

#include "memo/memo_errors.h"

namespace vestrel {

size_t TMemoryStream::Read(void* buf, size_t count) {
  if (pos_ >= Size()) return 0;
  const size_t n = std::min(count, static_cast<size_t>(Size() - pos_));
  std::memcpy(buf, data_.data() + pos_, n);
  pos_ += static_cast<int64_t>(n);
  return n;
}

void TMemoryStream::Write(const void* buf, size_t count) {
  if (count == 0) return;
  const size_t end = static_cast<size_t>(pos_) + count;
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + pos_, buf, count);
  pos_ = static_cast<int64_t>(end);
}

void TMemoryStream::SetPosition(int64_t pos) {
  pos_ = std::clamp<int64_t>(pos, 0, Size());
}

TFileStream::TFileStream(const std::filesystem::path& path, Mode mode) {
  file_ = std::fopen(path.c_str(), mode == fmCreate ? "w+b" : "rb");
  if (!file_) {
    throw EStreamError((mode == fmCreate ? "Cannot create file \"" : "Cannot open file \"") + path.string() +
                       "\"");
  }
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

size_t TFileStream::Read(void* buf, size_t count) {
  const size_t n = std::fread(buf, 1, count, file_);
  if (n < count && std::ferror(file_)) throw EStreamError("Stream read error");
  return n;
}

void TFileStream::Write(const void* buf, size_t count) {
  if (count == 0) return;  // an empty text may come with no buffer at all
  if (std::fwrite(buf, 1, count, file_) != count) throw EStreamError("Stream write error");
}

int64_t TFileStream::Position() const {
  return std::ftell(file_);
}

void TFileStream::SetPosition(int64_t pos) {
  if (std::fseek(file_, static_cast<long>(pos), SEEK_SET) != 0) throw EStreamError("Stream seek error");
}

int64_t TFileStream::Size() const {
  const long here = std::ftell(file_);
  std::fseek(file_, 0, SEEK_END);
  const long size = std::ftell(file_);
  std::fseek(file_, here, SEEK_SET);
  return size;
}

}  // namespace vestrel
