// The WAV reader on any bytes, from memory: it opens them or refuses them with one of its open
// results, and then every read consumes a frame, so reading ends within the frames the data
// holds (the decode loop's promise not to hang), and never claims more data than the file has.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "io/wave_read.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "wave_read_fuzz: %s\n", what);
    std::abort();
  }
}

// Reads until no frame remains, with `read` one frame or one output sample a call.
template <typename Read>
void ReadToTheEnd(vestrel::TWaveRead& r, size_t size, Read read) {
  const uint32_t align = r.Format().BlockAlign;
  const uint64_t cap = (align == 0 ? 0 : r.Remaining() / align) + 2;
  Check(r.Remaining() <= size, "more data than bytes");
  uint64_t calls = 0;
  while (r.FramesRemaining() > 0) {
    const uint32_t before = r.Remaining();
    read();
    Check(r.Remaining() < before, "a read consumed nothing");
    Check(++calls <= cap, "more reads than frames");
  }
  Check(read() == 0 || r.Format().SamplesPerSec >= 16537, "a sample after the end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using vestrel::TWaveRead;
  for (int pass = 0; pass < 2; ++pass) {
    // fmemopen refuses an empty buffer; an empty file is simply not a WAV file.
    std::FILE* f = size == 0 ? nullptr : fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (f == nullptr) return 0;
    static TWaveRead r;  // one reader for every input: Open starts it afresh
    const int result = r.Open(f);
    Check(result == 0 || result == TWaveRead::kNotWave || result == TWaveRead::kNoFormat ||
              result == TWaveRead::kFormatShort || result == TWaveRead::kNoData,
          "unknown open result");
    Check((result == 0) == r.IsOpen(), "open state and result disagree");
    if (result != 0) return 0;
    const vestrel::TWaveFormatRecord& fmt = r.Format();
    if (vestrel::CheckDecodable(fmt) == vestrel::WaveFormatVerdict::kDecodable) {
      Check(fmt.BlockAlign >= 1 && fmt.BlockAlign <= TWaveRead::kMaxBlockAlign,
            "decodable block out of range");
    }
    if (pass == 0) {
      ReadToTheEnd(r, size, [&] { return r.ReadSample(); });
    } else {
      ReadToTheEnd(r, size, [&] {
        const int16_t s = r.ReadRawSample();
        if (fmt.BitsPerSample == 8) Check(s >= -32640 && s <= 32385, "8-bit sample out of range");
        return s;
      });
    }
    r.Close();  // the input's memory goes with this call
  }
  return 0;
}
