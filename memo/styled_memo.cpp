#include "memo/styled_memo.h"

#include <algorithm>
#include <cstdlib>

#include "memo/format_thread.h"
#include "memo/line_breaker.h"
#include "memo/memo_errors.h"
#include "memo/styled_memo_strings.h"

namespace vestrel {

TStyledMemo::TStyledMemo()
    : ctx_(store_),
      selStart_(&ctx_),
      selEnd_(&ctx_),
      move_(&ctx_),
      top_(&ctx_),
      mouse_(&ctx_),
      scratch1_(&ctx_),
      scratch2_(&ctx_),
      edit1_(&ctx_),
      edit2_(&ctx_),
      caret_(&selStart_),
      paragraphs_(std::make_unique<TStyledParaStrings>(*this)),
      lines_(std::make_unique<TStyledLinesStrings>(*this)),
      keyNav_(&ctx_) {
  ctx_.ClientWidth = 100;
  ctx_.DynParse = [this](int32_t first, int32_t last) { DoDynParse(first, last, false); };
  ctx_.UpdateBracket = [this](bool open) {
    if (open)
      BeginUpdate();
    else
      EndUpdate();
  };
  UpdateFontDependantFields();
  InitKeywords();
}

// A handler running when the memo goes sees its token expire and touches nothing more; the
// navigators callers still hold lose their memo (the context's destructor). The format thread
// is let go first: no request of it reaches the memo afterwards.
TStyledMemo::~TStyledMemo() {
  StopFormatThread();
  if (collapseHandler_) collapseHandler_->AttachMemo(*this, false);
  setHighlighter(nullptr);
  alive_.reset();
}

// ---- life and window ----

void TStyledMemo::Loaded() {
  undo_.Clear();
  Reformat();
}

void TStyledMemo::CreateHandle(MemoWindow& window) {
  window_ = &window;
  filler_.clear();
  textWidth_ = window.ClientWidth();
  clientHeight_ = window.ClientHeight();
  vMax_ = vPage_ = hMax_ = hPage_ = -1;
  UpdateFontDependantFields();
  if (updateMode_ == umBackground) StartFormatThread();
  Reformat();
  ctx_.TopOrigin = ctx_.LeftOrigin = 0;
  animTop_ = animLeft_ = 0;
  top_.SetPos(0);
  SetVScrollParams();
  SetHScrollParams();
  SetScrollPositions();
  Fire(OnVScroll);
}

void TStyledMemo::DestroyWindowHandle() {
  StopFormatThread();
  if (window_) {
    StopScrollAnimation();
    if (window_->Focused()) window_->DestroyCaret();
  }
  window_ = nullptr;
  ctx_.Measure = nullptr;
  textWidth_ = 0;
}

bool TStyledMemo::WndProc(TMemoMessage& message) {
  const TAlive alive = alive_;
  // Listeners see a copy; currentMessage_ goes back to the outer message on every way out.
  struct TRestore {
    TStyledMemo& memo;
    const TAlive& alive;
    TMemoMessage* outer;
    ~TRestore() {
      if (!alive.expired()) memo.currentMessage_ = outer;
    }
  } restore{*this, alive, currentMessage_};

  TMemoMessage copy = message;
  currentMessage_ = &copy;
  DoNotify(messageListeners_, smeMessage);
  if (alive.expired()) return true;
  bool handled = true;
  if (copy.Result != kSuppressMessage) {
    currentMessage_ = restore.outer;
    handled = HandleMessage(message);
    if (alive.expired()) return handled;
  }
  TMemoMessage after = message;
  currentMessage_ = &after;
  DoNotify(messageListeners_, smeAfterMessage);
  return handled;
}

bool TStyledMemo::HandleMessage(TMemoMessage& message) {
  switch (message.Msg) {
    case WM_GETDLGCODE:
      message.Result = wantTabs_ && !displayOnly_ ? kDlgCodeKeysAndTabs : kDlgCodeKeys;
      return true;
    case SM_UPDATEBKG:
      // Only a request of the thread now running counts: one that arrives after the memo let
      // its thread go does nothing.
      if (formatThread_ && message.WParam == formatThread_->Token()) {
        formatThread_->RequestTaken();
        FormatSlice();
      }
      return true;
    case WM_KEYDOWN:
    case WM_KEYUP: {
      TMemoKey key = static_cast<TMemoKey>(message.WParam);
      const auto shift = static_cast<TShiftState>(message.LParam);
      if (message.Msg == WM_KEYDOWN)
        KeyDown(key, shift);
      else
        KeyUp(key, shift);
      message.Result = key;  // 0: the memo took the key
      return true;
    }
    case WM_CHAR: {
      unsigned char c = static_cast<unsigned char>(message.WParam);
      KeyPress(c);
      message.Result = c;
      return true;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
      const TPoint at = ParamPoint(message.LParam);
      const auto shift = static_cast<TShiftState>(message.WParam);
      const TMouseButton button =
          message.Msg == WM_RBUTTONDOWN || message.Msg == WM_RBUTTONUP ? mbRight : mbLeft;
      switch (message.Msg) {
        case WM_MOUSEMOVE:
          MouseMove(shift, at.x, at.y);
          break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
          MouseDown(button, shift, at.x, at.y);
          break;
        case WM_LBUTTONDBLCLK: {
          // The double click, then the press it also is.
          const TAlive alive = alive_;
          DblClick();
          if (!alive.expired()) MouseDown(mbLeft, shift, at.x, at.y);
          break;
        }
        default:
          MouseUp(button, shift, at.x, at.y);
          break;
      }
      return true;
    }
    case WM_CUT:
    case WM_PASTE: {
      const TAlive alive = alive_;
      if (message.Msg == WM_CUT)
        CutToClipboard();
      else
        PasteFromClipboard();
      if (!alive.expired()) ScrollInView();
      return true;
    }
    case WM_COPY:
      CopyToClipboard();
      return true;
    case WM_UNDO:
      Undo();
      return true;
    default:
      return HandleDisplayMessage(message);
  }
}

// ---- listeners ----

void TStyledMemo::RemoveListener(std::vector<IpmsNotify*>& list, IpmsNotify* l) {
  for (IpmsNotify*& entry : list)
    if (entry == l) entry = nullptr;
  if (notifyDepth_ == 0) std::erase(list, nullptr);
}

void TStyledMemo::DoNotify(std::vector<IpmsNotify*>& list, TpmEvents events) {
  const TAlive alive = alive_;
  ++notifyDepth_;
  // By index: a listener may add or remove listeners (removal leaves nil) while it is told.
  try {
    for (size_t i = 0; i < list.size(); ++i) {
      IpmsNotify* l = list[i];
      if (!l) continue;
      l->Notify(*this, events);
      if (alive.expired()) return;
    }
  } catch (...) {
    if (!alive.expired()) --notifyDepth_;
    throw;
  }
  if (--notifyDepth_ == 0) std::erase(list, nullptr);
}

void TStyledMemo::Change() {
  const TAlive alive = alive_;
  DoNotify(notifyListeners_, smeChange);
  if (alive.expired()) return;
  if (!messageListeners_.empty()) {
    TMemoMessage m;
    m.Msg = CM_TEXTCHANGED;
    WndProc(m);
    if (alive.expired()) return;
  }
  Fire(OnChange);
}

void TStyledMemo::CheckIntegrity() {
  const std::string fault = store_.IntegrityFault();
  if (!fault.empty()) throw EStyledMemoError(fault + Version());
}

// ---- layout ----

void TStyledMemo::SetupFont(TMemoFont& font, uint8_t style) {
  font = (style & kDynAltFont) ? altFont_ : font_;
  font.Style = style & 0x0F;
}

void TStyledMemo::Repaint() {
  if (WindowReady() && updateCount_ == 0) window_->InvalidateBand(0, window_->ClientHeight());
}

void TStyledMemo::InvalidateLines(int32_t first, int32_t last) {
  if (!WindowReady()) return;
  const int64_t h = ctx_.LineHeight;
  const int64_t top = std::min(first, last) * h - ShownTop();
  const int64_t bottom = (int64_t{std::max(first, last)} + 1) * h - ShownTop();
  const int64_t height = window_->ClientHeight();
  if (bottom <= 0 || top >= height) return;
  window_->InvalidateBand(static_cast<int32_t>(std::max<int64_t>(top, 0)),
                          static_cast<int32_t>(std::min(bottom, height)));
}

bool TStyledMemo::GetLineBounds(int32_t n, int32_t& start, int32_t& stop, bool& endsParagraph) {
  if (n < 0) return false;
  if (ctx_.NeverWraps()) {
    if (n >= store_.Count()) return false;
    start = store_[n].StartOffset;
    stop = start + store_[n].Length();
    endsParagraph = true;
    return true;
  }
  FormatThroughLine(n);
  if (n >= store_.VisibleLineCount) return false;
  scratch1_.SetLineNb(n);
  const ParInfo& p = scratch1_.GetPar();
  const int32_t line = scratch1_.GetParLine();
  const LineInfo& l = GetLine(p, line);
  start = p.StartOffset + l.Start;
  stop = p.StartOffset + l.Stop;
  endsParagraph = line == GetLineCount(p) - 1;
  return true;
}

// ---- properties ----

void TStyledMemo::setAlignment(TAlignment v) {
  if (v == ctx_.Alignment) return;
  // Without word wrap, only right and centred text wraps to the window.
  const bool wrapChanges = !ctx_.WordWrap && ((v == taLeftJustify) != (ctx_.Alignment == taLeftJustify));
  ctx_.Alignment = v;
  ctx_.LeftOrigin = 0;
  if (wrapChanges) {
    RefreshAfterReformat();
  } else {
    if (WindowReady()) UpdateCaret(false);
    Repaint();
  }
}

void TStyledMemo::setHideSelection(bool v) {
  if (v == hideSelection_) return;
  hideSelection_ = v;
  InvalidateSelection();
}

void TStyledMemo::setWordWrap(bool v) {
  if (v == ctx_.WordWrap) return;
  ctx_.WordWrap = v;
  RefreshAfterReformat();
}

void TStyledMemo::setFont(const TMemoFont& f) {
  if (f == font_) return;
  const TAlive alive = alive_;
  font_ = f;
  UpdateFontDependantFields();
  if (WindowReady()) {
    Repaint();
    Reformat();
    ctx_.TopOrigin = ctx_.LeftOrigin = 0;
    StopScrollAnimation();
    top_.SetPos(0);
    SetVScrollParams();
    SetHScrollParams();
    if (window_->Focused() && !displayOnly_)
      window_->CreateCaret(std::max(1, EffectiveCaretWidth()), ctx_.LineHeight);
    SetScrollPositions();
    if (!Fire(OnVScroll)) return;
    UpdateCaret(false);
    if (alive.expired()) return;
  }
  DoNotify(notifyListeners_, smeFontChanged);
}

void TStyledMemo::setAltFont(const TMemoFont& f) {
  if (f == altFont_) return;
  altFont_ = f;
  if (ctx_.WordWrap) Reformat();
  Repaint();
}

void TStyledMemo::setColor(TColor c) {
  SetAndRepaint(color_, c);
}

void TStyledMemo::setColumnWrap(int32_t v) {
  if (v == ctx_.ColumnWrap) return;
  ctx_.ColumnWrap = v;
  if (ctx_.WordWrap) RefreshAfterReformat();
}

void TStyledMemo::setJustified(bool v) {
  if (v == ctx_.Justified) return;
  ctx_.Justified = v;
  ctx_.LeftOrigin = 0;
  if (WindowReady()) UpdateCaret(false);
  Repaint();
}

void TStyledMemo::setLeftMargin(int32_t v) {
  if (v == ctx_.LeftMargin) return;
  ctx_.LeftMargin = v;
  RefreshAfterReformat();
}

void TStyledMemo::setRightMargin(int32_t v) {
  if (v == ctx_.RightMargin) return;
  ctx_.RightMargin = v;
  RefreshAfterReformat();
}

void TStyledMemo::setOptions(TStyledMemoOptions v) {
  v &= kOptionsMask;
  if (v == options_) return;
  const bool trimNow = (v & smoDiscardTrailingSpaces) && !(options_ & smoDiscardTrailingSpaces);
  options_ = v;
  if (trimNow) Reload(true);
}

void TStyledMemo::setSelBackColor(TColor c) {
  if (c == selBackColor_) return;
  selBackColor_ = c;
  InvalidateSelection();
}

void TStyledMemo::setSelTextColor(TColor c) {
  if (c == selTextColor_) return;
  selTextColor_ = c;
  InvalidateSelection();
}

TByteString TStyledMemo::Separators() const {
  TByteString s;
  for (int c = 0; c < 256; ++c)
    if (ctx_.Delimiters.test(static_cast<size_t>(c))) s.push_back(static_cast<unsigned char>(c));
  return s;
}

void TStyledMemo::setDelimiters(TByteView chars) {
  ctx_.Delimiters = MakeDelimiters(chars);
}

void TStyledMemo::setStaticFormat(bool v) {
  if (v == store_.StaticFormat) return;
  store_.StaticFormat = v;
  if (store_.CharCount > 0) Reload(false);  // the codes are read again in the new mode
}

void TStyledMemo::setTabStops(int32_t v) {
  if (v == ctx_.TabStops) return;
  ctx_.TabStops = v;
  RefreshAfterReformat();
}

void TStyledMemo::setWordWrapChars(TByteView v) {
  if (v == TByteView(ctx_.WordWrapChars)) return;
  ctx_.WordWrapChars.assign(v);
  if (ctx_.WordWrap) RefreshAfterReformat();
}

// ---- find ----

int32_t TStyledMemo::FindSelStart() const {
  return caret_->GetPos();
}

void TStyledMemo::FindSelect(int32_t selStart, int32_t selLength) {
  setSelStart(selStart);
  setSelLength(selLength);
}

bool TStyledMemo::FindTxt(TByteView text, bool forward, bool matchCase, bool wholeWord, bool fromBoundary) {
  return FindTextP(*this, text, forward, matchCase, wholeWord, fromBoundary);
}

}  // namespace vestrel
