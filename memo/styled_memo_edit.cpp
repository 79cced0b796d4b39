// TStyledMemo: the edit path every change of the text goes through.
#include <algorithm>

#include "memo/styled_memo.h"

namespace vestrel {

void TStyledMemo::MoveOffLfHalf(TStyledNavigator& n) {
  const ParInfo& p = n.GetPar();
  if (n.GetOffset() > p.Length()) n.setParOffset(p.Length());
}

void TStyledMemo::SetSelTextBuf(TByteView text) {
  const TAlive alive = alive_;
  TByteString replaced;
  if (OnBeforeChange) {
    replaced.assign(text);
    if (!Fire(OnBeforeChange, replaced)) return;
    text = replaced;
  }
  DoNotify(notifyListeners_, smeBeforeChange);
  if (alive.expired()) return;

  // A selection end between CR and LF is no place to edit: it goes back to the paragraph end.
  MoveOffLfHalf(selStart_);
  MoveOffLfHalf(selEnd_);
  const int32_t start = selStart_.GetPos(), end = selEnd_.GetPos();
  selLength_ = selLength_ < 0 ? start - end : end - start;
  if (start == end && text.empty()) return;

  filler_.clear();
  caretX_ = kNoCaretX;
  modified_ = true;
  const int32_t startPar = selStart_.GetParNb();
  const bool wasLaidOut = store_[startPar].States & smpFormatted;

  ++updateCount_;
  TParagraphsList::TInsertResult r;
  try {
    r = InsertBuf(store_, text, selStart_, selEnd_, (options_ & smoDiscardTrailingSpaces) != 0,
                  pairCancelling_);
  } catch (...) {
    --updateCount_;
    throw;
  }
  --updateCount_;
  if (r.CharsDelta == 0 && r.StopPos == r.StartPos) return;  // nothing was replaced after all

  const int32_t sp = store_.ParFromOffset(r.StartPos);
  if (updateCount_ > 0) store_[sp].States &= static_cast<uint8_t>(~smpFormatted);
  // The layout may resume from the edited line when this is the only edit before it catches
  // up and it shifted the paragraph's lines in place.
  if (++editsPending_ == 1 && wasLaidOut && store_.LinesShifted && r.ParsDelta == 0 && sp == r.StopPar) {
    const ParInfo& p = store_[sp];
    int32_t oldLine = 0;
    while (oldLine + 1 < GetLineCount(p) && GetLine(p, oldLine + 1).Start <= r.StopPos - p.StartOffset)
      ++oldLine;
    pendingEdit_ = TPendingEdit{sp, store_.FirstModLine - p.FirstLine, oldLine};
  } else {
    pendingEdit_.reset();
  }
  AdjustNavigators(r.StartPos, end, r);

  selStart_.Assign(selEnd_);  // the caret after the new text, nothing selected
  selLength_ = 0;
  caret_ = &selStart_;
  if (updateCount_ == 0) EndModifications();
}

// The two selection ends are where the store's edit left them; every other navigator follows
// the edit: past the old text by the change, inside it to the start of the new text (or its end
// when sticking right); a temporary one inside is deleted.
void TStyledMemo::AdjustNavigators(int32_t editStart, int32_t oldEnd,
                                   const TParagraphsList::TInsertResult& r) {
  const std::vector<TStyledNavigator*> navigators = ctx_.Navigators;
  for (TStyledNavigator* n : navigators) {
    if (n == &selStart_ || n == &selEnd_) continue;
    if (std::find(ctx_.Navigators.begin(), ctx_.Navigators.end(), n) == ctx_.Navigators.end())
      continue;  // freed by an OnFree of one deleted before it
    const int32_t p = n->GetPos();
    if (p > oldEnd) {
      n->MoveBy(r.CharsDelta, r.ParsDelta);
    } else if (p >= editStart) {
      if (n->Temporary && p > editStart && p < oldEnd) {
        delete n;
        continue;
      }
      n->Invalidate();
      n->SetPos(n->StickyRight ? r.StopPos : editStart);
    }
  }
}

void TStyledMemo::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) EndModifications();
}

void TStyledMemo::EndModifications() {
  const int32_t count = store_.Count();
  if (store_.LastModPar >= store_.FirstModPar && store_.FirstModPar < count) {
    const int32_t first = store_.FirstModPar;
    const int32_t last = std::min(store_.LastModPar, count - 1);
    const TPendingEdit* edit = pendingEdit_ && editsPending_ == 1 ? &*pendingEdit_ : nullptr;
    const TLaidOut laid = FormatRange(first, last, true, edit);
    // The edited lines; when the line count changed, everything below them moved too.
    const int32_t from = std::min(laid.firstLine, store_.FirstModLine);
    InvalidateLines(from, laid.visibleDelta ? INT32_MAX - 1 : laid.lastLine);
  }
  store_.FirstModPar = count;
  store_.LastModPar = -1;
  store_.ModLineDelta = 0;
  pendingEdit_.reset();
  editsPending_ = 0;
  if (formatPending_ && WindowReady()) {
    EnsureFormatted();
    Repaint();
  }
}

}  // namespace vestrel
