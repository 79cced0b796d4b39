// TStyledMemo: when paragraphs are broken into lines - at once, when shown or asked for, or in
// slices of at most 25 ms that the format thread paces - and the two marks that say how far that
// has come: the formatted-up-to mark (the first paragraph not laid out in order) and the pending
// end (the last paragraph waiting, -1 none). Also the parsing of dynamic attributes, the
// upper-cased slice for keyword matching, and formatting and drawing for another surface.
#include <algorithm>
#include <atomic>

#include "memo/format_thread.h"
#include "memo/line_breaker.h"
#include "memo/style_codes.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

constexpr uint64_t kSliceMs = 25;  // a background slice keeps input responsive

std::atomic<TpmUpperCaseProc> gUpperCaseProc{nullptr};

}  // namespace

// Clears the formatting-running flag on every way out, back to what it was.
struct TStyledMemo::TFormattingScope {
  TStyledMemo& memo;
  TAlive alive;
  bool outer;
  explicit TFormattingScope(TStyledMemo& m) : memo(m), alive(m.alive_), outer(m.formatting_) {
    m.formatting_ = true;
  }
  ~TFormattingScope() {
    if (!alive.expired()) memo.formatting_ = outer;
  }
};

TFontMeasure* TStyledMemo::FormatCanvas() {
  if (outCanvas_) return outCanvas_;
  return WindowReady() ? &window_->Canvas() : nullptr;
}

int32_t TStyledMemo::FormatWidth() {
  if (outCanvas_) return outWidth_;
  return WindowReady() ? window_->ClientWidth() : ctx_.ClientWidth;
}

// ---- the walk ----

TStyledMemo::TLaidOut TStyledMemo::FormatRange(int32_t first, int32_t last, bool full,
                                               const TPendingEdit* edit, const TFormatLimit& limit) {
  TLaidOut out;
  out.widestBefore = ctx_.WidestLineWidth;
  first = std::max(first, 0);
  last = std::min(last, store_.Count() - 1);
  out.reached = first - 1;
  if (last < first) return out;
  TFontMeasure* canvas = FormatCanvas();
  if (canvas) {
    ctx_.Measure = canvas;
    ctx_.ClientWidth = FormatWidth();
  }
  const TAlive alive = alive_;
  const int32_t caretPar = caret_->GetParNb();
  bool caretLaidOut = false;
  int32_t line = store_[first].FirstLine;
  out.firstLine = INT32_MAX;
  int32_t sumTotal = 0, sumVisible = 0, visibleBeforeCaret = 0;
  int32_t i = first;
  for (; i <= last; ++i) {
    // At least one paragraph per walk, so that slices always move on.
    if (i > first && limit.deadline != 0 && NowMs() >= limit.deadline) break;
    ParInfo& p = store_[i];
    if (i > first) p.FirstLine = line;
    if (p.FirstLine > limit.stopLine) break;
    if (full || !(p.States & smpFormatted)) {
      if (limit.parse) ParseStartStopNow(i);
      if (limit.progress && OnProgress) {
        const uint64_t now = NowMs();
        if (now - progressTick_ > progressInterval_) {
          progressTick_ = now;
          if (!Fire(OnProgress)) return out;
        }
      }
      ParInfo& q = store_[i];
      int32_t fromLine = 0, oldLine = 0, delta = 0, count = 0;
      bool whole = true;
      if (edit && edit->par == i) {
        fromLine = edit->fromLine;
        oldLine = edit->oldLine;
        whole = false;
      }
      ReformatParP(ctx_, canvas, true, ctx_.ClientWidth, &q, i, fromLine, oldLine, whole, breakSpaceWidth_,
                   breakOverhang_, delta, count);
      sumTotal += delta;
      if (!(q.States & smpHidden)) {
        sumVisible += delta;
        if (i < caretPar) visibleBeforeCaret += delta;
      }
      out.firstLine = std::min(out.firstLine, q.FirstLine + fromLine);
      out.lastLine = q.FirstLine + oldLine;
      out.any = true;
      if (i == caretPar) caretLaidOut = true;
    }
    if (!(store_[i].States & smpHidden)) line += GetLineCount(store_[i]);
  }
  out.reached = i - 1;
  if (out.firstLine == INT32_MAX) out.firstLine = 0;
  if (!out.any) return out;
  store_.TotalLineCount += sumTotal;
  store_.VisibleLineCount += sumVisible;
  store_.UpdateLines(out.reached + 1, sumVisible);
  InvalidateNavs(ctx_.Navigators, store_[first].StartOffset, out.reached);
  out.visibleDelta = sumVisible;
  out.caretMoved = caretLaidOut || visibleBeforeCaret != 0 || (caretPar > out.reached && sumVisible != 0);
  return out;
}

// Paragraphs laid out in order from the mark move it on; when it passes the pending end nothing
// waits any more.
void TStyledMemo::SettleFormatMarks() {
  TParagraphsList& s = store_;
  if (s.LastUnformatted < 0) return;
  s.LastUnformatted = std::min(s.LastUnformatted, s.Count() - 1);
  s.FirstUnformatted = std::max(s.FirstUnformatted, 0);
  while (s.FirstUnformatted <= s.LastUnformatted && (s[s.FirstUnformatted].States & smpFormatted))
    ++s.FirstUnformatted;
  if (s.FirstUnformatted > s.LastUnformatted) {
    s.FirstUnformatted = s.Count();
    s.LastUnformatted = -1;
  }
}

int32_t TStyledMemo::getFormatCompleted() const {
  if (!FormatWorkPending()) return 100;
  const int64_t count = store_.Count();
  // In 64 bits: the mark times 100 passes 32 bits long before the paragraphs do.
  const int64_t pct = count > 0 ? int64_t{std::max(store_.FirstUnformatted, 0)} * 100 / count : 100;
  return static_cast<int32_t>(std::min<int64_t>(pct, 99));
}

void TStyledMemo::AfterFormat(const TLaidOut& r, bool updateCaret, bool invalidate) {
  if (!r.any || !WindowReady() || outCanvas_) return;
  ctx_.TopOrigin = TopOriginFromTopLine();
  if (ctx_.WidestLine > r.lastLine) ctx_.WidestLine += r.visibleDelta;
  SetVScrollParams();
  if ((!ctx_.WordWrap || ctx_.ColumnWrap > 0) && ctx_.WidestLineWidth != r.widestBefore) SetHScrollParams();
  SetScrollPositions();
  // Lines laid out in view, and all below them, are painted again; lines above the view only
  // move the origin, which keeps the view's text where it is.
  if (invalidate) {
    const int32_t top = top_.getVisibleLineNumber();
    if (r.lastLine >= top) InvalidateLines(std::max(r.firstLine, top), top + visibleLines_);
  }
  if (updateCaret && r.caretMoved) UpdateCaret(false);
}

// ---- formatting on request ----

void TStyledMemo::FormatNow(int32_t first, int32_t last, bool progress, bool full) {
  last = std::min(last, store_.Count() - 1);
  const int32_t mark = store_.FirstUnformatted;
  if (!full) first = std::max(first, mark);
  first = std::max(first, 0);
  if (last < first) return;
  const TAlive alive = alive_;
  const bool inOrder = first == mark;
  const bool withProgress = progress && OnProgress;
  if (withProgress)
    progressTick_ = NowMs();
  else
    ParseStartStopNow(last);
  TLaidOut r;
  {
    TFormattingScope running(*this);
    TFormatLimit limit;
    limit.progress = withProgress;
    limit.parse = withProgress;
    r = FormatRange(first, last, full, nullptr, limit);
    if (alive.expired()) return;
  }
  // An out-of-order format leaves the mark where it was.
  if (inOrder) store_.FirstUnformatted = std::max(mark, r.reached + 1);
  SettleFormatMarks();
  AfterFormat(r, true, true);
  if (alive.expired()) return;
  if (inOrder && withProgress && !FormatWorkPending()) {
    progressTick_ = NowMs();
    Fire(OnProgress);
  }
}

void TStyledMemo::FormatQuiet(int32_t first, int32_t last) {
  const int32_t mark = store_.FirstUnformatted;
  TLaidOut r;
  {
    TFormattingScope running(*this);
    r = FormatRange(first, last, false, nullptr);
  }
  if (first <= mark && r.reached >= mark) store_.FirstUnformatted = r.reached + 1;
  SettleFormatMarks();
  AfterFormat(r, false, true);
}

void TStyledMemo::FormatThroughLine(int32_t n) {
  SettleFormatMarks();
  if (!FormatWorkPending() || !FormatCanvas() || updateCount_ > 0) return;
  const int32_t mark = store_.FirstUnformatted;
  if (store_[mark].FirstLine > n) return;
  ParseStartStopNow(store_.LastUnformatted);
  TLaidOut r;
  {
    TFormattingScope running(*this);
    TFormatLimit limit;
    limit.stopLine = n;
    r = FormatRange(mark, store_.LastUnformatted, false, nullptr, limit);
  }
  store_.FirstUnformatted = std::max(mark, r.reached + 1);
  SettleFormatMarks();
  AfterFormat(r, true, true);
}

void TStyledMemo::FormatForPaint(int64_t firstLine, int64_t lastLine) {
  if (store_.VisibleLineCount <= 0) return;
  scratch2_.setVisibleLineNumber(static_cast<int32_t>(std::clamp<int64_t>(firstLine, 0, INT32_MAX)));
  const int32_t topPar = scratch2_.GetParNb();
  ParseStartStopNow(topPar);
  const int32_t stop = static_cast<int32_t>(std::clamp<int64_t>(lastLine, 0, INT32_MAX));
  bool waiting = false;
  for (int32_t i = topPar; i < store_.Count() && store_[i].FirstLine <= stop; ++i)
    if (!(store_[i].States & smpFormatted)) {
      waiting = true;
      break;
    }
  if (!waiting) return;
  const int32_t mark = store_.FirstUnformatted;
  TLaidOut r;
  {
    TFormattingScope running(*this);
    TFormatLimit limit;
    limit.stopLine = stop;
    r = FormatRange(topPar, store_.Count() - 1, false, nullptr, limit);
  }
  if (topPar <= mark && r.reached >= mark) store_.FirstUnformatted = r.reached + 1;
  SettleFormatMarks();
  AfterFormat(r, false, false);  // the paint draws them
}

void TStyledMemo::Reformat() {
  pendingEdit_.reset();  // the lines an edit shifted no longer tell where to resume
  ctx_.WidestLineWidth = -1;
  ctx_.WidestLine = -1;
  if (WindowReady() && !outCanvas_) SetHScrollParams();
  store_.MarkUnformatted();
  if (updateCount_ > 0 || !FormatCanvas()) return;
  if (outCanvas_ || updateMode_ == umImmediate) {
    FormatNow(0, store_.Count() - 1, false, true);
    AfterWholeFormat();
  } else if (updateMode_ == umBackground) {
    progressTick_ = NowMs();
    SignalFormatThread();
  }
}

void TStyledMemo::RefreshAfterReformat() {
  Reformat();
  Repaint();
}

// What edits, loads and option changes left to lay out: at once, or in background slices.
void TStyledMemo::StartRestFormatting() {
  SettleFormatMarks();
  if (!FormatWorkPending() || !FormatCanvas() || updateCount_ > 0) return;
  if (outCanvas_ || updateMode_ == umImmediate) {
    const int32_t mark = store_.FirstUnformatted;
    ParseStartStopNow(store_.LastUnformatted);
    TLaidOut r;
    {
      TFormattingScope running(*this);
      r = FormatRange(mark, store_.LastUnformatted, false, nullptr);
    }
    store_.FirstUnformatted = std::max(mark, r.reached + 1);
    SettleFormatMarks();
    AfterFormat(r, false, true);
  } else if (updateMode_ == umBackground) {
    SignalFormatThread();
  }
}

// The view keeps its top text where the lines moved, and the scroll bars follow the new lines.
void TStyledMemo::AfterWholeFormat() {
  if (!WindowReady() || outCanvas_) return;
  ctx_.TopOrigin = TopOriginFromTopLine();
  SetVScrollParams();
  SetHScrollParams();
  SetScrollPositions();
}

// The origin of the top navigator's line, with the fine offset into it the origin had.
int32_t TStyledMemo::TopOriginFromTopLine() {
  const int64_t h = ctx_.LineHeight;
  const int64_t top = ctx_.TopOrigin;
  const int32_t line = top_.getVisibleLineNumber();
  top_.setVisibleLineNumber(line);
  const int64_t origin = line * h + (top < 0 ? top : top % h);
  return static_cast<int32_t>(std::clamp<int64_t>(origin, INT32_MIN, INT32_MAX));
}

// ---- background formatting ----

void TStyledMemo::setUpdateMode(TpmUpdateMode v) {
  StopFormatThread();
  updateMode_ = v;
  if (!WindowReady()) return;
  if (v == umBackground) StartFormatThread();
  StartRestFormatting();
}

void TStyledMemo::StartFormatThread() {
  if (!formatThread_ && WindowReady()) formatThread_ = std::make_unique<TpmFormatThread>(*window_);
}

void TStyledMemo::StopFormatThread() {
  if (!formatThread_) return;
  formatThread_->PutToEnd();
  formatThread_.reset();
}

void TStyledMemo::SignalFormatThread() {
  if (formatThread_) formatThread_->Signal();
}

// One slice: paragraphs in order from the mark until the pending end or 25 ms on the clock.
void TStyledMemo::FormatSlice() {
  if (updateCount_ > 0 || !WindowReady() || formatting_ || painting_) return;
  SettleFormatMarks();
  if (!FormatWorkPending()) return;
  const TAlive alive = alive_;
  const int32_t mark = store_.FirstUnformatted;
  TLaidOut r;
  {
    TFormattingScope running(*this);
    TFormatLimit limit;
    limit.deadline = NowMs() + kSliceMs;
    limit.parse = true;
    r = FormatRange(mark, store_.LastUnformatted, false, nullptr, limit);
    if (alive.expired()) return;
  }
  store_.FirstUnformatted = std::max(mark, r.reached + 1);
  SettleFormatMarks();
  AfterFormat(r, true, true);
  if (alive.expired()) return;
  const uint64_t now = NowMs();
  if (!FormatWorkPending()) {
    progressTick_ = now;
    Fire(OnProgress);  // the work is done
    return;
  }
  if (OnProgress && now - progressTick_ > progressInterval_) {
    progressTick_ = now;
    if (!Fire(OnProgress)) return;
  }
  if (WindowReady() && !window_->ApplicationTerminating()) SignalFormatThread();
}

// ---- parsing ----

void TStyledMemo::ParseStartStopNow(int32_t par) {
  par = std::min(par, store_.Count() - 1);
  if (par <= store_.ParsedUpTo) return;
  for (int32_t i = std::max(store_.ParsedUpTo + 1, 0); i <= par; ++i) {
    if (store_[i].States & smpSSDone) continue;
    if (applyStartStopKeys_ && ctx_.ApplyStartStopKeys) ctx_.ApplyStartStopKeys(i, i);
    store_[i].States |= smpSSDone;
  }
  store_.ParsedUpTo = par;
}

void TStyledMemo::DoDynParse(int32_t first, int32_t last, bool startStopOnly) {
  last = std::min(last, store_.Count() - 1);
  ParseStartStopNow(last);
  if (startStopOnly || !ctx_.KeywordsInUse || !ctx_.ApplyKeywords) return;
  for (int32_t i = std::max(first, store_.FirstUnformatted); i <= last; ++i) {
    if (store_[i].States & smpKeywDone) continue;
    ctx_.ApplyKeywords(i);
    store_[i].States |= smpKeywDone;
  }
}

void TStyledMemo::ReApplyKeywords() {
  for (int32_t i = 0; i < store_.Count(); ++i) {
    ParInfo& p = store_[i];
    p.States &= static_cast<uint8_t>(~(smpFormatted | smpSSDone | smpKeywDone));
    if (p.Extra) {
      p.Extra->Dyns.clear();
      p.Extra->StartDyn.reset();
    }
    p.Line0.StartDyn = 0;
    for (LineInfo& l : p.Lines) l.StartDyn = 0;
  }
  for (TStyledNavigator* n : ctx_.Navigators) n->ForgetDynAndLine();
  store_.ParsedUpTo = -1;
  upPar_ = -1;
  Reformat();
  Repaint();
}

// ---- the upper-cased slice ----

void TStyledMemo::setUpperCaseProc(TpmUpperCaseProc proc) {
  gUpperCaseProc.store(proc);
}

void TStyledMemo::FindUpperCase(TByteString& s) const {
  if (upperCaseType_ == smuUserDefined) {
    if (const TpmUpperCaseProc proc = gUpperCaseProc.load()) {
      proc(s.data(), static_cast<int32_t>(s.size()));
      return;
    }
  }
  const int cp = CodePage();
  for (unsigned char& c : s) c = upperCaseType_ == smuAnsi ? smUpperChar(c, cp) : smUpperAscii(c);
}

TByteView TStyledMemo::GetUpText(int32_t par, int32_t length, int32_t start) {
  const ParInfo& p = store_[par];
  start = std::clamp(start, 0, p.Length());
  length = std::clamp(length, 0, p.Length() - start);
  const int32_t end = start + length;
  const int32_t upEnd = upStart_ + static_cast<int32_t>(upText_.size());
  if (par == upPar_ && start <= upEnd && end >= upStart_) {
    // Overlapping or adjoining: only the new parts are converted.
    if (start < upStart_) {
      TByteString left = p.Text.substr(static_cast<size_t>(start), static_cast<size_t>(upStart_ - start));
      FindUpperCase(left);
      upText_.insert(0, left);
      upStart_ = start;
    }
    const int32_t have = upStart_ + static_cast<int32_t>(upText_.size());
    if (end > have) {
      TByteString right = p.Text.substr(static_cast<size_t>(have), static_cast<size_t>(end - have));
      FindUpperCase(right);
      upText_ += right;
    }
  } else {
    upPar_ = par;
    upStart_ = start;
    upText_ = p.Text.substr(static_cast<size_t>(start), static_cast<size_t>(length));
    FindUpperCase(upText_);
  }
  return TByteView(upText_).substr(static_cast<size_t>(start - upStart_), static_cast<size_t>(length));
}

// ---- another surface ----

void TStyledMemo::FormatText(DrawSurface* canvas, int32_t width) {
  outCanvas_ = canvas;
  outWidth_ = std::max(width, 0);
  if (!canvas && !WindowReady()) return;
  UpdateFontDependantFields();
  Reformat();
  if (!canvas) Repaint();
}

void TStyledMemo::DrawLines(int32_t firstLine, int32_t lastLine, DrawSurface& canvas, TPoint origin,
                            int32_t scale) {
  firstLine = std::max(firstLine, 0);
  if (lastLine < firstLine || firstLine >= store_.VisibleLineCount) return;
  lastLine = std::min(lastLine, store_.VisibleLineCount - 1);
  if (FormatCanvas()) FormatForPaint(firstLine, lastLine);
  lastLine = std::min(lastLine, store_.VisibleLineCount - 1);
  TPaintTarget target;
  target.width = std::max(origin.x, 0) + FormatWidth();
  target.left = -std::max(origin.x, 0);
  target.focused = false;
  scratch2_.setVisibleLineNumber(firstLine);
  int32_t par = scratch2_.GetParNb();
  int32_t line = scratch2_.GetParLine();
  const int64_t step = int64_t{ctx_.LineHeight} * scale;
  for (int32_t n = firstLine; n <= lastLine; ++n) {
    const int64_t y = origin.y + (int64_t{n} - firstLine) * step / 100;
    PaintLine(canvas, par, line, static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX)), target);
    if (++line >= GetLineCount(store_[par])) {
      line = 0;
      do ++par;
      while (par < store_.Count() && (store_[par].States & smpHidden));
      if (par >= store_.Count()) break;
    }
  }
}

}  // namespace vestrel
