// Puts outside bytes into a memo as a styled-text string, over a range the first two bytes
// choose: a string too short for its entries must change nothing, any other must leave a
// sound store whose every tail reads back as a string that another memo takes whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "memo/memo_errors.h"
#include "memo/styled_memo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vestrel;
  if (size < 2) return 0;
  TStyledMemo memo;
  memo.setSelText(ToBytes("alpha beta\r\ngamma\r\n\r\ndelta"));
  const int32_t start = data[0] % 32, stop = data[1] % 32;
  memo.setSelStart(5);
  memo.setSelLength(3);
  const TByteString before = memo.GetTextContent();
  const TByteView s(data + 2, size - 2);
  try {
    memo.SetDynText(start, stop, s);
  } catch (const EStyledMemoError&) {
    if (memo.GetTextContent() != before) std::abort();
    return 0;
  }
  memo.CheckIntegrity();
  const int32_t n = memo.getCharCount();
  for (int32_t a = 0; a < n; a += 1 + n / 4) {
    const TByteString d = memo.DynText(a, n);
    TStyledMemo copy;
    copy.SetDynText(0, 0, d);
    copy.CheckIntegrity();
    // The copy holds the string's text.
    if (d.size() < 4) std::abort();
    const size_t entries = static_cast<size_t>(d[0]) | static_cast<size_t>(d[1]) << 8;
    if (copy.GetTextContent() != TByteString(d.substr(4 + entries * 62))) std::abort();
  }
  return 0;
}
