// TStyledMemo: the undo list, its recording by the edit path, and undo and redo by groups.
#include <algorithm>

#include "memo/memo_errors.h"
#include "memo/styled_memo.h"

namespace vestrel {

// Typing at the caret extends the last record; a selection replaced, a caret put anywhere, or
// another update depth opens a new one. Under UndoMaxSpace a record that does not fit is
// dropped together with everything older (an older record without the edits after it would
// undo into the wrong places), and nothing touches it afterwards.
int32_t TStyledMemo::RecordUndo(int32_t start, int32_t end) {
  undoRecordNew_ = false;
  if (undoing_ || undoMaxLevel_ == 0) return -1;
  undo_.RemoveRedo();
  const bool fresh = undoNewRecord_;
  undoNewRecord_ = false;
  if (start == end && !fresh && undo_.Index() > 0) {
    const TUndoRecord& last = undo_.Last();
    if (last.Stop == start && last.Start != start && last.Group == updateCount_) return undo_.Count() - 1;
  }
  TUndoRecord r;
  r.Start = start;
  r.Stop = start;
  r.Group = updateCount_;
  r.Text = GetTextPart(start, end);
  while (undoMaxLevel_ > 0 && undo_.Index() > undoMaxLevel_) undo_.RemoveOldest();
  undo_.Append(std::move(r));
  undo_.TrimToSpace(undoMaxSpace_);
  if (undo_.Index() == 0) return -1;
  undoRecordNew_ = true;
  return undo_.Count() - 1;
}

void TStyledMemo::ForgetUndoRecord(int32_t rec) {
  if (rec >= 0 && undoRecordNew_ && rec < undo_.Count()) undo_.Remove(rec);
  undoRecordNew_ = false;
}

bool TStyledMemo::SwapUndoRecord(int32_t i) {
  const TAlive alive = alive_;
  TUndoRecord r = undo_[i];
  // Offsets of loaded records are clamped here, by the selection.
  setSelStart(r.Start);
  setSelLength(std::clamp(r.Stop, 0, store_.CharCount) - selStart_.GetPos());
  TUndoRecord back;
  back.Start = selStart_.GetPos();
  back.Group = r.Group;
  back.Text = getSelText();
  SetSelTextBuf(r.Text);
  if (alive.expired()) return false;
  back.Stop = getSelStart();  // where the text put back ends
  if (i < undo_.Count()) undo_.Replace(i, std::move(back));
  return true;
}

void TStyledMemo::Undo() {
  UndoSteps(false);
}

void TStyledMemo::Redo() {
  UndoSteps(true);
}

// Undo takes records back from the index down, redo from the index up, while they belong to
// one group: consecutive records of the same non-zero update depth.
void TStyledMemo::UndoSteps(bool redo) {
  if (redo ? undo_.Index() >= undo_.Count() : undo_.Index() == 0) return;
  undoing_ = true;
  const TUpdateScope scope(*this, &undoing_);
  while (redo ? undo_.Index() < undo_.Count() : undo_.Index() > 0) {
    const int32_t i = redo ? undo_.Index() : undo_.Index() - 1;
    if (!redo) undo_.SetIndex(i);
    const int32_t group = undo_[i].Group;
    if (!SwapUndoRecord(i)) return;
    if (redo) undo_.SetIndex(i + 1);
    // The neighbour that would join the step; a handler may have changed the list meanwhile,
    // and then the step ends here.
    const int32_t next = redo ? i + 1 : i - 1;
    if (undo_.Index() != (redo ? i + 1 : i) || group == 0 || next < 0 || next >= undo_.Count() ||
        undo_[next].Group != group)
      break;
  }
}

void TStyledMemo::setUndoMaxLevel(int32_t v) {
  if (v > 0x7FFFFFF) throw EStyledMemoError("Undo set too high");
  undo_.TrimToLevel(v);
  undoMaxLevel_ = v;
}

void TStyledMemo::setUndoMaxSpace(int32_t v) {
  undo_.TrimToSpace(v);
  undoMaxSpace_ = v;
}

void TStyledMemo::SaveUndo(TStream& stream) const {
  undo_.Save(stream);
}

void TStyledMemo::LoadUndo(TStream& stream) {
  undo_.Load(stream);
}

}  // namespace vestrel
