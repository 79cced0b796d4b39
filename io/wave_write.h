#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace vestrel {

// A WAV file written as it grows: the 44-byte PCM header, then the samples. The header's two
// sizes are rewritten every 30 s of mono 11025 Hz audio and on closing, so a file cut short
// (program killed, machine down) is still a valid WAV file up to the last rewrite.
// GUI thread only.
class TWaveWrite {
 public:
  // 30 s of mono 16-bit audio at 11025 Hz.
  static constexpr uint32_t kUpdateEveryBytes = 661500;
  // The RIFF size (data size + 36) must still fit in its 32 bits.
  static constexpr uint32_t kMaxDataBytes = 0xFFFFFFFFu - 36;

  TWaveWrite() = default;
  ~TWaveWrite() { Close(); }
  TWaveWrite(const TWaveWrite&) = delete;
  TWaveWrite& operator=(const TWaveWrite&) = delete;

  // Creates (or truncates) the file and writes the header; a file still open is closed first.
  // 0, or the step that failed: 1 file not created, 2 "RIFF", 3 RIFF size, 4 "WAVE", 5 "fmt ",
  // 6 format size, 7 format tag, 8 channels, 9 rate, 10 byte rate, 11 block align, 12 bits,
  // 13 "data", 14 data size. After a failure the file is closed.
  int Open(const std::string& fileName, uint16_t channels, uint16_t bits, uint32_t rate);
  // Appends frameCount frames (frameCount x block align bytes). 0; 1 when no file is open; 2 on
  // a short write, or when the data would no longer fit the 32-bit sizes (nothing is written
  // then); the error of the header rewrite that ran. On any failure the file is closed, with
  // its header brought up to the last complete write where the medium still allows it.
  int Write(const int16_t* samples, uint32_t frameCount);
  // Rewrites the two sizes in place. 0; 1 when no file is open. On failure the file is closed
  // and the result tells the step: 6 position unknown, 1 seek to 4, 2 RIFF size, 3 seek to 40,
  // 4 data size, 5 seek back.
  int UpdateHeader();
  // Rewrites the header and closes: 0; 1 when no file is open; the header rewrite's error; 7
  // when closing fails.
  int Close();

  bool IsOpen() const { return file_ != nullptr; }
  uint32_t DataSize() const { return dataSize_; }
  uint16_t BlockAlign() const { return blockAlign_; }

  // Test seam: counts `bytes` of silence as written without writing them (a hole in the file,
  // which reads as zeros), so a test reaches the 32-bit limit without writing 4 GB. 0; 1 when no
  // file is open; 2 when the sizes would no longer fit or the seek fails.
  int SkipForTest(uint32_t bytes);

 private:
  bool Put32(uint32_t v);
  bool Put16(uint16_t v);
  bool PutTag(const char* tag);
  int Fail(int code);  // closes the file without touching the header

  std::FILE* file_ = nullptr;
  uint32_t riffSize_ = 0;
  uint16_t channels_ = 0;
  uint32_t rate_ = 0;
  uint32_t byteRate_ = 0;
  uint16_t blockAlign_ = 0;
  uint16_t bits_ = 0;
  uint32_t dataSize_ = 0;     // sample bytes written so far
  uint32_t sinceUpdate_ = 0;  // sample bytes written since the last header rewrite
};

}  // namespace vestrel
