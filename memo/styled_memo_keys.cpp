// TStyledMemo: keys. KeyDown moves the caret and extends the selection, deletes, and runs the
// hot keys; KeyPress types the characters; column blocks start with Shift+Alt and an arrow.
#include <algorithm>

#include "memo/style_codes.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t';
}

// Clears a flag on every way out of a handler, unless the memo went with it.
struct TKeyboardScope {
  bool& flag;
  std::weak_ptr<const bool> alive;
  TKeyboardScope(bool& f, std::weak_ptr<const bool> a) : flag(f), alive(std::move(a)) { flag = true; }
  ~TKeyboardScope() {
    if (!alive.expired()) flag = false;
  }
};

}  // namespace

// ---- helpers ----

int32_t TStyledMemo::CaretColumn() {
  const ParInfo& p = caret_->GetPar();
  const int32_t offset = std::min(caret_->GetOffset(), p.Length());
  return OffsetToCol(p.Text, offset, ctx_.TabStops, store_.StaticFormat) +
         static_cast<int32_t>(filler_.size());
}

void TStyledMemo::NoteStyleAndCaret() {
  reportedPos_ = caret_->GetPos();
  reportedFiller_ = filler_;
  reportedStyle_ = getCurrentStyle();
}

void TStyledMemo::SkipCodesBack(TStyledNavigator& n) {
  const ParInfo& p = n.GetPar();
  int32_t o = std::min(n.GetOffset(), p.Length());
  while (o > 0 && IsStyleCode(p.Text[static_cast<size_t>(o - 1)])) --o;
  n.setParOffset(o);
}

void TStyledMemo::SkipCodesForward(TStyledNavigator& n) {
  const ParInfo& p = n.GetPar();
  int32_t o = std::min(n.GetOffset(), p.Length());
  while (o < p.Length() && IsStyleCode(p.Text[static_cast<size_t>(o)])) ++o;
  n.setParOffset(o);
}

// A place in a collapsed block goes to the nearest visible line in the direction of the move.
void TStyledMemo::ToVisible(TStyledNavigator& n, bool forward) {
  int32_t par = n.GetParNb();
  if (!(store_[par].States & smpHidden)) return;
  if (forward) {
    while (par + 1 < store_.Count() && (store_[par].States & smpHidden)) ++par;
    if (!(store_[par].States & smpHidden)) {
      n.setParNb(par);
      return;
    }
  }
  while (par > 0 && (store_[par].States & smpHidden)) --par;
  n.setParNb(par);
  n.setParOffset(store_[par].Length());
}

// The selection from anchor to the caret's new place, the lines between both old and new
// painted again.
void TStyledMemo::SetSelection(const TStyledNavigator& anchor, const TStyledNavigator& caret) {
  TStyledNavigator a(&ctx_), c(&ctx_);
  a.Assign(anchor);
  c.Assign(caret);
  InvalidateSelection();
  if (a.GetPos() <= c.GetPos()) {
    selStart_.Assign(a);
    selEnd_.Assign(c);
    caret_ = &selEnd_;
  } else {
    selStart_.Assign(c);
    selEnd_.Assign(a);
    caret_ = &selStart_;
  }
  selLength_ = a.GetPos() - c.GetPos();
  InvalidateSelection();
}

// ---- KeyDown ----

void TStyledMemo::KeyDown(TMemoKey& key, TShiftState shift) {
  const TAlive alive = alive_;
  keyUpSeen_ = false;
  if (OnKeyDown && !Fire(OnKeyDown, key, shift)) return;
  if (key == 0) return;
  if (dragging_ && key == kKeyEscape) {
    key = 0;
    CancelDrag();
    return;
  }
  // A character typed with Alt is a command's, not text.
  altChar_ = (shift & ssAlt) != 0;
  if (updateCount_ > 0) return;
  TKeyboardScope keyboard(keyboardScroll_, alive);
  if (displayOnly_) {
    if (DisplayOnlyKey(key, shift)) key = 0;
    return;
  }
  if ((shift & ssCtrl) && !(shift & ssAlt) && enableHotKeys_ && !readOnly_) {
    NoteStyleAndCaret();  // so that OnStyleChange reports what the hot key changes
    if (HotKey(key, shift)) {
      key = 0;
      if (!alive.expired()) ScrollInView();
      return;
    }
  }
  if (key == kKeyApps) {
    key = 0;
    if (!(options_ & smoNoDefaultPopup)) ShowInternalPopup(CaretPixel());
    return;
  }
  if (key >= 48) return;
  switch (key) {
    case kKeyBack:
      key = 0;
      BackspaceKey(shift);
      return;
    case kKeyDelete:
      key = 0;
      DeleteKey(shift);
      return;
    case kKeyTab:
      if (shift & ssAlt) return;
      key = 0;  // the character comes through KeyPress
      return;
    case kKeyInsert:
      if (shift & ssAlt) return;
      key = 0;
      if (shift & ssShift) {
        if (!readOnly_) PasteFromClipboard();
      } else if (shift & ssCtrl) {
        CopyToClipboard();
      } else if (options_ & smoInsertKeyActive) {
        overwrite_ = !overwrite_;
        if (WindowReady()) UpdateCaret(true);
        Fire(OnStyleChange);
      }
      return;
    default:
      if (MoveKey(key, shift)) key = 0;
      return;
  }
}

bool TStyledMemo::DisplayOnlyKey(TMemoKey key, TShiftState shift) {
  if (!WindowReady()) return false;
  const int64_t h = ctx_.LineHeight;
  const int64_t v = visibleLines_;
  const int64_t total = store_.VisibleLineCount;
  const int64_t lastPage = std::max<int64_t>(total - (v - 1), 0);
  const int64_t topLine = top_.getVisibleLineNumber();
  const int64_t w = window_->ClientWidth();
  const int64_t maxLeft =
      std::max<int64_t>(int64_t{std::max(ctx_.WidestLineWidth, 0)} + ctx_.RightMargin - w, 0);
  int64_t line = topLine, left = ctx_.LeftOrigin;
  switch (key) {
    case kKeyPageUp:
      line = (shift & ssCtrl) ? 0 : topLine - (v - 1);
      break;
    case kKeyPageDown:
      line = (shift & ssCtrl) ? lastPage : topLine + v - 1;
      break;
    case kKeyHome:
      left = 0;
      break;
    case kKeyEnd:
      left = maxLeft;
      break;
    case kKeyLeft:
      left -= w / 5 + 1;
      break;
    case kKeyRight:
      left += w / 5 + 1;
      break;
    case kKeyUp:
      line = topLine - 1;
      break;
    case kKeyDown:
      line = topLine + 1;
      break;
    default:
      return false;
  }
  line = std::clamp<int64_t>(line, 0, lastPage);
  left = std::clamp<int64_t>(left, 0, maxLeft);
  const int64_t top = line == topLine ? ctx_.TopOrigin : line * h;
  SetTopLeft(static_cast<int32_t>(std::min<int64_t>(top, INT32_MAX)), static_cast<int32_t>(left),
             scrollTime_);
  if (WindowReady()) window_->UpdateNow();
  return true;
}

bool TStyledMemo::HotKey(TMemoKey key, TShiftState shift) {
  static const unsigned char kPageBreak[] = {'\r', '\n', '\f'};
  static const unsigned char kTab[] = {'\t'};
  switch (key) {
    case 'B':
      SetBold();
      return true;
    case 'I':
      SetItalic();
      return true;
    case 'U':
      SetUnderline();
      return true;
    case 'H':
      SetHighlight();
      return true;
    case 'F':
      SetAltFont();
      return true;
    case 'P':
      setSelText(TByteView(kPageBreak, 3));
      return true;
    case 'T':
      setSelText(TByteView(kTab, 1));
      return true;
    case 'Z':
      if (shift & ssShift)
        Redo();
      else
        Undo();
      return true;
    default:
      return false;
  }
}

// The movement keys; false for a key that passes on.
bool TStyledMemo::MoveKey(TMemoKey key, TShiftState shift) {
  const bool alt = shift & ssAlt, ctrl = shift & ssCtrl;
  const bool arrow = key == kKeyLeft || key == kKeyRight || key == kKeyUp || key == kKeyDown;
  const bool paging = key == kKeyPageUp || key == kKeyPageDown || key == kKeyHome || key == kKeyEnd;
  if (!arrow && !paging) return false;
  const TAlive alive = alive_;
  // The caret's paragraph is laid out, then a navigator starts at the caret.
  const int32_t caretPar = caret_->GetParNb();
  if (!(store_[caretPar].States & smpFormatted) && FormatCanvas()) FormatQuiet(caretPar, caretPar);
  if (arrow && alt && (shift & ssShift) && (options_ & smoBlockSelection) && !ctx_.WordWrap && !blockMode_) {
    // A column block starts at the caret.
    InvalidateSelection();
    blockCol1_ = blockCol2_ = CaretColumn();
    selStart_.Assign(*caret_);
    selEnd_.Assign(*caret_);
    caret_ = &selStart_;
    selLength_ = 0;
    blockMode_ = true;
  }
  if (alt && (paging || !blockMode_)) return false;
  keyNav_.Assign(*caret_);
  TStyledNavigator& n = keyNav_;
  const bool codes = store_.StaticFormat && passOverCodes_;
  const int64_t h = ctx_.LineHeight;
  auto rememberX = [&] {
    if (caretX_ != kNoCaretX) return;
    if (WindowReady()) ComputeCaretPixel();
    caretX_ = caretPx_;
  };
  // Moves to visible line `line` at the remembered x, laying out its paragraph when needed.
  auto toLine = [&](int64_t line) {
    line = std::clamp<int64_t>(line, 0, std::max(store_.VisibleLineCount - 1, 0));
    n.setVisibleLineNumber(static_cast<int32_t>(line));
    const int32_t par = n.GetParNb();
    if (!(store_[par].States & smpFormatted) && FormatCanvas()) {
      FormatQuiet(par, par);
      n.setVisibleLineNumber(static_cast<int32_t>(line));
    }
    n.SetDisplayX(caretX_);
    filler_.clear();
  };
  switch (key) {
    case kKeyLeft:
      caretX_ = kNoCaretX;
      if (ctrl) {
        filler_.clear();
        n.ToPreviousWord(ctx_.Delimiters);
      } else if (!filler_.empty()) {
        filler_.pop_back();
      } else {
        if (codes) SkipCodesBack(n);
        if (n.GetOffset() > 0) {
          n.setParOffset(n.GetOffset() - 1);
        } else if (n.GetParNb() > 0) {
          n.setParNb(n.GetParNb() - 1);
          const ParInfo& p = n.GetPar();
          int32_t o = p.Length();
          if (options_ & smoDiscardTrailingSpaces)
            while (o > 0 && IsBlank(p.Text[static_cast<size_t>(o - 1)])) --o;
          n.setParOffset(o);
        }
        ToVisible(n, false);
      }
      break;
    case kKeyRight: {
      caretX_ = kNoCaretX;
      const ParInfo& p = n.GetPar();
      const bool atEnd = n.GetOffset() >= p.Length();
      if (ctrl) {
        filler_.clear();
        n.ToNextWord(ctx_.Delimiters);
        ToVisible(n, true);
      } else if (atEnd && (options_ & smoKeepColumnPos) && (!(options_ & smoWrapCaret) || blockMode_)) {
        filler_.push_back(' ');  // virtual space beyond the line's end
      } else if (n.GetPos() < store_.CharCount) {
        filler_.clear();
        if (codes) SkipCodesForward(n);
        if (options_ & smoDiscardTrailingSpaces) {
          int32_t o = n.GetOffset();
          while (o < p.Length() && IsBlank(p.Text[static_cast<size_t>(o)])) ++o;
          if (o >= p.Length()) n.setParOffset(p.Length());
        }
        if (n.GetOffset() < p.Length())
          n.setParOffset(n.GetOffset() + 1);
        else if (n.GetParNb() + 1 < store_.Count())
          n.setParNb(n.GetParNb() + 1);
        ToVisible(n, true);
      }
      break;
    }
    case kKeyUp: {
      const int64_t line = n.getVisibleLineNumber();
      if (line == 0) return false;  // from the first line the key passes on
      rememberX();
      toLine(line - 1);
      break;
    }
    case kKeyDown: {
      const int64_t line = n.getVisibleLineNumber();
      rememberX();
      if (line + 1 < store_.VisibleLineCount) toLine(line + 1);
      break;
    }
    case kKeyPageUp:
    case kKeyPageDown: {
      const int64_t step = std::max(visibleLines_ - 1, 1);
      const int64_t dir = key == kKeyPageDown ? 1 : -1;
      rememberX();
      if (!ctrl && WindowReady()) {
        // The view goes first, by as many lines; down not beyond the text's end.
        const int64_t topLine = top_.getVisibleLineNumber();
        const int64_t bottom =
            std::max<int64_t>(0, int64_t{store_.VisibleLineCount} * h - window_->ClientHeight() + 3);
        const int64_t top =
            dir > 0 ? std::min(h * (topLine + step), bottom) : std::max<int64_t>(topLine - step, 0) * h;
        SetTopLeft(static_cast<int32_t>(std::min<int64_t>(top, INT32_MAX)), ctx_.LeftOrigin, scrollTime_);
        if (alive.expired()) return true;
      }
      toLine(n.getVisibleLineNumber() + dir * step);
      break;
    }
    case kKeyHome:
    case kKeyEnd:
      caretX_ = kNoCaretX;
      filler_.clear();
      if (ctrl)
        n.SetPos(key == kKeyHome ? 0 : store_.CharCount);
      else
        n.SetColNb(key == kKeyHome ? 0 : INT32_MAX);
      break;
    default:
      return false;
  }

  // The selection follows the new place, or gives way to it.
  if (shift & ssShift) {
    const TStyledNavigator* anchor = caret_ == &selStart_ ? &selEnd_ : &selStart_;
    if (caret_ == &move_) {
      // With persistent blocks the caret may stand apart from the block: the block keeps its
      // anchor only when the caret is one of its ends.
      if (move_.GetPos() == selStart_.GetPos())
        anchor = &selEnd_;
      else if (move_.GetPos() == selEnd_.GetPos())
        anchor = &selStart_;
      else
        anchor = &move_;
    }
    SetSelection(*anchor, n);
    if (blockMode_) {
      blockCol2_ = CaretColumn();
      Repaint();
    }
  } else if (selLength_ != 0 && (options_ & smoPersistentBlocks) && !blockMode_) {
    move_.Assign(n);
    caret_ = &move_;
  } else {
    InvalidateSelection();
    blockMode_ = false;
    selStart_.Assign(n);
    selEnd_.Assign(n);
    selLength_ = 0;
    caret_ = &selStart_;
  }
  undoNewRecord_ = true;
  UpdateCaret(false);
  if (alive.expired()) return true;
  ScrollInView();
  if (!alive.expired() && WindowReady()) window_->UpdateNow();
  return true;
}

void TStyledMemo::BackspaceKey(TShiftState shift) {
  const TAlive alive = alive_;
  caretX_ = kNoCaretX;
  if (readOnly_) return;
  const bool keep = options_ & smoNoOverwriteBlocks;
  if (keep) PrepareKeepBlock();
  if (selStart_.GetPos() == selEnd_.GetPos()) {
    TStyledNavigator& n = keyNav_;
    n.Assign(*caret_);
    const int32_t caret = n.GetPos();
    const ParInfo& p = n.GetPar();
    const int32_t offset = std::min(n.GetOffset(), p.Length());
    int32_t from = caret;
    if (shift & ssCtrl) {
      n.ToPreviousWord(ctx_.Delimiters);
      from = n.GetPos();
    } else if (offset > 0 || !filler_.empty()) {
      if ((options_ & smoBackIndent) && filler_.empty()) {
        // At the end of a line's indentation: back to the indentation of the nearest line above
        // that is indented less.
        const int32_t tab = ctx_.TabStops;
        const bool skip = store_.StaticFormat;
        int32_t lead = 0;
        while (lead < p.Length() && IsBlank(p.Text[static_cast<size_t>(lead)])) ++lead;
        const int32_t col = OffsetToCol(p.Text, offset, tab, skip);
        if (offset == lead && col > 0) {
          int32_t target = 0;
          for (int32_t i = n.GetParNb() - 1; i >= 0; --i) {
            const TByteString& t = store_[i].Text;
            int32_t l = 0;
            while (l < static_cast<int32_t>(t.size()) && IsBlank(t[static_cast<size_t>(l)])) ++l;
            const int32_t c = OffsetToCol(t, l, tab, skip);
            if (c < col) {
              target = c;
              break;
            }
          }
          from = p.StartOffset + ColToOffset(p.Text, target, tab, skip);
        }
      }
      if (from == caret) {
        if (!filler_.empty()) {
          filler_.pop_back();
          UpdateCaret(false);
          if (keep && !alive.expired()) EndKeepBlock();
          return;
        }
        if (store_.StaticFormat) SkipCodesBack(n);
        if (n.GetOffset() > 0) n.setParOffset(n.GetOffset() - 1);
        from = n.GetPos();
      }
    } else if (n.GetParNb() > 0) {
      from = caret - 2;  // the break before the paragraph
    } else {
      // At the text's start there is nothing to delete: no edit at all.
      if (keep) EndKeepBlock();
      return;
    }
    if (from != caret) {
      setSelStart(caret);
      setSelLength(from - caret);
    }
  }
  if (selStart_.GetPos() != selEnd_.GetPos() || blockMode_) SetSelTextBuf(TByteView());
  if (alive.expired()) return;
  if (keep) EndKeepBlock();
  ScrollInView();
}

void TStyledMemo::DeleteKey(TShiftState shift) {
  const TAlive alive = alive_;
  if (readOnly_) return;
  if (shift & ssShift) {
    if (selStart_.GetPos() == selEnd_.GetPos()) {
      // Nothing selected: the character before the caret (the break at a paragraph's start).
      const int32_t caret = caret_->GetPos();
      if (caret == 0) return;
      const bool parStart = caret_->GetOffset() == 0;
      setSelStart(caret);
      setSelLength(parStart ? -2 : -1);
    }
    CutToClipboard();
    return;
  }
  const bool sameLine = selStart_.getVisibleLineNumber() == selEnd_.getVisibleLineNumber();
  if ((shift & ssCtrl) && sameLine && !blockMode_) {
    // To the end of the display line.
    keyNav_.Assign(selStart_);
    keyNav_.SetColNb(INT32_MAX);
    const int32_t from = selStart_.GetPos(), to = keyNav_.GetPos();
    if (to <= from && selStart_.GetPos() == selEnd_.GetPos()) return;
    setSelStart(from);
    setSelLength(std::max(to, selEnd_.GetPos()) - from);
    SetSelTextBuf(TByteView());
    if (!alive.expired()) ScrollInView();
    return;
  }
  TByteString filler;
  if (selStart_.GetPos() == selEnd_.GetPos() && !blockMode_) {
    const int32_t caret = caret_->GetPos();
    // At the text's end there is nothing to delete: no edit at all.
    if (caret >= store_.CharCount) return;
    // In virtual space the caret keeps its column: the blanks up to it become text.
    if (!filler_.empty() && (options_ & smoKeepColumnPos) && !ctx_.WordWrap) filler = filler_;
    TStyledNavigator& n = keyNav_;
    n.Assign(*caret_);
    const ParInfo& p = n.GetPar();
    if (store_.StaticFormat) SkipCodesForward(n);
    if (n.GetOffset() >= p.Length())
      n.SetPos(p.StartOffset + p.Length() + 2);  // the break, and the codes before it
    else
      n.setParOffset(n.GetOffset() + 1);
    setSelStart(caret);
    setSelLength(n.GetPos() - caret);
  }
  SetSelTextBuf(filler);
  if (!alive.expired()) ScrollInView();
}

// ---- KeyPress ----

void TStyledMemo::KeyPress(unsigned char& key) {
  const TAlive alive = alive_;
  if (OnKeyPress && !Fire(OnKeyPress, key)) return;
  if (key == 0) return;
  if (altChar_) {
    altChar_ = false;
    return;
  }
  if (updateCount_ > 0 || displayOnly_) return;
  if (readOnly_ && key != 3) return;
  TKeyboardScope keyboard(keyboardScroll_, alive);
  const bool keep = (options_ & smoNoOverwriteBlocks) && key != 3 && key != 22 && key != 24;
  if (keep) PrepareKeepBlock();
  const bool noSelection = selStart_.GetPos() == selEnd_.GetPos();
  const ParInfo& caretPar = caret_->GetPar();
  const bool atParEnd = caret_->GetOffset() >= caretPar.Length();
  switch (key) {
    case 3:
      CopyToClipboard();
      break;
    case 22:
      PasteFromClipboard();
      break;
    case 24:
      CutToClipboard();
      break;
    case 5:
      Repaint();
      CheckIntegrity();
      break;
    case 9:
      if (options_ & smoSmartTabs) {
        TByteString t = getSelText();
        t += SmartTabText();
        setSelText(t);
      } else if ((options_ & smoDiscardTrailingSpaces) && noSelection && atParEnd) {
        filler_.push_back('\t');
        UpdateCaret(false);
      } else {
        static const unsigned char kTab[] = {'\t'};
        setSelText(TByteView(kTab, 1));
      }
      break;
    case 13:
      EnterKey();
      break;
    default:
      if (key <= 30 || key == 127) break;  // control characters are not text
      if (overwrite_ && noSelection && !atParEnd) {
        setSelStart(caret_->GetPos());
        setSelLength(1);  // the character under the caret is replaced
      }
      if (key == ' ' && atParEnd && noSelection && (options_ & smoDiscardTrailingSpaces)) {
        filler_.push_back(' ');
        UpdateCaret(false);
      } else {
        setSelText(TByteView(&key, 1));
      }
      break;
  }
  if (alive.expired()) return;
  if (keep) EndKeepBlock();
  ScrollInView();
  if (!alive.expired() && !keyUpSeen_ && WindowReady()) window_->UpdateNow();
}

void TStyledMemo::EnterKey() {
  static const unsigned char kBreak[] = {'\r', '\n'};
  const bool noSelection = selStart_.GetPos() == selEnd_.GetPos();
  if (overwrite_ && noSelection) {
    // Overwriting only moves to the next line's start; below the last line one is added.
    keyNav_.Assign(*caret_);
    const int32_t line = keyNav_.getVisibleLineNumber();
    if (line + 1 < store_.VisibleLineCount) {
      keyNav_.setVisibleLineNumber(line + 1);
      setSelStart(keyNav_.GetPos());
    } else {
      setSelStart(store_.CharCount);
      setSelText(TByteView(kBreak, 2));
    }
    return;
  }
  if ((options_ & smoAutoIndent) && noSelection) {
    // The indentation of the nearest line at or above that has text, up to the caret's column.
    const int32_t caretCol = CaretColumn();
    keyNav_.Assign(*caret_);
    TByteString indent;
    for (int32_t line = keyNav_.getVisibleLineNumber(); line >= 0; --line) {
      keyNav_.setVisibleLineNumber(line);
      const TByteString text = keyNav_.GetLine();
      if (text.empty()) continue;
      for (unsigned char c : text) {
        if (!IsBlank(c)) break;
        TByteString longer = indent;
        longer.push_back(c);
        if (OffsetToCol(longer, static_cast<int32_t>(longer.size()), ctx_.TabStops, false) > caretCol) break;
        indent = longer;
      }
      break;
    }
    const ParInfo& p = caret_->GetPar();
    if ((options_ & smoDiscardTrailingSpaces) && caret_->GetOffset() >= p.Length()) {
      setSelText(TByteView(kBreak, 2));
      // Held as pending blanks: they become text only when something follows them.
      TByteString blanks;
      for (unsigned char c : indent) {
        if (c == '\t' && ctx_.TabStops > 0)
          blanks.append(static_cast<size_t>(ctx_.TabStops), ' ');
        else
          blanks.push_back(c);
      }
      filler_ = blanks;
      UpdateCaret(false);
      return;
    }
    TByteString t(kBreak, kBreak + 2);
    t += indent;
    setSelText(t);
    return;
  }
  setSelText(TByteView(kBreak, 2));
}

void TStyledMemo::KeyUp(TMemoKey& key, TShiftState shift) {
  keyUpSeen_ = true;
  if (OnKeyUp) Fire(OnKeyUp, key, shift);
}

TByteString TStyledMemo::SmartTabText() {
  if (ctx_.WordWrap) return TByteString(1, '\t');
  const int32_t par = caret_->GetParNb();
  if (par == 0) return {};
  const int32_t c = CaretColumn();
  const int32_t tab = ctx_.TabStops;
  const bool skip = store_.StaticFormat;
  for (int32_t i = par - 1; i >= 0; --i) {
    const TByteString& t = store_[i].Text;
    const int32_t len = static_cast<int32_t>(t.size());
    if (OffsetToCol(t, len, tab, skip) <= c) continue;
    // From column c: the rest of a word, then the blanks after it.
    int32_t o = ColToOffset(t, c, tab, skip);
    while (o < len && !IsBlank(t[static_cast<size_t>(o)])) ++o;
    while (o < len && IsBlank(t[static_cast<size_t>(o)])) ++o;
    return TByteString(static_cast<size_t>(std::max(OffsetToCol(t, o, tab, skip) - c, 0)), ' ');
  }
  return {};
}

// ---- blocks ----

TByteString TStyledMemo::SelectedBlockText() {
  TByteString out;
  if (!blockMode_ || selStart_.GetPos() == selEnd_.GetPos()) return out;
  const int32_t c1 = std::min(blockCol1_, blockCol2_), c2 = std::max(blockCol1_, blockCol2_);
  for (int32_t i = selStart_.GetParNb(); i <= selEnd_.GetParNb() && i < store_.Count(); ++i) {
    const TByteString& t = store_[i].Text;
    const int32_t a = ColToOffset(t, c1, ctx_.TabStops, store_.StaticFormat);
    const int32_t b = ColToOffset(t, c2, ctx_.TabStops, store_.StaticFormat);
    if (b > a) out.append(t, static_cast<size_t>(a), static_cast<size_t>(b - a));
    out.push_back('\r');
    out.push_back('\n');
  }
  return out;
}

}  // namespace vestrel
