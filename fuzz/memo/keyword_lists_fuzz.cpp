// Loads outside lines into a keyword list and a start/stop key list as ini lines: a value that
// is no number raises the conversion error and nothing else goes wrong; what loads saves and
// loads back to the same lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "memo/keyword_lists.h"
#include "memo/memo_errors.h"

namespace {

using namespace vestrel;

template <class List>
void RoundTrip(List& list, TStringList& lines) {
  try {
    list.LoadFromIniStrings(lines);
  } catch (const EConvertError&) {
    return;
  }
  TStringList saved;
  try {
    list.SaveToIniStrings(saved);
  } catch (const EStyledMemoError&) {
    return;  // a start text holding "|" cannot be saved
  }
  List back;
  back.LoadFromIniStrings(saved);
  TStringList again;
  back.SaveToIniStrings(again);
  if (again.GetTextStr() != saved.GetTextStr()) std::abort();
}

}  // namespace

// The first byte chooses the list: even a keyword list, odd a start/stop key list.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TStringList lines;
  lines.SetTextStr(TByteView(data + 1, size - 1));
  if (data[0] & 1) {
    TStartStopKeyList keys;
    RoundTrip(keys, lines);
  } else {
    TKeywordList words;
    RoundTrip(words, lines);
  }
  return 0;
}
