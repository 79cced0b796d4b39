// TStyledMemo: display metrics, scroll ranges, scrolling (animated from a timer), the view kept
// on the caret, and the window messages of scrolling, sizing and focus.
#include <algorithm>
#include <cstdlib>

#include "memo/styled_memo.h"

namespace vestrel {
namespace {

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

uint64_t TStyledMemo::NowMs() {
  return vestrel::NowMs(store_.Clock);
}

// ---- metrics ----

void TStyledMemo::UpdateFontDependantFields() {
  ctx_.FontStyle = font_.Style;
  const int32_t h = lineHeight_ > 0 ? lineHeight_ : std::abs(font_.Height) + 1;
  fullLineHeight_ = std::clamp(h, 1, 65535);
  if (TFontMeasure* measure = FormatCanvas()) {
    TFontMeasure& canvas = *measure;
    ctx_.Measure = &canvas;
    ctx_.ClientWidth = FormatWidth();
    canvas.SelectFont(RunFontStyle(0, 0, ctx_.FontStyle));
    fontMetrics_ = canvas.Metrics();
    static const unsigned char kBlank = ' ';
    int32_t space = 0;
    ctx_.SpaceWidth = canvas.TextExtent(&kBlank, 1, space) ? space : 1;
    // A font whose widest glyph has no width still draws: it counts as one pixel wide.
    ctx_.MaxCharsPerCall = 16384 / std::max(fontMetrics_.MaxCharWidth, 1);
  }
  SetLineMetrics(LimitedLineHeight());
}

// Pixel extents (visible lines x line height) must stay within 32 bits: a tall font over many
// lines gets a smaller line height.
int32_t TStyledMemo::LimitedLineHeight() const {
  const int64_t total = std::max(store_.VisibleLineCount, 1);
  if (total * fullLineHeight_ <= 0x7FFFFFFF) return fullLineHeight_;
  return static_cast<int32_t>(std::max<int64_t>(0x7FFFFFFF / total, 1));
}

void TStyledMemo::SetLineMetrics(int32_t h) {
  ctx_.LineHeight = h;
  const TFontMetrics& m = fontMetrics_;
  // The baseline sits in the middle of the line's spare room; a line lower than the glyphs
  // reach keeps the glyphs' top in view instead.
  const int32_t reach = m.Height - m.InternalLeading - m.Descent;
  int32_t b = h - m.Descent - (h - m.Height + 1) / 2;
  if (b < reach) b = h - m.InternalLeading;
  if (b < reach) b = h;
  baseline_ = b;
  wavyAmplitude_ = specUnderline_.Width * 3 / 2 + 1;
  wavyY_ = std::min(b + m.Descent, h - wavyAmplitude_ - 1);
  visibleLines_ = WindowReady() ? window_->ClientHeight() / h + 1 : 1;
}

void TStyledMemo::ApplyLineHeight(int32_t h) {
  const int32_t old = ctx_.LineHeight;
  SetLineMetrics(h);
  if (h == old) return;
  // The top line stays in view, with its fine offset.
  const int64_t top = ctx_.TopOrigin;
  const int64_t line = top >= 0 ? top / old : 0;
  ctx_.TopOrigin = Clamp32(line * h + std::min<int64_t>(top - line * old, h - 1));
  StopScrollAnimation();
}

void TStyledMemo::setLineHeight(int32_t v) {
  v = v <= 0 ? 0 : std::min(v, 65535);
  if (v == lineHeight_) return;
  lineHeight_ = v;
  const int32_t old = ctx_.LineHeight;
  const int32_t top = ctx_.TopOrigin;
  UpdateFontDependantFields();
  if (!WindowReady() || ctx_.LineHeight == old) {
    Repaint();
    return;
  }
  const int32_t h = ctx_.LineHeight;
  SetLineMetrics(old);
  ctx_.TopOrigin = top;
  ApplyLineHeight(h);
  SetVScrollParams();
  SetScrollPositions();
  Repaint();
  const TAlive alive = alive_;
  UpdateCaret(false);
  if (!alive.expired()) Fire(OnVScroll);
}

void TStyledMemo::setSpecUnderline(const TMemoPen& p) {
  if (p == specUnderline_) return;
  specUnderline_ = p;
  SetLineMetrics(ctx_.LineHeight);
  Repaint();
}

void TStyledMemo::setCaretWidth(int32_t v) {
  if (v == caretWidth_) return;
  caretWidth_ = v;
  if (WindowReady() && window_->Focused() && !displayOnly_) {
    window_->CreateCaret(std::max(1, EffectiveCaretWidth()), std::max(ctx_.LineHeight - 1, 1));
    PlaceCaret();
  }
}

void TStyledMemo::setDisplayOnly(bool v) {
  if (v == displayOnly_) return;
  displayOnly_ = v;
  if (!WindowReady() || !window_->Focused()) return;
  if (v) {
    window_->DestroyCaret();
  } else {
    window_->CreateCaret(std::max(1, EffectiveCaretWidth()), ctx_.LineHeight);
    PlaceCaret();
  }
}

void TStyledMemo::setScrollBars(TScrollStyle v) {
  if (v == scrollBars_) return;
  // The vertical bar takes width from wrapped text, or gives it back.
  const bool rewrap = ((v ^ scrollBars_) & ssVertical) && ctx_.WordWrap;
  scrollBars_ = v;
  vMax_ = vPage_ = hMax_ = hPage_ = -1;  // a new bar gets its range
  if (!WindowReady()) return;
  if (rewrap) Reformat();
  SetVScrollParams();
  SetHScrollParams();
  SetScrollPositions();
  Repaint();
}

TRect TStyledMemo::GetEditRect() {
  if (!WindowReady()) return {};
  return {0, 0, window_->ClientWidth(), window_->ClientHeight()};
}

// ---- ranges ----

bool TStyledMemo::SetVScrollParams() {
  if (!WindowReady()) return false;
  if (const int32_t h = LimitedLineHeight(); h != ctx_.LineHeight) {
    ApplyLineHeight(h);
    Repaint();
  }
  const int32_t clientH = window_->ClientHeight();
  const int64_t h = ctx_.LineHeight;
  const int64_t total = int64_t{store_.VisibleLineCount} * h;
  vFactor_ = static_cast<int32_t>(total / 32760 + 1);
  if (scrollBars_ & ssVertical) {
    int64_t max = std::max<int64_t>(total / vFactor_, clientH - h - 1);
    const int32_t page = std::max(clientH - 3, 0) / vFactor_;
    if (!(options_ & smoAutoScrollBars) && max < clientH) ++max;
    if (max != vMax_ || page != vPage_) {
      vMax_ = static_cast<int32_t>(max);
      vPage_ = page;
      settingRanges_ = true;
      window_->SetScrollRange(sbVertical, vMax_, vPage_);
      settingRanges_ = false;
    }
  }
  visibleLines_ = clientH / ctx_.LineHeight + 1;
  const int32_t w = window_->ClientWidth();
  if (w == textWidth_) return false;
  textWidth_ = w;
  if (updateCount_ == 0) {
    if (ctx_.NeverWraps()) {
      SetHScrollParams();
    } else {
      Reformat();
      Repaint();
      SetVScrollParams();  // the lines are others now
    }
    if ((scrollBars_ & ssVertical) && vPage_ >= vMax_) {
      ctx_.TopOrigin = 0;
      top_.SetPos(0);
      StopScrollAnimation();
    }
  }
  return true;
}

void TStyledMemo::SetHScrollParams() {
  if (!WindowReady()) return;
  const int32_t w = window_->ClientWidth();
  const int64_t margins = int64_t{ctx_.LeftMargin} + ctx_.RightMargin;
  const int64_t total = std::max(ctx_.WidestLineWidth, 0) + margins;
  hFactor_ = static_cast<int32_t>(std::max<int64_t>(total / 32760 + 1, 1));
  if (scrollBars_ & ssHorizontal) {
    const int64_t page = std::max<int64_t>(w - margins, 0) / hFactor_;
    int64_t max = std::max<int64_t>(0, (total - w) / hFactor_) + page - 1;
    if (ctx_.WordWrap && ctx_.ColumnWrap == 0) max = page - 1;
    if (!(options_ & smoAutoScrollBars)) ++max;
    if (ctx_.Alignment != taLeftJustify) max = page;
    if (max != hMax_ || page != hPage_) {
      hMax_ = Clamp32(max);
      hPage_ = Clamp32(page);
      settingRanges_ = true;
      window_->SetScrollRange(sbHorizontal, hMax_, hPage_);
      settingRanges_ = false;
    }
    if (max < page && ctx_.LeftOrigin != 0) {
      ctx_.LeftOrigin = 0;
      animLeft_ = 0;
      Repaint();
    }
  }
  visibleLines_ = ctx_.LineHeight > 0 ? window_->ClientHeight() / ctx_.LineHeight + 1 : 1;
}

void TStyledMemo::SetScrollPositions() {
  if (!WindowReady()) return;
  if (scrollBars_ & ssVertical) window_->SetScrollPos(sbVertical, std::max(ctx_.TopOrigin, 0) / vFactor_);
  if (scrollBars_ & ssHorizontal)
    window_->SetScrollPos(sbHorizontal, std::max(ctx_.LeftOrigin, 0) / hFactor_);
}

void TStyledMemo::FindWidestLine() {
  int32_t widest = -1, at = -1;
  for (int32_t i = 0; i < store_.Count(); ++i) {
    const ParInfo& p = store_[i];
    if (p.Line0.Width > widest) {
      widest = p.Line0.Width;
      at = p.FirstLine;
    }
  }
  ctx_.WidestLineWidth = widest;
  ctx_.WidestLine = at;
}

// ---- the view ----

int32_t TStyledMemo::getTopLine() {
  return top_.GetLineNb();
}

void TStyledMemo::setTopLine(int32_t n) {
  top_.SetLineNb(std::max(n, 0));
  SetTopLeft(Clamp32(int64_t{top_.getVisibleLineNumber()} * ctx_.LineHeight), ctx_.LeftOrigin, scrollTime_);
}

void TStyledMemo::SetTopLeft(int32_t top, int32_t left, int32_t time) {
  const TAlive alive = alive_;
  TpmEvents events = 0;
  const int64_t dx = int64_t{ctx_.LeftOrigin} - left;
  const int64_t dy = int64_t{ctx_.TopOrigin} - top;
  if (dx != 0) {
    caretPx_ = Clamp32(caretPx_ + dx);
    if (caretX_ != kNoCaretX) caretX_ = Clamp32(caretX_ + dx);
    ctx_.LeftOrigin = left;
    events |= smeHScroll;
  }
  if (dy != 0) {
    ctx_.TopOrigin = top;
    top_.setVisibleLineNumber(std::max(top / ctx_.LineHeight, 0));
    caretPy_ = Clamp32(caretPy_ + dy);
    events |= smeVScroll;
  }
  if (!WindowReady() || events == 0) return;
  SetScrollPositions();
  // The window still shows the old place: it is that far from the new origin.
  animLeft_ = Clamp32(animLeft_ + dx);
  animTop_ = Clamp32(animTop_ + dy);
  const uint64_t now = NowMs();
  if (time == 0 || (keyboardScroll_ && now - lastScrollTick_ < 201)) {
    const int32_t sx = animLeft_, sy = animTop_;
    StopScrollAnimation();
    ScrollShown(sx, sy, GetEditRect());
  } else {
    // The timer takes the window there: a scroll already under way goes on from where it is.
    animTotalLeft_ = animLeft_;
    animTotalTop_ = animTop_;
    animStart_ = now;
    animTime_ = time;
    window_->StartTimer(kScrollTimerId, kScrollTimerMs);
  }
  if (keyboardScroll_) lastScrollTick_ = now;
  if (window_->Focused()) PlaceCaret();
  if ((events & smeHScroll) && !Fire(OnHScroll)) return;
  if ((events & smeVScroll) && !Fire(OnVScroll)) return;
  DoNotify(notifyListeners_, events);
}

void TStyledMemo::StopScrollAnimation() {
  const bool running = ScrollAnimating();
  animTop_ = animLeft_ = 0;
  if (running && window_) window_->StopTimer(kScrollTimerId);
}

void TStyledMemo::ScrollShown(int32_t dx, int32_t dy, const TRect& rect) {
  if (dx == 0 && dy == 0) return;
  // Moves beyond the 16-bit range of the window's scrolling are painted whole.
  if (std::abs(int64_t{dx}) > 32767 || std::abs(int64_t{dy}) > 32767)
    window_->InvalidateBand(rect.Top, rect.Bottom);
  else
    window_->ScrollWindow(dx, dy, rect);
}

// One timer step of an animated scroll. A negative time moves linearly: after t of |time| ms
// the total move times t / |time| is done. A positive time moves by the remaining distance
// times t / (2 time), t counted from the start. Each step moves at least one pixel, never past
// the target.
void TStyledMemo::ScrollAnimationStep() {
  if (!WindowReady()) return;
  if (!ScrollAnimating()) {
    window_->StopTimer(kScrollTimerId);
    return;
  }
  const int64_t elapsed = static_cast<int64_t>(NowMs() - animStart_);
  const int64_t span = std::max<int64_t>(std::abs(int64_t{animTime_}), 1);
  auto next = [&](int32_t off, int32_t total) -> int32_t {
    if (off == 0) return 0;
    int64_t step;
    if (animTime_ < 0) {
      const int64_t left = elapsed >= span ? 0 : total - total * elapsed / span;
      step = off - left;
    } else {
      step = int64_t{off} * elapsed / (2 * span);
    }
    step = off > 0 ? std::clamp<int64_t>(step, 1, off) : std::clamp<int64_t>(step, off, -1);
    return static_cast<int32_t>(off - step);
  };
  const int32_t left = next(animLeft_, animTotalLeft_);
  const int32_t top = next(animTop_, animTotalTop_);
  const int32_t sx = animLeft_ - left, sy = animTop_ - top;
  animLeft_ = left;
  animTop_ = top;
  if (!ScrollAnimating()) window_->StopTimer(kScrollTimerId);
  ScrollShown(sx, sy, GetEditRect());
  if (window_->Focused()) PlaceCaret();
  window_->UpdateNow();
}

void TStyledMemo::ComputeCaretPixel() {
  int64_t x = caret_->GetDisplayX();
  if (!filler_.empty()) {
    // Blanks and tabs beyond the line's end: tab stops count from the line's start x.
    const int64_t lineX = caret_->GetLineOriginX();
    const int64_t step = ctx_.TabStep();
    const int64_t space = std::max(ctx_.SpaceWidth, 1);
    for (unsigned char c : filler_) {
      if (c == '\t')
        x = step > 0 ? lineX + ((x - lineX) / step + 1) * step : x;
      else
        x += space;
    }
  }
  caretPx_ = Clamp32(x);
  caretPy_ = Clamp32(int64_t{caret_->getVisibleLineNumber()} * ctx_.LineHeight - ctx_.TopOrigin);
}

void TStyledMemo::ScrollInView() {
  if (updateCount_ > 0 || !WindowReady()) return;
  const TAlive alive = alive_;
  const int32_t par = caret_->GetParNb();
  if (!(store_[par].States & smpFormatted)) FormatQuiet(par, par);
  if (store_[par].States & smpHidden) {
    BeginUpdate();
    caret_->ExpandAllLevels();
    EndUpdate();
    if (alive.expired()) return;
  }
  ComputeCaretPixel();
  const int64_t h = ctx_.LineHeight;
  const int64_t editH = window_->ClientHeight();
  int64_t left = ctx_.LeftOrigin;
  const bool wraps = ctx_.WordWrap && ctx_.ColumnWrap <= 0;
  if (!wraps && !(ctx_.Alignment != taLeftJustify && left == 0)) {
    const int64_t step = 5 * int64_t{std::max(ctx_.SpaceWidth, 1)};
    const int64_t x = caretPx_;
    if (x >= textWidth_)
      left += ((x - textWidth_) / step + 1) * step;
    else if (x < 0)
      left = std::max<int64_t>(left + (x / step - 1) * step, 0);
  }
  int64_t line = caret_->getVisibleLineNumber();
  int64_t top = ctx_.TopOrigin;
  int64_t y = line * h - top;
  if (y > editH - h - 3) {
    // The paragraphs up to the caret's are laid out, so that its line is where it will be.
    const int32_t from =
        scrollTime_ == 0 || keyboardScroll_ ? std::max(par - visibleLines_ - 1, 0) : top_.GetParNb();
    if (FormatWorkPending()) FormatQuiet(from, caret_->GetParNb());
    ComputeCaretPixel();
    line = caret_->getVisibleLineNumber();
    top = ctx_.TopOrigin;
    y = line * h - top;
  }
  if (y < 0) {
    top = line * h;
  } else if (y > editH - h - 3) {
    if (options_ & smoNoFineScroll) {
      top = std::max<int64_t>(line - visibleLines_ + 2, 0) * h;
    } else {
      top = line * h + h - editH + 1;
      if (line == store_.VisibleLineCount - 1) top += 2;
    }
    top = std::min(top, line * h);
  }
  SetTopLeft(Clamp32(top), Clamp32(left), scrollTime_);
}

void TStyledMemo::RefreshDisplay() {
  if (!WindowReady()) return;
  const int32_t last = store_.VisibleLineCount - visibleLines_ + 1;
  if (getTopLine() > last) setTopLine(std::max(last, 0));
  Repaint();
  window_->UpdateNow();
  UpdateCaret(false);
}

// ---- messages ----

void TStyledMemo::VScroll(uintptr_t code, int32_t pos) {
  if (updateCount_ > 0 || !WindowReady()) return;
  const int64_t h = ctx_.LineHeight;
  const int64_t topLine = top_.getVisibleLineNumber();
  const int64_t total = store_.VisibleLineCount;
  const int64_t v = visibleLines_;
  const int64_t clientH = window_->ClientHeight();
  const int64_t bottom = std::max<int64_t>(0, total * h - clientH + 3);
  int64_t top = ctx_.TopOrigin;
  int32_t time = scrollTime_;
  switch (code) {
    case SB_LINEUP:
      if (top > 0) top = top % h != 0 ? topLine * h : (topLine - 1) * h;
      break;
    case SB_LINEDOWN:
      if (topLine < total - 1 && topLine < total - v + 2) top = (topLine + 1) * h;
      break;
    case SB_PAGEUP:
      top = std::max<int64_t>(topLine - v + 2, 0) * h;
      break;
    case SB_PAGEDOWN:
      top = std::min(h * (topLine + v - 1), bottom);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      top = int64_t{pos} * vFactor_;
      if (options_ & smoNoFineScroll) top = top / h * h;
      time = 0;
      break;
    case SB_TOP:
      top = 0;
      break;
    case SB_BOTTOM:
      top = bottom;
      break;
    default:
      return;
  }
  keyboardScroll_ = true;
  SetTopLeft(Clamp32(top), ctx_.LeftOrigin, time);
  keyboardScroll_ = false;
  if (WindowReady()) window_->UpdateNow();
}

void TStyledMemo::HScroll(uintptr_t code, int32_t pos) {
  if (updateCount_ > 0 || !WindowReady()) return;
  const int64_t w = window_->ClientWidth();
  const int64_t step = w / 20 + 1;
  // Not beyond what the bar can reach.
  const int64_t reach = (scrollBars_ & ssHorizontal) && hMax_ >= 0
                            ? std::max<int64_t>(int64_t{hMax_} - hPage_ + 1, 0) * hFactor_
                            : INT32_MAX;
  int64_t left = ctx_.LeftOrigin;
  int32_t time = scrollTime_;
  switch (code) {
    case SB_LINEUP:
      left -= step;
      break;
    case SB_LINEDOWN:
      left += step;
      break;
    case SB_PAGEUP:
      left -= w - w / 20;
      break;
    case SB_PAGEDOWN:
      left += w - w / 20;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      left = int64_t{pos} * hFactor_;
      time = 0;
      break;
    case SB_TOP:
      left = 0;
      break;
    case SB_BOTTOM:
      left = reach;
      break;
    default:
      return;
  }
  left = std::clamp<int64_t>(left, 0, std::max<int64_t>(reach, ctx_.LeftOrigin));
  keyboardScroll_ = true;
  SetTopLeft(ctx_.TopOrigin, Clamp32(left), time);
  keyboardScroll_ = false;
  if (WindowReady()) window_->UpdateNow();
}

void TStyledMemo::MouseWheel(int32_t delta) {
  if (!WindowReady()) return;
  int64_t lines = mouseWheelFactor_ >= 0 ? mouseWheelFactor_ : window_->WheelScrollLines();
  if (lines < 0) lines = std::max(1, visibleLines_ - 2);  // a page
  const int64_t acc = int64_t{wheelAccum_} + int64_t{delta} * lines;
  const int64_t moves = acc / 120;  // each full 120, one line; up for positive
  wheelAccum_ = static_cast<int32_t>(acc % 120);
  const int64_t h = ctx_.LineHeight;
  const int64_t total = store_.VisibleLineCount;
  const int64_t line = std::clamp<int64_t>(int64_t{top_.getVisibleLineNumber()} - moves, 0,
                                           std::max<int64_t>(total - visibleLines_ + 1, 0));
  int64_t top = line * h;
  if (!(options_ & smoNoFineScroll))
    top = std::min(top, std::max<int64_t>(total * h - window_->ClientHeight() + 3, 0));
  SetTopLeft(Clamp32(top), ctx_.LeftOrigin, 0);
}

void TStyledMemo::SetBounds() {
  if (!WindowReady()) return;
  const int64_t total = int64_t{store_.VisibleLineCount} * ctx_.LineHeight;
  const bool pastEnd = ctx_.TopOrigin > total - clientHeight_ + 5;
  clientHeight_ = window_->ClientHeight();
  if (settingRanges_) return;  // showing or hiding a bar resized the window: the ranges follow
  SetVScrollParams();
  SetHScrollParams();
  SetScrollPositions();
  if (pastEnd) {
    const int64_t now = int64_t{store_.VisibleLineCount} * ctx_.LineHeight;
    SetTopLeft(Clamp32(std::max<int64_t>(0, now - clientHeight_ + 3)), ctx_.LeftOrigin, 0);
  }
}

void TStyledMemo::FocusChanged(bool focused) {
  if (!WindowReady()) return;
  if (focused) {
    if (!displayOnly_) {
      window_->CreateCaret(std::max(1, EffectiveCaretWidth()), ctx_.LineHeight);
      ComputeCaretPixel();
      PlaceCaret();
    }
  } else {
    window_->DestroyCaret();
    // The button's release may never come here: scrolling and dragging end now.
    StopAutoScroll();
    if (dragging_) CancelDrag();
    mouseHeld_ = false;
    marginAnchor_ = -1;
  }
  if (hideSelection_) InvalidateSelection();
}

bool TStyledMemo::HandleDisplayMessage(TMemoMessage& message) {
  switch (message.Msg) {
    case WM_PAINT: {
      const auto* paint = reinterpret_cast<const TMemoPaint*>(message.WParam);
      if (paint && paint->Surface) Paint(*paint->Surface, paint->Area);
      return true;
    }
    case WM_ERASEBKGND:
      message.Result = 1;  // painting covers every pixel
      return true;
    case WM_SIZE:
      SetBounds();
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      FocusChanged(message.Msg == WM_SETFOCUS);
      return true;
    case WM_VSCROLL:
      VScroll(message.WParam, static_cast<int32_t>(message.LParam));
      return true;
    case WM_HSCROLL:
      HScroll(message.WParam, static_cast<int32_t>(message.LParam));
      return true;
    case WM_MOUSEWHEEL:
      MouseWheel(static_cast<int32_t>(message.LParam));
      message.Result = 1;
      return true;
    case WM_TIMER:
      if (message.WParam == kAutoScrollTimerId) {
        AutoScrollStep();
        return true;
      }
      if (message.WParam != kScrollTimerId) return false;
      ScrollAnimationStep();
      return true;
    default:
      return false;
  }
}

}  // namespace vestrel
