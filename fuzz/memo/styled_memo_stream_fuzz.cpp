// Loads outside bytes through the memo's LoadFromStream and checks what it promises: a sound
// store, nothing to undo, and a text that saves and loads back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/memo_errors.h"
#include "memo/styled_memo.h"

namespace {

std::vector<unsigned char> Saved(vestrel::TStyledMemo& m) {
  vestrel::TMemoryStream s;
  m.SaveToStream(s);
  return s.Data();
}

}  // namespace

// The first byte: bit 0 static format, 1 trimming, 2 a NUL replacement, 3 small load bounds.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vestrel;
  if (size == 0) return 0;
  const uint8_t bits = data[0];
  auto configure = [bits](TStyledMemo& m) {
    m.setStaticFormat(bits & 1);
    if (bits & 2) m.setOptions(m.Options() | smoDiscardTrailingSpaces);
    m.setNullReplacement(bits & 4 ? '.' : 0);
    if (bits & 8) {
      m.Store().MaxLoadParagraphs = 16;
      m.Store().MaxLoadBytes = 256;
    }
  };
  TStyledMemo memo;
  configure(memo);
  memo.setSelText(ToBytes("kept"));
  TMemoryStream file(std::vector<unsigned char>(data + 1, data + size));
  try {
    memo.LoadFromStream(file);
  } catch (const EStreamError&) {
    // Refused by the bounds: the memo keeps its text.
    if (!(bits & 8) || ToChars(memo.GetTextContent()) != "kept") std::abort();
    memo.CheckIntegrity();
    return 0;
  }
  memo.CheckIntegrity();
  if (memo.getUndoCount() != 0) std::abort();
  const std::vector<unsigned char> once = Saved(memo);
  TStyledMemo again;
  configure(again);
  again.Store().MaxLoadParagraphs = again.Store().MaxLoadBytes = int64_t{1} << 40;
  TMemoryStream s(once);
  again.LoadFromStream(s);
  again.CheckIntegrity();
  if (Saved(again) != once) std::abort();
  return 0;
}
