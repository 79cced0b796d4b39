// TStyledMemo: the selection model and the text, paragraph and line accessors.
#include <algorithm>

#include "memo/memo_errors.h"
#include "memo/styled_memo.h"

namespace vestrel {

// ---- selection ----

int32_t TStyledMemo::getSelStart() {
  return caret_->GetPos();
}

void TStyledMemo::setSelStart(int32_t value) {
  selLength_ = 0;
  filler_.clear();
  caretX_ = kNoCaretX;
  value = std::clamp(value, 0, store_.CharCount);
  InvalidateSelection();
  selStart_.SetPos(value);
  selEnd_.Assign(selStart_);
  caret_ = &selStart_;
  undoNewRecord_ = true;
  if (WindowReady()) UpdateCaret(false);
}

// The caret stays; the other end goes to caret + value within the text, and the stored length
// is the one that results, for callers read it directly.
void TStyledMemo::setSelLength(int32_t value) {
  blockMode_ = false;
  if (value == selLength_) return;
  const int32_t caret = caret_->GetPos();
  const int32_t other =
      static_cast<int32_t>(std::clamp<int64_t>(int64_t{caret} + value, 0, store_.CharCount));
  const int32_t oldA = selStart_.GetPos(), oldB = selEnd_.GetPos();
  if (value <= 0) {
    selEnd_.Assign(*caret_);
    selStart_.SetPos(other);
    caret_ = &selEnd_;
  } else {
    selStart_.Assign(*caret_);
    selEnd_.SetPos(other);
    caret_ = &selStart_;
  }
  selLength_ = other - caret;
  undoNewRecord_ = true;
  // Only the lines between the old and the new ends change their look (not while formatting
  // runs).
  if (WindowReady() && !formatting_) {
    auto lineOf = [this](int32_t offset) {
      scratch2_.SetPos(offset);
      return scratch2_.getVisibleLineNumber();
    };
    const int32_t newA = selStart_.GetPos(), newB = selEnd_.GetPos();
    if (oldA != newA) InvalidateLines(lineOf(oldA), lineOf(newA));
    if (oldB != newB) InvalidateLines(lineOf(oldB), lineOf(newB));
  }
}

void TStyledMemo::InvalidateSelection() {
  if (!WindowReady() || formatting_ || selStart_.GetPos() == selEnd_.GetPos()) return;
  if (blockMode_) {  // a column block reaches across whole lines
    Repaint();
    return;
  }
  InvalidateLines(selStart_.getVisibleLineNumber(), selEnd_.getVisibleLineNumber());
}

TByteString TStyledMemo::getSelText() {
  if (blockMode_) return SelectedBlockText();
  const int32_t a = selStart_.GetPos(), b = selEnd_.GetPos();
  scratch1_.SetPos(a);
  return scratch1_.GetTextString(b - a);
}

void TStyledMemo::setSelText(TByteView text) {
  // A caret beyond a line's end takes its blanks along into the text.
  if ((options_ & smoPutExtraSpaces) && !filler_.empty() && !(blockMode_ && selLength_ != 0)) {
    TByteString t = filler_;
    t.append(text);
    SetSelTextBuf(t);
    return;
  }
  SetSelTextBuf(text);
}

void TStyledMemo::SelectAll() {
  setSelStart(store_.CharCount);
  setSelLength(-store_.CharCount);
}

void TStyledMemo::ClearSelection() {
  setSelText(TByteView());
}

void TStyledMemo::Clear() {
  SetTextBuf(TByteView());
}

void TStyledMemo::SetTextBuf(TByteView text) {
  const TAlive alive = alive_;
  SelectAll();
  SetSelTextBuf(text);
  if (alive.expired()) return;
  setSelStart(0);
  if (updateCount_ == 0 && !alive.expired()) SetTopLeft(0, ctx_.LeftOrigin, 0);
}

int32_t TStyledMemo::GetTextBuf(unsigned char* buf, int32_t size) {
  if (size <= 0 || !buf) return 0;  // no room, not even for the NUL
  scratch1_.SetPos(0);
  return scratch1_.GetTextBuf(buf, std::min(size - 1, store_.CharCount));
}

int32_t TStyledMemo::GetSelTextBuf(unsigned char* buf, int32_t size) {
  if (size <= 0 || !buf) return 0;
  scratch1_.SetPos(selStart_.GetPos());
  return scratch1_.GetTextBuf(buf, std::min(size - 1, selEnd_.GetPos() - selStart_.GetPos()));
}

TByteString TStyledMemo::GetTextPart(int32_t start, int32_t stop) {
  start = std::max(start, 0);
  stop = std::min(stop, store_.CharCount);
  if (stop <= start) return {};
  scratch1_.SetPos(start);
  return scratch1_.GetTextString(stop - start);
}

std::optional<TByteString> TStyledMemo::GetTextPartBuf(int32_t start, int32_t stop) {
  if (stop < start) return std::nullopt;
  return GetTextPart(start, stop);
}

TByteString TStyledMemo::GetTextContent() {
  return GetTextPart(0, store_.CharCount);
}

unsigned char TStyledMemo::getChar(int32_t offset) {
  scratch1_.SetPos(offset);
  return scratch1_.GetText();
}

TByteString TStyledMemo::getCurrentWord() {
  return caret_->GetWord();
}

// ---- paragraphs ----

TByteString TStyledMemo::getParString(int32_t i) {
  return store_[i].Text;
}

int32_t TStyledMemo::getParsOffset(int32_t i) {
  return store_[i].StartOffset;
}

const unsigned char* TStyledMemo::getParBuffers(int32_t i) {
  return store_[i].Text.c_str();
}

TColor TStyledMemo::getParBackgnd(int32_t i) {
  return smsGetParBackgnd(store_[i]);
}

TColor TStyledMemo::getParForegnd(int32_t i) {
  return smsGetParForegnd(store_[i]);
}

void TStyledMemo::setParBackgnd(int32_t i, TColor c) {
  ParInfo& p = store_[i];
  smsSetParBackgnd(p, c);
  InvalidateLines(p.FirstLine, p.FirstLine + GetLineCount(p) - 1);
}

void TStyledMemo::setParForegnd(int32_t i, TColor c) {
  ParInfo& p = store_[i];
  smsSetParForegnd(p, c);
  InvalidateLines(p.FirstLine, p.FirstLine + GetLineCount(p) - 1);
}

bool TStyledMemo::getParWrapable(int32_t i) {
  return !(store_[i].States & smpNoWrap);
}

void TStyledMemo::setParWrapable(int32_t i, bool value) {
  ParInfo& p = store_[i];
  if (value == !(p.States & smpNoWrap)) return;
  p.States = static_cast<uint8_t>(value ? (p.States & ~smpNoWrap) : (p.States | smpNoWrap));
  if (!ctx_.WordWrap) return;
  pendingEdit_.reset();  // the paragraph is laid out whole
  store_.ExtendMods(i, 0, i);
  if (updateCount_ == 0) EndModifications();
}

void TStyledMemo::setParsBuf(int32_t i, TByteView text) {
  if (i < 0) throw ERangeError();  // before the caret moves or the bracket opens
  const int32_t caretPar = caret_->GetParNb();
  const int32_t oldSelStart = getSelStart(), oldSelLength = selLength_;
  if (i == caretPar) setSelStart(store_[i].StartOffset);
  const int32_t before = store_.CharCount;
  static const unsigned char kBreak[] = {'\r', '\n'};
  BeginUpdate();
  try {
    while (i >= store_.Count()) {
      setSelStart(store_.CharCount);
      SetSelTextBuf(TByteView(kBreak, 2));
    }
    setSelStart(store_[i].StartOffset);
    setSelLength(store_[i].Length());
    SetSelTextBuf(text);
  } catch (...) {
    if (updateCount_ > 0) --updateCount_;
    throw;
  }
  EndUpdate();
  setSelStart(i < caretPar ? oldSelStart + store_.CharCount - before : oldSelStart);
  if (i != caretPar) setSelLength(oldSelLength);
}

// ---- lines and positions ----

TByteString TStyledMemo::getLineString(int32_t n) {
  int32_t start = 0, stop = 0;
  bool ends = false;
  if (!GetLineBounds(n, start, stop, ends)) return {};
  return GetTextPart(start, stop);
}

int32_t TStyledMemo::getSelLine() {
  return caret_->GetLineNb();
}

void TStyledMemo::setSelLine(int32_t n) {
  FormatThroughLine(n);
  scratch1_.SetLineNb(std::max(n, 0));
  setSelStart(scratch1_.GetPos());
}

int32_t TStyledMemo::getSelPar() {
  return caret_->GetParNb();
}

void TStyledMemo::setSelPar(int32_t i) {
  setSelStart(store_[std::clamp(i, 0, store_.Count() - 1)].StartOffset);
}

int32_t TStyledMemo::getSelCol() {
  return caret_->GetColNb() + static_cast<int32_t>(filler_.size());
}

void TStyledMemo::setSelCol(int32_t c) {
  c = std::max(c, 0);
  scratch1_.Assign(*caret_);
  scratch1_.SetColNb(c);
  const int32_t reached = scratch1_.GetColNb();
  setSelStart(scratch1_.GetPos());
  selStart_.Assign(scratch1_);  // on the same line even at its end
  selEnd_.Assign(scratch1_);
  if ((options_ & smoKeepColumnPos) && !ctx_.WordWrap && c > reached)
    filler_.assign(static_cast<size_t>(c - reached), ' ');
}

int32_t TStyledMemo::GetSelContext() {
  return caret_->GetContext();
}

void TStyledMemo::MoveCp(int32_t offset) {
  move_.SetPos(offset);
  caret_ = &move_;
  if (WindowReady()) UpdateCaret(false);
}

}  // namespace vestrel
