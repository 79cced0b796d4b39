// Loads outside bytes as a saved undo list into a memo holding a short text, then undoes and
// redoes all of it: a damaged list must be refused whole (stream error, empty list), and a
// list that loads must work on any text, whatever offsets it names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/memo_errors.h"
#include "memo/styled_memo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vestrel;
  TStyledMemo memo;
  memo.setSelText(ToBytes("one two\r\nthree"));
  TMemoryStream s(std::vector<unsigned char>(data, data + size));
  try {
    memo.LoadUndo(s);
  } catch (const EStreamError&) {
    if (memo.getUndoCount() != 0 || memo.UndoBytes() != 0 || memo.CanUndo()) std::abort();
    return 0;
  }
  int64_t bytes = 0;
  for (int32_t i = 0; i < memo.getUndoCount(); ++i) bytes += memo.getUndoList(i).Size();
  if (bytes != memo.UndoBytes()) std::abort();
  // Bounded: each step takes back at least one record.
  for (int32_t i = 0; i <= memo.getUndoCount() && memo.CanUndo(); ++i) memo.Undo();
  memo.CheckIntegrity();
  for (int32_t i = 0; i <= memo.getUndoCount() && memo.CanRedo(); ++i) memo.Redo();
  memo.CheckIntegrity();
  TMemoryStream again;
  memo.SaveUndo(again);
  return 0;
}
