#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <utility>

namespace vestrel {

// The text capture file as the received-text sink writes it: a C stream that the capture
// commands open for binary append and attach, null while closed. Writes are buffered by the
// stream; a failed write stays in its error flag and shows when the commands close it.
class TextCaptureStream {
 public:
  bool IsOpen() const { return file_ != nullptr; }
  std::FILE* File() const { return file_; }
  void Attach(std::FILE* file) { file_ = file; }
  // Hands the stream back to be closed; the capture is off from here on.
  std::FILE* Detach() { return std::exchange(file_, nullptr); }

  // Only while open.
  void Put(uint8_t byte) { std::fputc(byte, file_); }
  void Write(std::string_view text) { std::fwrite(text.data(), 1, text.size(), file_); }

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace vestrel
