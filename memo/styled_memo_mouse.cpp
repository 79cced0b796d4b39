// TStyledMemo: the mouse. Clicks place the caret or extend the selection, presses in the margin
// select lines, double clicks select words, Alt+click starts a column block, a selection is
// dragged to another place, and a click on text with a context value reports it.
#include <algorithm>

#include "memo/styled_memo.h"

namespace vestrel {

// ---- locating the pointer ----

void TStyledMemo::LocateMouse(int32_t x, int32_t y) {
  TStyledNavigator& n = mouse_;
  if (store_.VisibleLineCount <= 0 || !WindowReady()) {
    n.SetPos(0);
    return;
  }
  // Not below the last line the window shows, nor above the first.
  const int64_t h = std::max(ctx_.LineHeight, 1);
  const int64_t lastShown =
      (int64_t{ctx_.TopOrigin} - ctx_.TopOffset + std::max(window_->ClientHeight() - 1, 0)) / h;
  const int64_t rel = int64_t{y} + ctx_.TopOrigin - ctx_.TopOffset;
  int64_t line = rel < 0 ? 0 : rel / h;
  line = std::min(line, lastShown);
  if (line >= store_.VisibleLineCount) {
    n.SetPos(store_.CharCount);  // below the text: its end
    return;
  }
  n.setVisibleLineNumber(static_cast<int32_t>(line));
  const int32_t par = n.GetParNb();
  if (!(store_[par].States & smpFormatted) && FormatCanvas()) {
    FormatQuiet(par, par);
    n.setVisibleLineNumber(static_cast<int32_t>(line));
  }
  n.SetDisplayX(x);
  n.RightOfDyn();
}

// Blanks that stand for the columns a click beyond the end of its line lies past it.
int32_t TStyledMemo::ColumnsBeyondLineEnd(int32_t x) {
  TStyledNavigator& n = mouse_;
  const ParInfo& p = n.GetPar();
  if (n.GetOffset() < p.Length() || n.GetParLine() != GetLineCount(p) - 1) return 0;
  const int32_t endX = n.GetDisplayX();
  const int32_t space = std::max(ctx_.SpaceWidth, 1);
  return std::max((x - endX + space / 2) / space, 0);
}

bool TStyledMemo::DragAllowed() const {
  return !(options_ & smoNoDragnDrop) && !readOnly_ && !displayOnly_ && !blockMode_;
}

void TStyledMemo::ShowCursor(TMemoCursor c) {
  if (c == cursor_) return;
  cursor_ = c;
  if (WindowReady()) window_->SetCursor(c);
}

// The run of the attribute in force right of offset: from where its record starts to where
// the next record starts (the text's end when none does).
std::pair<int32_t, int32_t> TStyledMemo::DynRunAt(int32_t offset) {
  const int32_t par = store_.ParFromOffset(offset);
  const int32_t o = offset - store_[par].StartOffset;
  int32_t start = 0, stop = store_.CharCount;
  bool found = false;
  {
    const std::vector<DynInfoRec>& d = GetDynArray(store_[par]);
    size_t k = 0;
    while (k < d.size() && d[k].Start <= o) ++k;
    if (k > 0) {
      start = store_[par].StartOffset + d[k - 1].Start;
      found = true;
    }
    if (k < d.size()) return {start, store_[par].StartOffset + d[k].Start};
  }
  for (int32_t i = par - 1; i >= 0 && !found; --i) {
    const std::vector<DynInfoRec>& d = GetDynArray(store_[i]);
    if (!d.empty()) {
      start = store_[i].StartOffset + d.back().Start;
      found = true;
    }
  }
  for (int32_t i = par + 1; i < store_.Count(); ++i) {
    const std::vector<DynInfoRec>& d = GetDynArray(store_[i]);
    if (!d.empty()) {
      stop = store_[i].StartOffset + d.front().Start;
      break;
    }
  }
  return {start, stop};
}

// ---- selecting ----

void TStyledMemo::SelectMarginLines(int32_t anchorLine, int32_t line) {
  const int32_t last = std::max(store_.VisibleLineCount - 1, 0);
  const int32_t a = std::clamp(std::min(anchorLine, line), 0, last);
  const int32_t b = std::clamp(std::max(anchorLine, line), 0, last);
  TStyledNavigator from(&ctx_), to(&ctx_);
  from.setVisibleLineNumber(a);
  from.SetColNb(0);
  to.setVisibleLineNumber(b);
  const ParInfo& p = to.GetPar();
  const int32_t parLine = to.GetParLine();
  if (parLine == GetLineCount(p) - 1) {
    // A paragraph's last line comes with its break, but for the text's last paragraph.
    if (to.GetParNb() + 1 < store_.Count())
      to.setParNb(to.GetParNb() + 1);
    else
      to.SetPos(store_.CharCount);
  } else {
    to.SetPos(p.StartOffset + GetLine(p, parLine + 1).Start);
  }
  if (line >= anchorLine)
    SetSelection(from, to);
  else
    SetSelection(to, from);
}

void TStyledMemo::SelectWords(bool toEnd) {
  const TDelimiters& d = ctx_.Delimiters;
  const bool caretAtEnd = caret_ == &selEnd_ && selLength_ != 0;
  TStyledNavigator a(&ctx_), b(&ctx_);
  a.Assign(selStart_);
  b.Assign(selEnd_);
  a.ToStartOfWord(d);
  if (toEnd) {
    b.ToEndOfWord(d);
    if (options_ & smoLargeWordSelect) {
      const ParInfo& p = b.GetPar();
      int32_t o = std::min(b.GetOffset(), p.Length());
      while (o < p.Length() && d.test(p.Text[static_cast<size_t>(o)])) ++o;
      b.setParOffset(o);
    }
  }
  blockMode_ = false;
  if (caretAtEnd)
    SetSelection(a, b);
  else
    SetSelection(b, a);
}

// Grows the selection by whole words from the double-clicked word towards the pointer.
void TStyledMemo::ExtendWordSelection() {
  const TDelimiters& d = ctx_.Delimiters;
  TStyledNavigator anchor(&ctx_), to(&ctx_);
  to.Assign(mouse_);
  if (mouse_.GetPos() >= wordStart_) {
    anchor.SetPos(wordStart_);
    to.ToEndOfWord(d);
    if (to.GetPos() < wordEnd_) to.SetPos(wordEnd_);
  } else {
    anchor.SetPos(wordEnd_);
    to.ToStartOfWord(d);
  }
  SetSelection(anchor, to);
}

// ---- auto-scroll ----

// The button is held at x, y: beyond an edge the text scrolls towards it, by a line at each
// tick of a timer whose interval follows the distance; a change of direction or speed starts
// the timer afresh.
void TStyledMemo::SetAutoScroll(int32_t x, int32_t y) {
  const int32_t w = window_->ClientWidth(), h = window_->ClientHeight();
  TMouseScrollType dir = msNoScroll;
  int32_t beyond = 0;
  if (y < -3) {
    dir = msUp;
    beyond = -y;
  } else if (y > h) {
    dir = msDown;
    beyond = y - h;
  }
  // Dragged text scrolls up or down only while the pointer is about above or below the text.
  if (dir != msNoScroll && dragging_ && (x < -3 || x > w + 3)) dir = msNoScroll;
  if (dir == msNoScroll) {
    if (x < 0) {
      dir = msLeft;
      beyond = -x;
    } else if (x > w) {
      dir = msRight;
      beyond = x - w;
    }
  }
  // Dragged text may be meant for another window: far out nothing scrolls.
  if (dir != msNoScroll && dragging_ && beyond > (dir == msUp ? 26 : 24)) dir = msNoScroll;
  // A pointer just beyond the edge scrolls at the slowest speed, not the fastest.
  const int32_t level = dir == msNoScroll ? 0 : std::max(beyond / 3, 1);
  if (dir == scrollDir_ && level == scrollLevel_) return;
  scrollDir_ = dir;
  scrollLevel_ = level;
  window_->StopTimer(kAutoScrollTimerId);
  if (dir != msNoScroll) window_->StartTimer(kAutoScrollTimerId, level <= 7 ? kAutoScrollMs[level - 1] : 0);
}

void TStyledMemo::StopAutoScroll() {
  if (scrollDir_ == msNoScroll) return;
  scrollDir_ = msNoScroll;
  scrollLevel_ = 0;
  if (WindowReady()) window_->StopTimer(kAutoScrollTimerId);
}

// One tick: a line towards the pointer, then the pointer's move again, as far beyond the edge
// as its speed says.
void TStyledMemo::AutoScrollStep() {
  const TAlive alive = alive_;
  if (scrollDir_ == msNoScroll || !mouseHeld_ || !WindowReady()) {
    StopAutoScroll();
    return;
  }
  const int32_t d = 3 * scrollLevel_;
  int32_t x = lastMouse_.x, y = lastMouse_.y;
  switch (scrollDir_) {
    case msUp:
      VScroll(SB_LINEUP, 0);
      y = -d;
      break;
    case msDown:
      VScroll(SB_LINEDOWN, 0);
      y = window_->ClientHeight() + d;
      break;
    case msLeft:
      HScroll(SB_LINEUP, 0);
      x = -d;
      break;
    default:
      HScroll(SB_LINEDOWN, 0);
      x = window_->ClientWidth() + d;
      break;
  }
  if (alive.expired()) return;
  MouseMove(lastShift_ | ssLeft, x, y);
}

// ---- the handlers ----

void TStyledMemo::MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
  const TAlive alive = alive_;
  if (!Fire(OnMouseDown, button, shift, x, y)) return;
  downAt_ = {x, y};
  if (button == mbLeft && !displayOnly_ && WindowReady()) {
    caretX_ = kNoCaretX;
    mouseHeld_ = true;
    if (wordSelecting_) return;
    filler_.clear();
    LocateMouse(x, y);
    if (overSelection_ && DragAllowed()) {
      dragging_ = true;
      dragOutside_ = false;
      move_.Assign(mouse_);
      caret_ = &move_;
      ShowCursor(crDrag);
      UpdateCaret(true);
    } else if (marginLine_ >= 0) {
      blockMode_ = false;
      marginAnchor_ = marginLine_;
      SelectMarginLines(marginAnchor_, marginLine_);
      UpdateCaret(false);
    } else {
      const bool extend = shift & ssShift;
      if (!extend) {
        InvalidateSelection();
        blockMode_ = false;
      }
      const bool startBlock = !extend && (shift & ssAlt) && (options_ & smoBlockSelection) && !ctx_.WordWrap;
      if (startBlock) blockMode_ = true;
      if ((options_ & smoKeepColumnPos) || blockMode_)
        filler_.assign(static_cast<size_t>(ColumnsBeyondLineEnd(x)), ' ');
      if (extend) {
        const TStyledNavigator* anchor = caret_ == &selStart_ ? &selEnd_ : &selStart_;
        if (caret_ == &move_) anchor = &move_;
        TStyledNavigator a(&ctx_);
        a.Assign(*anchor);
        SetSelection(a, mouse_);
      } else {
        selStart_.Assign(mouse_);
        selEnd_.Assign(mouse_);
        selLength_ = 0;
        caret_ = &selStart_;
      }
      undoNewRecord_ = true;
      UpdateCaret(false);
      if (alive.expired()) return;
      if (blockMode_) {
        if (startBlock) blockCol1_ = CaretColumn();
        blockCol2_ = CaretColumn();
        Repaint();
      }
    }
    if (alive.expired()) return;
    if (WindowReady() && !window_->Focused()) window_->SetFocus();
  }
  if (alive.expired()) return;
  Fire(OnAfterMouseDown, button, shift, x, y);
}

void TStyledMemo::MouseMove(TShiftState shift, int32_t x, int32_t y) {
  const TAlive alive = alive_;
  if (!Fire(OnMouseMove, shift, x, y)) return;
  if (updateCount_ > 0 || !WindowReady()) return;
  const int32_t clientH = window_->ClientHeight(), clientW = window_->ClientWidth();
  lastMouse_ = {x, y};
  lastShift_ = shift;
  if (mouseHeld_ && marginAnchor_ < 0) {
    SetAutoScroll(x, y);
  }
  LocateMouse(x, y);
  if (!mouseHeld_) {
    const bool inMargin = x < ctx_.LeftMargin - 2 && !(options_ & smoNoLineSelection);
    marginLine_ = inMargin ? mouse_.getVisibleLineNumber() : -1;
    const int32_t pos = mouse_.GetPos();
    const int32_t a = selStart_.GetPos(), b = selEnd_.GetPos();
    overSelection_ = !inMargin && a != b && pos >= a && pos < b && DragAllowed();
    if (inMargin) {
      ShowCursor(crMemoRightArrow);
    } else if (overSelection_) {
      ShowCursor(crArrow);
    } else {
      const DynInfoRec& r = mouse_.GetpDynInfo();
      ShowCursor((r.Flags & kDynActive) && r.Cursor != 0 ? static_cast<TMemoCursor>(r.Cursor) : crDefault);
    }
    return;
  }
  if (marginAnchor_ >= 0) {
    SelectMarginLines(marginAnchor_, mouse_.getVisibleLineNumber());
    UpdateCaret(false);
    return;
  }
  if (dragging_) {
    dragOutside_ = x < 0 || y < 0 || x >= clientW || y >= clientH;
    ShowCursor(dragOutside_ ? crNoDrop : (shift & ssCtrl) ? crMemoDragCopy : crDrag);
    move_.Assign(mouse_);
    caret_ = &move_;
    UpdateCaret(false);
    return;
  }
  const int32_t caretBefore = caret_->GetPos();
  if (wordSelecting_) {
    ExtendWordSelection();
  } else {
    const TStyledNavigator* anchor = caret_ == &selStart_ ? &selEnd_ : &selStart_;
    if (caret_ == &move_) anchor = &move_;
    TStyledNavigator a(&ctx_);
    a.Assign(*anchor);
    SetSelection(a, mouse_);
    if (blockMode_) {
      filler_.assign(static_cast<size_t>(ColumnsBeyondLineEnd(x)), ' ');
      blockCol2_ = CaretColumn();
      Repaint();
    }
  }
  if (caret_->GetPos() != caretBefore || blockMode_) UpdateCaret(false);
}

void TStyledMemo::MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y) {
  const TAlive alive = alive_;
  if (wordSelecting_) {
    wordSelecting_ = false;
    filler_.clear();
    UpdateCaret(false);
    if (alive.expired()) return;
  }
  const bool wasHeld = mouseHeld_;
  mouseHeld_ = false;
  StopAutoScroll();
  marginAnchor_ = -1;
  if (dragging_) {
    dragging_ = false;
    ShowCursor(crDefault);
    if (!dragOutside_ && button == mbLeft) {
      DropSelection(shift & ssCtrl);
      if (alive.expired()) return;
    } else {
      caret_ = &selStart_;
      UpdateCaret(true);
      if (alive.expired()) return;
    }
    overSelection_ = false;
  }
  // A click on text with a context value reports it: a left release where the press was, or
  // any right release.
  bool popup = button == mbRight;
  if (WindowReady() && store_.CharCount > 0 &&
      (button == mbRight || (button == mbLeft && x == downAt_.x && y == downAt_.y))) {
    LocateMouse(x, y);
    const DynInfoRec& r = mouse_.GetpDynInfo();
    if ((r.Flags & kDynActive) && r.Context != 0) {
      contextValue_ = r.Context;
      const auto [start, stop] = DynRunAt(mouse_.GetPos());
      DoNotify(notifyListeners_, button == mbRight ? smeRightContext : smeContext);
      if (alive.expired()) return;
      if (!Fire(OnContext, r.Context, start, stop)) return;
      // A listener that took the click clears the value: no menu then.
      popup = popup && contextValue_ != 0;
    }
  }
  if (!Fire(OnMouseUp, button, shift, x, y)) return;
  if (popup) {
    ShowInternalPopup({x, y});
  } else if (button == mbLeft && wasHeld && !displayOnly_) {
    ScrollInView();
  }
}

void TStyledMemo::DblClick() {
  const TAlive alive = alive_;
  if (!displayOnly_ && WindowReady()) {
    wordSelecting_ = true;
    SelectWords(true);
    wordStart_ = selStart_.GetPos();
    wordEnd_ = selEnd_.GetPos();
    UpdateCaret(false);
    if (alive.expired()) return;
  }
  Fire(OnDblClick);
}

// The selection goes where the drag ended: moved, or copied with Ctrl, as one step.
void TStyledMemo::DropSelection(bool copy) {
  const TAlive alive = alive_;
  const int32_t a = selStart_.GetPos(), b = selEnd_.GetPos();
  const int32_t drop = move_.GetPos();
  if (drop >= a && drop <= b) {
    // Inside the selection: only the caret goes there, as a click would put it.
    InvalidateSelection();
    selStart_.Assign(move_);
    selEnd_.Assign(move_);
    selLength_ = 0;
    caret_ = &selStart_;
    UpdateCaret(true);  // which tells OnSelMove
    return;
  }
  const TByteString text = getSelText();
  // The drop place in a navigator of the memo's, which the removal moves.
  TStyledNavigator at(&ctx_);
  at.SetPos(drop);
  undoNewRecord_ = true;
  BeginUpdate();
  {
    struct TClose {
      TStyledMemo& memo;
      const TAlive& alive;
      ~TClose() {
        if (!alive.expired()) memo.EndUpdate();
      }
    } close{*this, alive};
    if (!copy) {
      setSelText(TByteView());
      if (alive.expired()) return;
    }
    const int32_t where = at.GetPos();
    setSelStart(where);
    if (alive.expired()) return;
    setSelText(text);
    if (alive.expired()) return;
    setSelStart(where);
    if (alive.expired()) return;
    setSelLength(static_cast<int32_t>(text.size()));
  }
  if (alive.expired()) return;
  UpdateCaret(true);
  if (alive.expired()) return;
  ScrollInView();
}

// ---- column blocks ----

TRect TStyledMemo::GetColumnBlockXY() {
  if (!blockMode_) return {};
  return {std::min(blockCol1_, blockCol2_),
          std::min(selStart_.getVisibleLineNumber(), selEnd_.getVisibleLineNumber()),
          std::max(blockCol1_, blockCol2_),
          std::max(selStart_.getVisibleLineNumber(), selEnd_.getVisibleLineNumber())};
}

void TStyledMemo::CancelDrag() {
  if (!dragging_) return;
  dragging_ = false;
  mouseHeld_ = false;
  StopAutoScroll();
  ShowCursor(crDefault);
  caret_ = &selStart_;
  UpdateCaret(true);
}

}  // namespace vestrel
