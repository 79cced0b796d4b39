#include "memo/styled_navigator.h"

#include <algorithm>
#include <cstdint>

#include "memo/dyn_ranges.h"
#include "memo/memo_errors.h"
#include "memo/style_codes.h"

namespace vestrel {
namespace {

// Paragraphs a proportional guess may be off by before a binary search takes over.
constexpr int kGuessWalk = 32;

bool Contains(const ParInfo& p, int32_t pos) {
  return pos >= p.StartOffset && pos <= p.StartOffset + p.Length() + 1;
}

int32_t DynsBefore(const std::vector<DynInfoRec>& d, int32_t offset) {
  return static_cast<int32_t>(std::lower_bound(d.begin(), d.end(), offset,
                                               [](const DynInfoRec& r, int32_t v) { return r.Start < v; }) -
                              d.begin());
}

int32_t DynsAtOrBefore(const std::vector<DynInfoRec>& d, int32_t offset) {
  return static_cast<int32_t>(std::upper_bound(d.begin(), d.end(), offset,
                                               [](int32_t v, const DynInfoRec& r) { return v < r.Start; }) -
                              d.begin());
}

}  // namespace

TNavigatorContext::~TNavigatorContext() {
  for (TStyledNavigator* n : Navigators) n->Unbind();
}

void InvalidateNavs(std::vector<TStyledNavigator*>& navigators, int32_t fromOffset, int32_t toPar) {
  for (TStyledNavigator* n : navigators)
    if (n && n->CachedParNb() >= 0 && n->GetPos() >= fromOffset && n->CachedParNb() <= toPar)
      n->ForgetDynAndLine();
}

void TLinesList::SetCount(int32_t n) {
  par_->Lines.resize(static_cast<size_t>(std::max(n, 1) - 1));
}

// ---- life ----

TStyledNavigator::TStyledNavigator(TNavigatorContext* memo) : memo_(memo) {
  if (memo_) memo_->Navigators.push_back(this);
}

TStyledNavigator::~TStyledNavigator() {
  if (memo_) {
    auto& list = memo_->Navigators;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  if (OnFree) OnFree(*this);
}

TNavigatorContext& TStyledNavigator::Ctx() const {
  if (!memo_) throw EStyledMemoError(kInternalError);  // the memo is gone
  return *memo_;
}

TParagraphsList& TStyledNavigator::Store() const {
  if (!Ctx().Store) throw EStyledMemoError(kInternalError);
  return *memo_->Store;
}

void TStyledNavigator::Invalidate() {
  parNb_ = -1;
  offset_ = 0;
  ForgetDynAndLine();
}

void TStyledNavigator::MoveBy(int32_t posDelta, int32_t parDelta) {
  pos_ += posDelta;
  if (parNb_ >= 0) parNb_ += parDelta;  // a hint only: checked against the store before use
  ForgetDynAndLine();
}

void TStyledNavigator::Assign(const TStyledNavigator& other) {
  pos_ = other.pos_;
  parNb_ = other.parNb_;
  offset_ = other.offset_;
  dynNb_ = other.dynNb_;
  parLine_ = other.parLine_;
  dynRight_ = other.dynRight_;
  lineEnd_ = other.lineEnd_;
}

// ---- positions ----

void TStyledNavigator::Resolve() {
  TParagraphsList& s = Store();
  if (s.Count() == 0) throw ERangeError();
  pos_ = std::clamp(pos_, 0, s.CharCount);
  if (parNb_ >= 0 && parNb_ < s.Count() && Contains(s[parNb_], pos_)) {
    offset_ = pos_ - s[parNb_].StartOffset;
    return;
  }
  const int32_t count = s.Count();
  int32_t g = 0;
  if (s.CharCount > 0)  // 64-bit product: no overflow however long the text
    g = static_cast<int32_t>(static_cast<int64_t>(pos_) * std::max(count - 2, 0) / s.CharCount);
  g = std::clamp(g, 0, count - 1);
  for (int k = 0; k < kGuessWalk && !Contains(s[g], pos_); ++k) {
    if (pos_ < s[g].StartOffset)
      --g;
    else
      ++g;
  }
  if (!Contains(s[g], pos_)) g = s.ParFromOffset(pos_);
  parNb_ = g;
  offset_ = pos_ - s[g].StartOffset;
  ForgetDynAndLine();
}

void TStyledNavigator::SetParAndOffset(int32_t par, int32_t offset) {
  const ParInfo& p = Store()[par];
  if (par != parNb_ || offset != offset_) dynRight_ = lineEnd_ = false;
  parNb_ = par;
  offset_ = offset;
  pos_ = p.StartOffset + offset;
}

void TStyledNavigator::SetDyn(int32_t n) {
  dynNb_ = n;
  dynRight_ = n > DynsBefore(GetDynArray(Store()[parNb_]), offset_);
}

void TStyledNavigator::SetPos(int32_t pos) {
  TParagraphsList& s = Store();
  pos = std::clamp(pos, 0, s.CharCount);
  if (parNb_ >= 0 && parNb_ < s.Count() && Contains(s[parNb_], pos)) {
    const ParInfo& p = s[parNb_];
    const bool forward = pos >= pos_;
    if (pos != pos_) dynRight_ = lineEnd_ = false;
    pos_ = pos;
    offset_ = pos - p.StartOffset;
    if (!forward) {
      ForgetDynAndLine();
      return;
    }
    const std::vector<DynInfoRec>& d = GetDynArray(p);
    if (dynNb_ >= 0)
      while (dynNb_ < static_cast<int32_t>(d.size()) && d[dynNb_].Start < offset_) ++dynNb_;
    if (parLine_ >= 0)
      while (parLine_ + 1 < GetLineCount(p) && vestrel::GetLine(p, parLine_ + 1).Start <= offset_) ++parLine_;
    return;
  }
  pos_ = pos;
  Invalidate();
}

int32_t TStyledNavigator::GetParNb() {
  Resolve();
  return parNb_;
}

int32_t TStyledNavigator::GetOffset() {
  Resolve();
  return offset_;
}

ParInfo& TStyledNavigator::GetPar() {
  Resolve();
  return Store()[parNb_];
}

void TStyledNavigator::setParNb(int32_t n) {
  TParagraphsList& s = Store();
  n = std::clamp(n, 0, s.Count() - 1);
  SetParAndOffset(n, 0);
  ForgetDynAndLine();
  dynNb_ = 0;
  parLine_ = 0;
}

void TStyledNavigator::setParOffset(int32_t o) {
  const ParInfo& p = GetPar();
  SetParAndOffset(parNb_, std::clamp(o, 0, p.Length()));
  dynNb_ = parLine_ = -1;  // resolved again on demand
}

int32_t TStyledNavigator::LineOf(const ParInfo& p, int32_t offset) const {
  int32_t lo = 0, hi = GetLineCount(p) - 1;  // the last line starting at or before offset
  while (lo < hi) {
    const int32_t mid = (lo + hi + 1) / 2;
    if (vestrel::GetLine(p, mid).Start <= offset)
      lo = mid;
    else
      hi = mid - 1;
  }
  return lo;
}

int32_t TStyledNavigator::GetParLine() {
  const ParInfo& p = GetPar();
  const int32_t last = GetLineCount(p) - 1;
  const int32_t at = LineOf(p, offset_);
  if (parLine_ == at) return parLine_;
  // The line that ends here is kept only when the position was put at its end on purpose.
  if (lineEnd_ && parLine_ >= 0 && parLine_ < last && vestrel::GetLine(p, parLine_).Stop == offset_)
    return parLine_;
  parLine_ = at;
  lineEnd_ = false;
  return parLine_;
}

void TStyledNavigator::SetParLine(int32_t line) {
  const ParInfo& p = GetPar();
  line = std::clamp(line, 0, GetLineCount(p) - 1);
  const LineInfo& l = vestrel::GetLine(p, line);
  SetParAndOffset(parNb_, l.Start);
  ForgetDynAndLine();
  parLine_ = line;
  dynNb_ = l.StartDyn;
}

int32_t TStyledNavigator::GetColNb() {
  const int32_t line = GetParLine();
  return offset_ - vestrel::GetLine(GetPar(), line).Start;
}

void TStyledNavigator::SetColNb(int32_t c) {
  const int32_t line = GetParLine();
  const ParInfo& p = GetPar();
  const LineInfo& l = vestrel::GetLine(p, line);
  const int32_t end = line == GetLineCount(p) - 1 ? p.Length() : l.Stop;
  SetParAndOffset(parNb_, l.Start + std::clamp(c, 0, end - l.Start));
  parLine_ = line;
  lineEnd_ = line < GetLineCount(p) - 1 && offset_ == l.Stop;
  dynNb_ = -1;
}

int32_t TStyledNavigator::GetLineNb() {
  if (Ctx().NeverWraps()) return GetParNb();
  return GetPar().FirstLine + GetParLine();
}

void TStyledNavigator::SetLineNb(int32_t n) {
  if (Ctx().NeverWraps()) {
    setParNb(n);
    return;
  }
  setVisibleLineNumber(n);
}

int32_t TStyledNavigator::getVisibleLineNumber() {
  const ParInfo& p = GetPar();
  if (p.States & smpHidden) return p.FirstLine;
  return p.FirstLine + GetParLine();
}

void TStyledNavigator::setVisibleLineNumber(int32_t n) {
  TParagraphsList& s = Store();
  n = std::clamp(n, 0, std::max(s.VisibleLineCount - 1, 0));
  int32_t lo = 0, hi = s.Count() - 1;  // the last paragraph whose first line is at or before n
  while (lo < hi) {
    const int32_t mid = (lo + hi + 1) / 2;
    if (s[mid].FirstLine <= n)
      lo = mid;
    else
      hi = mid - 1;
  }
  while (lo > 0 && (s[lo].States & smpHidden)) --lo;
  SetParAndOffset(lo, 0);
  SetParLine(n - s[lo].FirstLine);
}

bool TStyledNavigator::getIsVisible() {
  return !(GetPar().States & smpHidden);
}

// ---- text ----

unsigned char TStyledNavigator::GetText() {
  const ParInfo& p = GetPar();
  if (offset_ < p.Length()) return p.Text[static_cast<size_t>(offset_)];
  if (parNb_ == Store().Count() - 1) return 0;  // no break after the last paragraph
  return offset_ == p.Length() ? '\r' : '\n';
}

int32_t TStyledNavigator::GetTextBuf(unsigned char* buf, int32_t len) {
  const TByteString t = GetTextString(len);
  std::copy(t.begin(), t.end(), buf);
  buf[t.size()] = 0;
  return static_cast<int32_t>(t.size());
}

TByteString TStyledNavigator::GetTextString(int32_t len) {
  TParagraphsList& s = Store();
  Resolve();
  TByteString out;
  int32_t p = parNb_, o = offset_;
  while (static_cast<int32_t>(out.size()) < len) {
    const ParInfo& par = s[p];
    if (o < par.Length()) {
      const int32_t n = std::min(par.Length() - o, len - static_cast<int32_t>(out.size()));
      out.append(par.Text, static_cast<size_t>(o), static_cast<size_t>(n));
      o += n;
    } else if (p == s.Count() - 1) {
      break;
    } else if (o == par.Length()) {
      out.push_back('\r');
      ++o;
    } else {
      out.push_back('\n');
      ++p;
      o = 0;
    }
  }
  return out;
}

TByteString TStyledNavigator::GetWord() {
  const ParInfo& p = GetPar();
  const TDelimiters& d = Ctx().Delimiters;
  int32_t a = std::min(offset_, p.Length()), b = a;
  while (b < p.Length() && !d.test(p.Text[static_cast<size_t>(b)])) ++b;
  while (a > 0 && !d.test(p.Text[static_cast<size_t>(a - 1)])) --a;
  return p.Text.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
}

TByteString TStyledNavigator::GetLine() {
  const int32_t line = GetParLine();
  const ParInfo& p = GetPar();
  const LineInfo& l = vestrel::GetLine(p, line);
  return p.Text.substr(static_cast<size_t>(l.Start), static_cast<size_t>(l.Stop - l.Start));
}

uint8_t TStyledNavigator::GetStyle() {
  if (!Store().StaticFormat) return 0;
  const int32_t line = GetParLine();
  const ParInfo& p = GetPar();
  const LineInfo& l = vestrel::GetLine(p, line);
  uint8_t style = l.StartStyle;
  for (int32_t q = l.Start; q < std::min(offset_, p.Length()); ++q)
    XORStyleCode(style, p.Text[static_cast<size_t>(q)]);
  return style;
}

// ---- dynamic attributes ----

int32_t TStyledNavigator::GetDynNb() {
  const ParInfo& p = GetPar();
  const std::vector<DynInfoRec>& d = GetDynArray(p);
  const int32_t before = DynsBefore(d, offset_);
  if (dynNb_ == before) return dynNb_;
  if (dynRight_ && dynNb_ > before && dynNb_ <= DynsAtOrBefore(d, offset_)) return dynNb_;
  dynNb_ = before;
  dynRight_ = false;
  return dynNb_;
}

bool TStyledNavigator::setDynNb(int32_t n) {
  const ParInfo& p = GetPar();
  const std::vector<DynInfoRec>& d = GetDynArray(p);
  if (n < 0 || n > static_cast<int32_t>(d.size())) return false;
  SetParAndOffset(parNb_, n == 0 ? 0 : d[static_cast<size_t>(n - 1)].Start);
  SetDyn(n);
  parLine_ = -1;
  return true;
}

const DynInfoRec& TStyledNavigator::GetpDynInfo() {
  const int32_t n = GetDynNb();
  const ParInfo& p = GetPar();
  return n == 0 ? GetStartDynAttrib(p) : GetDynArray(p)[static_cast<size_t>(n - 1)];
}

int32_t TStyledNavigator::GetContext() {
  const DynInfoRec& r = GetpDynInfo();
  return r.Flags ? r.Context : 0;
}

void TStyledNavigator::RightOfDyn() {
  int32_t n = GetDynNb();
  const std::vector<DynInfoRec>& d = GetDynArray(GetPar());
  while (n < static_cast<int32_t>(d.size()) && d[static_cast<size_t>(n)].Start <= offset_) ++n;
  SetDyn(n);
}

bool TStyledNavigator::AdvanceDyn() {
  const int32_t n = GetDynNb();
  const std::vector<DynInfoRec>& d = GetDynArray(GetPar());
  if (n >= static_cast<int32_t>(d.size()) || d[static_cast<size_t>(n)].Start > offset_) return false;
  SetDyn(n + 1);
  return true;
}

void TStyledNavigator::AddDyn(const DynInfoRec& rec) {
  const int32_t n = GetDynNb();
  ParInfo& p = GetPar();
  const int32_t at = std::min(offset_, p.Length());
  DynInfoRec r = rec;
  r.Start = at;
  std::vector<DynInfoRec>& d = SetParExtras(p).Dyns;
  d.insert(d.begin() + n, r);
  SetDyn(n + 1);
  for (int32_t i = 0; i < GetLineCount(p); ++i)  // lines after it count one attribute more
    if (vestrel::GetLine(p, i).Start > at) ++vestrel::GetLine(p, i).StartDyn;
}

void TStyledNavigator::RemoveDyn() {
  const int32_t n = GetDynNb();
  ParInfo& p = GetPar();
  if (!p.Extra || n >= static_cast<int32_t>(p.Extra->Dyns.size()) ||
      p.Extra->Dyns[static_cast<size_t>(n)].Start != offset_)
    throw EStyledMemoError(kInternalError);
  p.Extra->Dyns.erase(p.Extra->Dyns.begin() + n);
  for (int32_t i = 0; i < GetLineCount(p); ++i)
    if (vestrel::GetLine(p, i).Start > offset_) --vestrel::GetLine(p, i).StartDyn;
  parLine_ = -1;
}

bool TStyledNavigator::ForwardToDyn(int32_t limit) {
  TParagraphsList& s = Store();
  int32_t k = GetDynNb();
  for (int32_t p = parNb_; p < s.Count(); ++p, k = 0) {
    const ParInfo& par = s[p];
    if (par.StartOffset > limit) return false;
    const std::vector<DynInfoRec>& d = GetDynArray(par);
    if (k < static_cast<int32_t>(d.size())) {
      const int32_t start = d[static_cast<size_t>(k)].Start;
      if (par.StartOffset + start > limit) return false;
      SetParAndOffset(p, start);
      SetDyn(k);  // left of it
      parLine_ = -1;
      return true;
    }
  }
  return false;
}

bool TStyledNavigator::BackToDyn(int32_t limit) {
  TParagraphsList& s = Store();
  int32_t k = GetDynNb() - 1;
  for (int32_t p = parNb_; p >= 0;) {
    const std::vector<DynInfoRec>& d = GetDynArray(s[p]);
    if (k >= 0) {
      const int32_t start = d[static_cast<size_t>(k)].Start;
      if (s[p].StartOffset + start < limit) return false;
      SetParAndOffset(p, start);
      SetDyn(k);  // left of it, so that the next call goes further back
      parLine_ = -1;
      return true;
    }
    if (--p < 0 || s[p].StartOffset + s[p].Length() < limit) return false;
    k = GetDynCount(s[p]) - 1;
  }
  return false;
}

bool TStyledNavigator::NextDyn() {
  if (!ForwardToDyn(Store().CharCount)) return false;
  SetDyn(dynNb_ + 1);
  return true;
}

bool TStyledNavigator::PreviousDyn() {
  return BackToDyn(0);
}

void TStyledNavigator::ExpandAllLevels() {
  const int32_t par = GetParNb();
  const int32_t offset = offset_;
  Store().ExpandAllLevels(par);
  if (ExpandDynRunsAround(Store(), par, offset)) ForgetDynAndLine();
}

bool TStyledNavigator::Collapse() {
  const TNavigatorContext& m = Ctx();
  if (m.WordWrap || m.Alignment != taLeftJustify) return false;
  return CollapseRun(true);
}

bool TStyledNavigator::Expand() {
  return CollapseRun(false);
}

bool TStyledNavigator::CollapseRun(bool collapse) {
  TNavigatorContext& m = Ctx();
  const int32_t par = GetParNb();
  if (m.DynParse) {
    // Parsing may lay the paragraph's attributes anew: the attribute is looked up afterwards.
    const bool right = dynRight_;
    m.DynParse(par, par);
    ForgetDynAndLine();
    if (right) RightOfDyn();
  }
  const DynInfoRec& r = GetpDynInfo();
  if (!(r.Flags & kDynActive) || !(r.CollapseStates & smdCollapsible)) return false;
  if (((r.CollapseStates & smdCollapsed) != 0) == collapse) return false;
  const int32_t dynNb = GetDynNb();
  if (m.UpdateBracket) m.UpdateBracket(true);
  bool changed = false;
  try {
    changed = CollapseExpandDynRun(Store(), par, dynNb, collapse, [&m](int32_t i) {
      if (m.DynParse) m.DynParse(i, i);
    });
  } catch (...) {
    if (m.UpdateBracket) m.UpdateBracket(false);
    throw;
  }
  if (m.UpdateBracket) m.UpdateBracket(false);
  return changed;
}

// ---- display coordinates ----

int32_t TNavigatorContext::TabStep() const {
  const int64_t step =
      TabStops > 0 ? int64_t{TabStops} * std::max(SpaceWidth, 1) : -static_cast<int64_t>(TabStops);
  return static_cast<int32_t>(std::min<int64_t>(step, INT32_MAX));
}

int32_t TStyledNavigator::TabStep() const {
  return Ctx().TabStep();
}

int32_t TNavigatorContext::LineOriginX(const LineInfo& l) const {
  const bool justified = Justified && l.JustifyFrom < l.Stop;
  int32_t x = LeftMargin;
  if (!justified && Alignment == taRightJustify) x = ClientWidth - RightMargin - l.Width;
  if (!justified && Alignment == taCenter)
    x = LeftMargin + (ClientWidth - LeftMargin - RightMargin - l.Width) / 2;
  return x - LeftOrigin;
}

int32_t TStyledNavigator::LineOrigin(const LineInfo& l) {
  return Ctx().LineOriginX(l);
}

// x from the line's start to offset `end`, measured run by run in the font of each run. With
// hitOffset, walks character by character instead and stops at the first one whose middle lies
// right of stopAtX (both relative to the line's start).
int32_t TStyledNavigator::LineX(const ParInfo& p, const LineInfo& l, int32_t end, int32_t stopAtX,
                                int32_t* hitOffset) {
  const TNavigatorContext& m = Ctx();
  const bool codes = Store().StaticFormat;
  const std::vector<DynInfoRec>& dyns = GetDynArray(p);
  const int32_t nd = static_cast<int32_t>(dyns.size());
  int32_t di = DynsAtOrBefore(dyns, l.Start);
  uint8_t style = codes ? l.StartStyle : 0;
  auto flags = [&] { return di == 0 ? GetStartDynAttrib(p).Flags : dyns[static_cast<size_t>(di - 1)].Flags; };
  int32_t font = -1;  // font selected on the surface, -1 none yet
  auto select = [&] {
    const int32_t ext = RunFontStyle(style, flags(), m.FontStyle);
    if (m.Measure && ext != font) m.Measure->SelectFont(static_cast<uint8_t>(ext));
    font = ext;
  };
  auto measure = [&](int32_t from, int32_t n) {
    int32_t w = 0;
    if (m.Measure && n > 0 && !m.Measure->TextExtent(p.Text.data() + from, n, w)) w = 0;
    return w;
  };
  // Justification: blanks at or after JustifyFrom share the free width.
  const int32_t free = m.ClientWidth - m.LeftMargin - m.RightMargin - l.Width;
  const bool stretch = m.Justified && l.JustifyFrom < l.Stop && l.BlankCount > 0 && free > 0;
  const int32_t per = stretch ? free / l.BlankCount : 0;
  const int32_t rem = stretch ? free % l.BlankCount : 0;
  int32_t acc = rem / 2, stretched = 0;
  const int32_t step = TabStep();

  int32_t x = 0, runStart = l.Start;
  select();
  auto flush = [&](int32_t upto) {
    x += measure(runStart, upto - runStart);
    runStart = upto;
  };
  for (int32_t q = l.Start; q < end; ++q) {
    if (di < nd && dyns[static_cast<size_t>(di)].Start <= q) {
      flush(q);
      while (di < nd && dyns[static_cast<size_t>(di)].Start <= q) ++di;
      select();
    }
    const unsigned char c = p.Text[static_cast<size_t>(q)];
    int32_t w = -1;  // width of c when it is not part of a measured run
    if (codes && IsStyleCode(c)) {
      w = 0;
    } else if (c == '\t') {
      w = step > 0 ? ((x + (hitOffset ? 0 : measure(runStart, q - runStart))) / step + 1) * step : 0;
    } else if (c == ' ' && stretch && q >= l.JustifyFrom && stretched < l.BlankCount) {
      w = measure(q, 1) + per;
      acc += rem;
      if (acc >= l.BlankCount) {
        ++w;
        acc -= l.BlankCount;
      }
      ++stretched;
    } else if (hitOffset) {
      w = measure(q, 1);
    }
    if (w < 0) continue;  // stays in the run
    flush(q);
    if (c == '\t') w = step > 0 ? w - x : 0;                       // the tab's width up to its stop
    if (hitOffset && 2 * int64_t{stopAtX} < 2 * int64_t{x} + w) {  // left of the character's middle
      *hitOffset = q;
      return x;
    }
    x += w;
    runStart = q + 1;
    if (codes && IsStyleCode(c)) {
      XORStyleCode(style, c);
      select();
    }
  }
  flush(end);
  if (hitOffset) *hitOffset = end;
  return x;
}

int32_t TStyledNavigator::GetDisplayX() {
  const int32_t line = GetParLine();
  const ParInfo& p = GetPar();
  const LineInfo& l = vestrel::GetLine(p, line);
  const int32_t end = std::clamp(offset_, l.Start, p.Length());
  const int64_t x = int64_t{LineOrigin(l)} + LineX(p, l, end, 0, nullptr);
  return static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
}

void TStyledNavigator::SetDisplayX(int32_t x) {
  const int32_t line = GetParLine();
  const ParInfo& p = GetPar();
  const LineInfo& l = vestrel::GetLine(p, line);
  const int32_t end = line == GetLineCount(p) - 1 ? p.Length() : l.Stop;
  int32_t hit = end;
  // Any x is a place on the line, the far ends of the range included (no wrap-round).
  const int64_t rel = int64_t{x} - LineOrigin(l);
  LineX(p, l, end, static_cast<int32_t>(std::clamp<int64_t>(rel, INT32_MIN / 2, INT32_MAX / 2)), &hit);
  SetColNb(hit - l.Start);
}

int32_t TStyledNavigator::GetLineOriginX() {
  const int32_t line = GetParLine();
  return LineOrigin(vestrel::GetLine(GetPar(), line));
}

int32_t TStyledNavigator::getDisplayWidth() {
  const int32_t line = GetParLine();
  const ParInfo& p = GetPar();
  if (offset_ >= p.Length()) return 0;
  const LineInfo& l = vestrel::GetLine(p, line);
  const int32_t here = LineX(p, l, offset_, 0, nullptr);
  return LineX(p, l, offset_ + 1, 0, nullptr) - here;
}

int32_t TStyledNavigator::GetDisplayY() {
  const TNavigatorContext& m = Ctx();
  // Many lines of a tall font pass 32 bits: the y saturates instead of wrapping round.
  const int64_t y = int64_t{getVisibleLineNumber()} * m.LineHeight + m.TopOffset - m.TopOrigin;
  return static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX));
}

void TStyledNavigator::setDisplayY(int32_t y) {
  TParagraphsList& s = Store();
  const TNavigatorContext& m = Ctx();
  const int64_t h = std::max(m.LineHeight, 1);
  const int64_t rel = int64_t{y} + m.TopOrigin - m.TopOffset;
  const int64_t line = rel < 0 ? 0 : rel / h;
  if (line >= s.VisibleLineCount) {
    SetPos(s.CharCount);
    return;
  }
  setVisibleLineNumber(static_cast<int32_t>(line));
}

// ---- words ----

void TStyledNavigator::ToNextWord(const TDelimiters& d) {
  const ParInfo& p = GetPar();
  if (offset_ >= p.Length()) {  // from a paragraph end over the break
    if (parNb_ + 1 < Store().Count()) setParNb(parNb_ + 1);
    return;
  }
  int32_t o = offset_;
  while (o < p.Length() && !d.test(p.Text[static_cast<size_t>(o)])) ++o;
  while (o < p.Length() && d.test(p.Text[static_cast<size_t>(o)])) ++o;
  setParOffset(o);
}

void TStyledNavigator::ToPreviousWord(const TDelimiters& d) {
  const ParInfo& p = GetPar();
  if (offset_ == 0) {  // from a paragraph start back over the break
    if (parNb_ > 0) {
      setParNb(parNb_ - 1);
      setParOffset(GetPar().Length());
    }
    return;
  }
  int32_t o = std::min(offset_, p.Length());
  while (o > 0 && d.test(p.Text[static_cast<size_t>(o - 1)])) --o;
  while (o > 0 && !d.test(p.Text[static_cast<size_t>(o - 1)])) --o;
  setParOffset(o);
}

void TStyledNavigator::ToEndOfWord(const TDelimiters& d) {
  const ParInfo& p = GetPar();
  int32_t o = std::min(offset_, p.Length());
  while (o < p.Length() && !d.test(p.Text[static_cast<size_t>(o)])) ++o;
  setParOffset(o);
}

void TStyledNavigator::ToStartOfWord(const TDelimiters& d) {
  const ParInfo& p = GetPar();
  int32_t o = std::min(offset_, p.Length());
  while (o > 0 && !d.test(p.Text[static_cast<size_t>(o - 1)])) --o;
  setParOffset(o);
}

// ---- the edit between two navigators ----

TParagraphsList::TInsertResult InsertBuf(TParagraphsList& store, TByteView buf, TStyledNavigator& startNav,
                                         TStyledNavigator& stopNav, bool trimTrailing, bool insertCodes) {
  const TParagraphsList::TInsertResult r =
      store.InsertBuf(buf, startNav.GetPos(), stopNav.GetPos(), trimTrailing, insertCodes);
  startNav.Invalidate();
  startNav.SetPos(r.StartPos);
  startNav.GetParNb();
  stopNav.Invalidate();
  stopNav.SetPos(r.StopPos);
  stopNav.GetParNb();
  return r;
}

}  // namespace vestrel
