#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace vestrel {

// The memo's byte stream: what loading and saving text, undo and styled strings need.
// Read returns the bytes it got (0 at the end); a failure throws EStreamError.
class TStream {
 public:
  virtual ~TStream() = default;
  virtual size_t Read(void* buf, size_t count) = 0;
  virtual void Write(const void* buf, size_t count) = 0;
  virtual int64_t Position() const = 0;
  virtual void SetPosition(int64_t pos) = 0;
  virtual int64_t Size() const = 0;
};

// A growable block of memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<unsigned char> data) : data_(std::move(data)) {}

  size_t Read(void* buf, size_t count) override;
  void Write(const void* buf, size_t count) override;
  int64_t Position() const override { return pos_; }
  void SetPosition(int64_t pos) override;
  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }

  const std::vector<unsigned char>& Data() const { return data_; }

 private:
  std::vector<unsigned char> data_;
  int64_t pos_ = 0;
};

// A file opened for reading, or created (truncated) for writing.
class TFileStream : public TStream {
 public:
  enum Mode { fmOpenRead, fmCreate };
  TFileStream(const std::filesystem::path& path, Mode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  size_t Read(void* buf, size_t count) override;
  void Write(const void* buf, size_t count) override;
  int64_t Position() const override;
  void SetPosition(int64_t pos) override;
  int64_t Size() const override;

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace vestrel
