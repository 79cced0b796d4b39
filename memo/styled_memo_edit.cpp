// TStyledMemo: the edit path every change of the text goes through, the processing at the end
// of an update, and the caret update that reports selection and style moves.
#include <algorithm>

#include "memo/style_codes.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

bool Active(const DynInfoRec& d) {
  return d.Flags & kDynActive;
}

}  // namespace

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
  int32_t start = selStart_.GetPos(), end = selEnd_.GetPos();
  selLength_ = selLength_ < 0 ? start - end : end - start;
  if (start == end && text.empty()) return;

  if (blockMode_) {
    // A column block goes paragraph by paragraph. Block mode ends first, so that each of
    // these deletions is an ordinary one.
    blockMode_ = false;
    const int32_t c1 = std::min(blockCol1_, blockCol2_), c2 = std::max(blockCol1_, blockCol2_);
    const int32_t firstPar = selStart_.GetParNb(), lastPar = selEnd_.GetParNb();
    BeginUpdate();
    for (int32_t i = firstPar; i <= lastPar && i < store_.Count(); ++i) {
      const ParInfo& p = store_[i];
      const int32_t a = ColToOffset(p.Text, c1, ctx_.TabStops, store_.StaticFormat);
      const int32_t b = ColToOffset(p.Text, c2, ctx_.TabStops, store_.StaticFormat);
      if (b <= a) continue;
      setSelStart(p.StartOffset + a);
      setSelLength(b - a);
      SetSelTextBuf(TByteView());
      if (alive.expired()) return;
    }
    EndUpdate();
    if (alive.expired() || text.empty()) return;
    start = end = selStart_.GetPos();
  }

  filler_.clear();
  caretX_ = kNoCaretX;
  modified_ = true;
  // Text in collapsed blocks or attribute runs is shown before it changes.
  selStart_.ExpandAllLevels();
  selEnd_.ExpandAllLevels();
  const int32_t startPar = selStart_.GetParNb();
  const int32_t oldEndPar = selEnd_.GetParNb();
  const bool wasLaidOut = store_[startPar].States & smpFormatted;
  // The attribute the text after the selection is in, and the one the start is in.
  scratch1_.Assign(selEnd_);
  scratch1_.RightOfDyn();
  const DynInfoRec rightOfEnd = scratch1_.GetpDynInfo();
  scratch1_.Assign(selStart_);
  const DynInfoRec& atStart = scratch1_.GetpDynInfo();
  const bool startActivePlain = Active(atStart) && DynToLevel(atStart) < 0;
  const int32_t undoRec = RecordUndo(start, end);

  ++updateCount_;
  TParagraphsList::TInsertResult r;
  try {
    r = InsertBuf(store_, text, selStart_, selEnd_, (options_ & smoDiscardTrailingSpaces) != 0,
                  pairCancelling_);
  } catch (...) {
    --updateCount_;
    ForgetUndoRecord(undoRec);
    throw;
  }
  --updateCount_;
  if (r.CharsDelta == 0 && r.StopPos == r.StartPos) {  // nothing was replaced after all
    ForgetUndoRecord(undoRec);
    return;
  }
  if (undoRec >= 0) undo_.SetStop(undoRec, r.StopPos);

  const int32_t sp = store_.ParFromOffset(r.StartPos);
  if (updateCount_ > 0) store_[sp].States &= static_cast<uint8_t>(~smpFormatted);
  // The upper-cased slice follows a paragraph after the edit and is dropped for one inside it.
  if (upPar_ > oldEndPar)
    upPar_ += r.ParsDelta;
  else if (upPar_ >= startPar)
    upPar_ = -1;
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
  RepairDynAtEnd(r.StopPos, rightOfEnd);

  int32_t parseStart = r.StartPos, parseStop = r.StopPos;
  if (store_[sp].States & smpParseAll) {
    store_[sp].States &= static_cast<uint8_t>(~smpParseAll);
    parseStart = store_[sp].StartOffset;
    parseStop = store_[r.StopPar].StartOffset + store_[r.StopPar].Length();
  }
  ParseEdited(parseStart, parseStop, r.StylesChanged, startActivePlain);
  if (alive.expired()) return;
  if (store_.StaticFormat && pairCancelling_) {
    CancelPairs(store_.ParFromOffset(r.StartPos), selEnd_.GetParNb());
    if (alive.expired()) return;
  }

  selStart_.Assign(selEnd_);  // the caret after the new text, nothing selected
  selLength_ = 0;
  caret_ = &selStart_;
  if (updateCount_ == 0) EndModifications();
}

// The two selection ends are where the store's edit left them; every other navigator follows
// the edit: past the old text by the change, inside it to the start of the new text (or its end
// when sticking right). The memo frees none of them: a temporary navigator belongs to whoever
// made it, who frees it once.
void TStyledMemo::AdjustNavigators(int32_t editStart, int32_t oldEnd,
                                   const TParagraphsList::TInsertResult& r) {
  for (TStyledNavigator* n : ctx_.Navigators) {
    if (n == &selStart_ || n == &selEnd_) continue;
    const int32_t p = n->GetPos();
    if (p > oldEnd) {
      n->MoveBy(r.CharsDelta, r.ParsDelta);
    } else if (p >= editStart) {
      n->Invalidate();
      n->SetPos(n->StickyRight ? r.StopPos : editStart);
    }
  }
}

// The text after the new text keeps the attribute it was in before the edit: an attribute that
// started inside the replaced text, or that the store's edit left behind at the start, is laid
// again from the new end on. An attribute that ran across the whole selection simply goes on
// across the new text, which the store's edit leaves in the attribute of its start.
void TStyledMemo::RepairDynAtEnd(int32_t newEnd, const DynInfoRec& rightOfEnd) {
  edit2_.SetPos(newEnd);
  const ParInfo& p = edit2_.GetPar();
  if (edit2_.GetOffset() >= p.Length()) return;  // nothing after it in this paragraph
  edit2_.RightOfDyn();
  const DynInfoRec& now = edit2_.GetpDynInfo();
  if (SameDynAttrib(now, rightOfEnd)) return;
  if (!Active(now) && !Active(rightOfEnd)) return;
  edit2_.AddDyn(Active(rightOfEnd) ? rightOfEnd : EmptyDynInfo());
  InvalidateNavs(ctx_.Navigators, newEnd, edit2_.GetParNb());
}

// OnParse over the edited range, then start/stop keys and keywords there: applied again at once
// when no update is open, else the paragraph is marked so that formatting applies them.
void TStyledMemo::ParseEdited(int32_t start, int32_t stop, bool stylesChanged, bool startActivePlain) {
  const int32_t sp = store_.ParFromOffset(start);
  if (OnParse && !(startActivePlain && !stylesChanged)) {
    const TAlive alive = alive_;
    store_[sp].States &= static_cast<uint8_t>(~smpFormatted);
    pendingEdit_.reset();  // the handler may restyle what the shifted lines describe
    ++updateCount_;
    struct TLower {
      TStyledMemo& memo;
      const TAlive& alive;
      ~TLower() {
        if (!alive.expired()) --memo.updateCount_;
      }
    } lower{*this, alive};
    if (!Fire(OnParse, start, stop)) return;
  }
  const int32_t ep = store_.ParFromOffset(stop);
  if (updateCount_ >= 1) {
    for (int32_t i = sp; i <= ep; ++i) store_[i].States &= static_cast<uint8_t>(~(smpSSDone | smpKeywDone));
    return;
  }
  // The start/stop keys first (they lay keywords again where their ranges changed), then the
  // keywords over the paragraphs that had them.
  if (StartStopKeysReady()) {
    TStyledNavigator a(&ctx_), b(&ctx_);
    a.SetPos(start);
    b.SetPos(stop);
    ApplyStartStopKeyListP(a, b);
  }
  if ((store_[sp].States & smpKeywDone) && ctx_.KeywordsInUse && ctx_.ApplyKeywords)
    for (int32_t i = sp; i <= ep; ++i) ctx_.ApplyKeywords(i);
}

// Toggle codes that meet their twin with only codes between cancel each other out: both go,
// each through the edit path with cancelling off, and the scan goes on where they stood.
void TStyledMemo::CancelPairs(int32_t firstPar, int32_t lastPar) {
  const TAlive alive = alive_;
  edit1_.Assign(selEnd_);  // the new end, which the deletions move
  const bool cancelling = pairCancelling_;
  pairCancelling_ = false;
  ++updateCount_;
  struct TRestore {
    TStyledMemo& memo;
    const TAlive& alive;
    bool cancelling;
    ~TRestore() {
      if (alive.expired()) return;
      memo.pairCancelling_ = cancelling;
      --memo.updateCount_;
    }
  } restore{*this, alive, cancelling};
  auto erase = [&](int32_t at) {
    selStart_.SetPos(at);
    selEnd_.SetPos(at + 1);
    selLength_ = 1;
    caret_ = &selStart_;
    SetSelTextBuf(TByteView());
    return !alive.expired();
  };
  for (int32_t i = firstPar; i <= lastPar && i < store_.Count(); ++i) {
    int32_t q = 0;
    while (q < store_[i].Length()) {
      const TByteString& t = store_[i].Text;
      const unsigned char c = t[static_cast<size_t>(q)];
      int32_t twin = -1;
      if (IsStyleCode(c)) {
        for (int32_t k = q + 1; k < static_cast<int32_t>(t.size()) && IsStyleCode(t[static_cast<size_t>(k)]);
             ++k)
          if (t[static_cast<size_t>(k)] == c) {
            twin = k;
            break;
          }
      }
      if (twin < 0) {
        ++q;
        continue;
      }
      const int32_t base = store_[i].StartOffset;
      if (!erase(base + twin) || !erase(base + q)) return;
    }
  }
  selStart_.Assign(edit1_);
  selEnd_.Assign(edit1_);
  selLength_ = 0;
}

void TStyledMemo::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) EndModifications();
}

// Edits inside an update left their paragraphs to be parsed for start/stop keys: that is done
// before they are laid out, and runs on while a change reaches the next paragraph.
void TStyledMemo::ParseModified() {
  const int32_t first = store_.FirstModPar, last = std::min(store_.LastModPar, store_.Count() - 1);
  bool stale = false;
  for (int32_t i = first; i <= last && !stale; ++i) stale = !(store_[i].States & smpSSDone);
  if (!stale || !StartStopKeysReady()) return;
  TStyledNavigator a(&ctx_), b(&ctx_);
  a.SetPos(store_[first].StartOffset);
  b.SetPos(store_[last].StartOffset + store_[last].Length());
  ApplyStartStopKeyListP(a, b);
}

void TStyledMemo::EndModifications() {
  const TAlive alive = alive_;
  const int32_t count = store_.Count();
  const bool modified = store_.LastModPar >= store_.FirstModPar && store_.FirstModPar < count;
  TLaidOut laid;
  int32_t visibleDelta = store_.ModLineDelta;  // what the edits themselves added or removed
  if (modified) ParseModified();
  if (modified) {
    const int32_t first = store_.FirstModPar;
    const int32_t last = std::min(store_.LastModPar, count - 1);
    const TPendingEdit* edit = pendingEdit_ && editsPending_ == 1 ? &*pendingEdit_ : nullptr;
    laid = FormatRange(first, last, true, edit);
    visibleDelta += laid.visibleDelta;
    // Paragraphs below that come into view and were never laid out follow.
    if (WindowReady()) {
      const int64_t lastShown = int64_t{top_.getVisibleLineNumber()} + visibleLines_;
      int32_t i = last + 1;
      while (i < count && store_[i].FirstLine <= lastShown && !(store_[i].States & smpFormatted)) ++i;
      if (i > last + 1) {
        const TLaidOut more = FormatRange(last + 1, i - 1, false, nullptr);
        visibleDelta += more.visibleDelta;
        laid.lastLine = std::max(laid.lastLine, more.lastLine);
      }
    }
    laid.firstLine = std::min(laid.firstLine, store_.FirstModLine);
  }

  if (WindowReady()) {
    const int64_t h = ctx_.LineHeight;
    const int32_t oldTop = ctx_.TopOrigin;
    // The origin keeps the top text and its fine offset: an edit above the view leaves the
    // view's text in place.
    const int32_t newTop = TopOriginFromTopLine();
    const int32_t clientH = window_->ClientHeight();
    const int32_t clientW = window_->ClientWidth();
    if (modified && (visibleDelta != 0 || newTop != oldTop)) {
      // Old line k below the edit stands at k*H - shown; it moves to (k + delta)*H - shown'.
      const int64_t shownOld = int64_t{oldTop} + animTop_;
      const int64_t shownDelta = int64_t{newTop} - oldTop;
      const int64_t belowOld = (int64_t{laid.lastLine} - visibleDelta + 1) * h - shownOld;
      const int64_t shiftBelow = visibleDelta * h - shownDelta;
      ctx_.TopOrigin = newTop;
      if (shownDelta == 0 || belowOld <= 0) {
        if (shiftBelow != 0) {
          const int32_t from = static_cast<int32_t>(std::clamp<int64_t>(belowOld, 0, clientH));
          if (from < clientH) {
            if (backgroundBmp_.Empty() && std::abs(shiftBelow) <= 32767)
              window_->ScrollWindow(0, static_cast<int32_t>(shiftBelow), {0, from, clientW, clientH});
            else
              window_->InvalidateBand(from, clientH);
          }
        }
      } else {
        Repaint();
      }
    }
    ctx_.TopOrigin = newTop;
    const int32_t widest = ctx_.WidestLineWidth;
    SetVScrollParams();
    if ((!ctx_.WordWrap || ctx_.ColumnWrap > 0) && ctx_.WidestLine < 0) FindWidestLine();
    if (ctx_.WidestLineWidth != widest) SetHScrollParams();
    SetScrollPositions();
    if (modified) InvalidateLines(laid.firstLine, std::max(laid.lastLine, laid.firstLine));
  }
  SettleFormatMarks();
  // Whatever is left waits for the update mode: laid out now, or in background slices.
  StartRestFormatting();

  store_.FirstModPar = count;
  store_.LastModPar = -1;
  store_.ModLineDelta = 0;
  pendingEdit_.reset();
  editsPending_ = 0;
  if (store_.TextChanged) {
    store_.TextChanged = false;
    Change();
    if (alive.expired()) return;
  }
  if (WindowReady()) UpdateCaret(false);
}

uint8_t TStyledMemo::getCurrentStyle() {
  // Start/stop keys would be parsed up to the caret here; the memo has none of its own.
  return AttrToExtFontStyles(caret_->GetStyle(), caret_->GetpDynInfo().Flags, ctx_.FontStyle);
}

void TStyledMemo::UpdateCaret(bool recreate) {
  if (updateCount_ > 0) return;
  const TAlive alive = alive_;
  if (WindowReady()) {
    const int32_t par = caret_->GetParNb();
    // A caret paragraph never laid out is laid out here, and the caret placed on its lines.
    if (!(store_[par].States & smpFormatted)) FormatQuiet(par, par);
    ComputeCaretPixel();
    if (window_->Focused() && !displayOnly_) {
      if (recreate || (overwrite_ && (options_ & smoWideOverwriteCaret)))
        window_->CreateCaret(std::max(1, EffectiveCaretWidth()), ctx_.LineHeight);
      PlaceCaret();
    }
  }
  // What is reported is noted before anyone is told, so that a handler moving the caret again
  // fires only for that new move.
  const uint8_t style = getCurrentStyle();
  const int32_t pos = caret_->GetPos();
  TpmEvents events = 0;
  if (pos != reportedPos_ || filler_ != reportedFiller_) events |= smeSelMove;
  if (style != reportedStyle_) events |= smeStyleChange;
  reportedPos_ = pos;
  reportedFiller_ = filler_;
  reportedStyle_ = style;
  if ((events & smeSelMove) && !Fire(OnSelMove)) return;
  if ((events & smeStyleChange) && !Fire(OnStyleChange)) return;
  if (events) DoNotify(notifyListeners_, events);
}

int32_t TStyledMemo::EffectiveCaretWidth() {
  if (overwrite_ && (options_ & smoWideOverwriteCaret) && selLength_ == 0) {
    const int32_t w = caret_->getDisplayWidth();
    if (w > 0) return w;
  }
  return caretWidth_ > 0 ? caretWidth_ : ctx_.LineHeight / 14 + 1;
}

void TStyledMemo::PlaceCaret() {
  if (!WindowReady() || displayOnly_) return;
  int32_t x = caretPx_ - animLeft_;
  if (ctx_.WordWrap) x = std::min(x, textWidth_ - 1);
  window_->SetCaretPos(
      x, static_cast<int32_t>(std::clamp<int64_t>(int64_t{caretPy_} - animTop_, INT32_MIN, INT32_MAX)));
}

}  // namespace vestrel
