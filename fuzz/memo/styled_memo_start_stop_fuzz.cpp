// Parses outside text with a fixed set of start/stop keys and keywords, edits it where the
// first bytes say and parses the edit again: the store stays sound, and the ranges after the
// edit are those a parse of the whole new text lays.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "memo/styled_memo.h"

namespace {

using namespace vestrel;

void Configure(TStyledMemo& m) {
  m.setWordWrap(false);
  TStartStopKeyList& k = m.StartStopKeys();
  k.AddStartStopKey(ToBytes("{"), ToBytes("}"), 0, kDynItalic, 1, 0, clNone, 0xFF0000, false);
  k.AddStartStopKey(ToBytes("(*"), ToBytes("*)"), 0, 0, 2, 0, clNone, clNone, false);
  k.AddStartStopKey(ToBytes("//"), ToBytes(""), 0, 0, 3, 0, clNone, clNone, true);
  k.AddStartStopKey(ToBytes("begin"), ToBytes("end"), woWholeWordsOnly, kDynBold, 0, 0, clNone, clNone,
                    false);
  k.AddStartStopKey(ToBytes("\""), ToBytes("\""), 0, 0, 4, 0, clNone, clNone, false);
  k.AddStartStopKey(ToBytes("\""), ToBytes("'"), 0, 0, 5, 0, clNone, clNone, false);
  m.Keywords().AddKeyWord(ToBytes("if"), woWholeWordsOnly, kDynBold, 0, 0, clNone, 0x00FF00);
  m.Keywords().AddKeyWord(ToBytes("cq"), 0, 0, 6, 0, clNone, clNone);
}

void ParseAll(TStyledMemo& m, int32_t from, int32_t to) {
  TStyledNavigator a(&m.NavContext()), b(&m.NavContext());
  a.SetPos(from);
  b.SetPos(to);
  m.ApplyStartStopKeyListP(a, b);
}

// Each character's level and key at its level, CR LF left out.
std::string Ranges(TStyledMemo& m) {
  std::string out;
  TStyledNavigator n(&m.NavContext());
  for (int32_t i = 0; i < m.getCharCount(); ++i) {
    n.SetPos(i);
    n.RightOfDyn();
    const DynInfoRec& d = n.GetpDynInfo();
    const int lvl = DynToLevel(d);
    out += static_cast<char>('A' + lvl);
    out += static_cast<char>(lvl >= 0 ? d.Keys[static_cast<size_t>(lvl)] & 0x7F : 0);
  }
  return out;
}

}  // namespace

// Bytes 0-1: where the edit starts and how much it replaces; byte 2: how many of the
// following bytes are the edit's text; the rest is the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > 4096) return 0;
  const size_t insertLen = std::min<size_t>(data[2], size - 3);
  const TByteView insert(data + 3, insertLen);
  const TByteView text(data + 3 + insertLen, size - 3 - insertLen);

  TStyledMemo memo;
  Configure(memo);
  memo.setApplyStartStopKeys(false);
  memo.SetTextBuf(text);
  memo.setApplyStartStopKeys(true);
  ParseAll(memo, 0, memo.getCharCount());
  memo.CheckIntegrity();

  const int32_t n = memo.getCharCount();
  const int32_t at = n ? data[0] % (n + 1) : 0;
  memo.setApplyStartStopKeys(false);
  memo.setSelStart(at);
  memo.setSelLength(std::min<int32_t>(data[1] % 8, n - at));
  memo.setSelText(insert);
  memo.setApplyStartStopKeys(true);
  const int32_t start = std::min(at, memo.getSelStart());
  ParseAll(memo, start, memo.getSelStart());
  memo.CheckIntegrity();

  TStyledMemo fresh;
  Configure(fresh);
  fresh.setApplyStartStopKeys(false);
  fresh.SetTextBuf(memo.GetTextContent());
  fresh.setApplyStartStopKeys(true);
  ParseAll(fresh, 0, fresh.getCharCount());
  if (Ranges(fresh) != Ranges(memo)) std::abort();
  return 0;
}
