#include "memo/line_breaker.h"

#include <algorithm>
#include <array>
#include <vector>

#include "memo/sm_support.h"
#include "memo/style_codes.h"

namespace vestrel {
namespace {

int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool SameLine(const LineInfo& a, const LineInfo& b) {
  return a.Start == b.Start && a.Stop == b.Stop && a.Width == b.Width && a.FullWidth == b.FullWidth &&
         a.BlankCount == b.BlankCount && a.JustifyFrom == b.JustifyFrom && a.StartStyle == b.StartStyle &&
         a.StartDyn == b.StartDyn;
}

// Replaces lines from..last of p (last may be from - 1: nothing replaced) by nl.
void ReplaceLines(ParInfo& p, int32_t from, int32_t last, const std::vector<LineInfo>& nl) {
  size_t at = 0;
  if (from == 0) {
    p.Line0 = nl[0];
    at = 1;
    from = 1;
  }
  std::vector<LineInfo>& lines = p.Lines;  // holds lines 1..n-1
  const size_t first = static_cast<size_t>(from - 1);
  const size_t oldN = static_cast<size_t>(std::max(last - from + 1, 0));
  const size_t newN = nl.size() - at;
  const size_t common = std::min(oldN, newN);
  std::copy(nl.begin() + static_cast<ptrdiff_t>(at), nl.begin() + static_cast<ptrdiff_t>(at + common),
            lines.begin() + static_cast<ptrdiff_t>(first));
  const auto tail = lines.begin() + static_cast<ptrdiff_t>(first + common);
  if (oldN > newN)
    lines.erase(tail, tail + static_cast<ptrdiff_t>(oldN - newN));
  else if (newN > oldN)
    lines.insert(tail, nl.begin() + static_cast<ptrdiff_t>(at + common), nl.end());
}

// Where a scan stands: the offset and the style state in effect there.
struct TScanPoint {
  int32_t pos = 0;
  uint8_t style = 0;  // static style
  int32_t dyn = 0;    // attributes taken in: those starting at or before pos once synced
};

// The line being laid out.
struct TOpenLine {
  int32_t start = 0;
  uint8_t startStyle = 0;
  int32_t startDyn = 0;
  int64_t x = 0;       // pixels from the line's start
  int32_t blanks = 0;  // blanks since the last tab (or the line start)
  int32_t justifyFrom = 0;
  bool content = false;  // a blank, tab or word lies on the line (style codes alone do not count)
};

class TBreaker {
 public:
  TBreaker(TNavigatorContext& m, TFontMeasure& dc, ParInfo& p, int32_t availWidth, int32_t& spaceWidth,
           int32_t& overhang)
      : m_(m),
        dc_(dc),
        p_(p),
        t_(p.Text.data()),
        len_(p.Length()),
        codes_(m.Store && m.Store->StaticFormat),
        dyns_(GetDynArray(p)),
        nd_(static_cast<int32_t>(dyns_.size())),
        startFlags_(GetStartDynAttrib(p).Flags),
        maxChunk_(std::max(m.MaxCharsPerCall, 1)),
        charMode_(m.ColumnWrap > 0),
        width_(ParWrapWidth(m, p, availWidth)),
        tabStep_(m.TabStep()),
        sw_(spaceWidth),
        oh_(overhang) {
    for (unsigned char c : m.WordWrapChars) wrap_[c] = true;
  }

  // Lays the paragraph out from line k (the line that held the edit start), replacing old lines
  // from where the layout may differ up to where it meets the old breaks again.
  void Run(int32_t k, int32_t oldLineIn, bool whole, bool setFont, int32_t& fromLine, int32_t& oldLine,
           int32_t& lineDelta, int32_t& newLineCount);

 private:
  const LineInfo& Old(int32_t i) const { return GetLine(p_, i); }

  uint8_t NeededFont() const {
    const uint8_t flags = s_.dyn == 0 ? startFlags_ : dyns_[static_cast<size_t>(s_.dyn - 1)].Flags;
    return RunFontStyle(s_.style, flags, m_.FontStyle);
  }
  void EnsureFont() {
    const int32_t f = NeededFont();
    if (f == selected_) return;
    dc_.SelectFont(static_cast<uint8_t>(f));
    selected_ = f;
    static const unsigned char kBlanks[2] = {' ', ' '};
    int32_t one = 0, two = 0;
    if (dc_.TextExtent(kBlanks, 1, one) && dc_.TextExtent(kBlanks, 2, two)) {
      sw_ = two - one;
      oh_ = 2 * one - two;
    } else {
      sw_ = 1;
      oh_ = 0;
    }
  }
  void Sync() {
    while (s_.dyn < nd_ && dyns_[static_cast<size_t>(s_.dyn)].Start <= s_.pos) ++s_.dyn;
  }
  // Attributes starting before pos: a line's StartDyn.
  int32_t DynBefore(const TScanPoint& at) const {
    int32_t d = at.dyn;
    while (d > 0 && dyns_[static_cast<size_t>(d - 1)].Start >= at.pos) --d;
    return d;
  }
  int64_t Measure(int32_t from, int32_t n) {
    if (n <= 0) return 0;
    EnsureFont();
    return GetTextWidth(dc_, t_ + from, n, maxChunk_);
  }
  bool IsRunChar(unsigned char c) const { return c == ' ' || c == '\t' || (codes_ && IsStyleCode(c)); }

  // Whether offset `at` lies inside a word: a word character there (unless `after` is false:
  // the edit may have put that one there), and before it, over style codes, a word character
  // that is not a wrap character.
  bool MidWord(int32_t at, bool after = true) const {
    if (at <= 0 || at > len_ || (after && (at == len_ || IsRunChar(t_[at])))) return false;
    int32_t q = at - 1;
    while (q >= 0 && codes_ && IsStyleCode(t_[q])) --q;
    return q >= 0 && t_[q] != ' ' && t_[q] != '\t' && !wrap_[t_[q]];
  }

  void Restart(int32_t line) {
    const LineInfo& l = Old(line);
    s_ = {l.Start, codes_ ? l.StartStyle : uint8_t{0}, l.StartDyn};
    Sync();
  }
  void OpenAt(TOpenLine& L) const {
    L = TOpenLine{};
    L.start = L.justifyFrom = s_.pos;
    L.startStyle = s_.style;
    L.startDyn = DynBefore(s_);
  }

  void ScanRun(TOpenLine& L, bool& tabInRun);
  int64_t ScanWord();
  int64_t Split(const TOpenLine& L, int32_t wordEnd);
  bool Over(int32_t lineStart, int32_t wordEnd, int64_t x) const {
    return charMode_ ? wordEnd - lineStart > width_ : x > width_;
  }
  // Adds a finished line; true when the new break meets an old one and the scan may stop.
  bool Emit(const TOpenLine& L, int32_t stop, int64_t width, int64_t fullWidth, int32_t blankCount,
            int32_t justifyFrom);

  TNavigatorContext& m_;
  TFontMeasure& dc_;
  ParInfo& p_;
  const unsigned char* t_;
  const int32_t len_;
  const bool codes_;
  const std::vector<DynInfoRec>& dyns_;
  const int32_t nd_;
  const uint8_t startFlags_;
  const int32_t maxChunk_;
  const bool charMode_;
  const int64_t width_;
  const int32_t tabStep_;
  int32_t& sw_;
  int32_t& oh_;
  std::array<bool, 256> wrap_{};
  int32_t selected_ = -1;  // font on the surface, -1 unknown

  TScanPoint s_;
  std::vector<LineInfo> out_;
  bool whole_ = true;
  int32_t nOld_ = 1;
  int32_t ol_ = 0;  // old line reached by the early-stop walk
};

// Blanks add a space width each and are counted; style codes toggle the style; a tab goes to
// the next tab stop counted from the line's start and restarts the count.
void TBreaker::ScanRun(TOpenLine& L, bool& tabInRun) {
  while (s_.pos < len_) {
    Sync();
    const unsigned char c = t_[s_.pos];
    if (c == ' ') {
      EnsureFont();
      L.x += std::max(sw_, 0);
      ++L.blanks;
      L.content = true;
    } else if (c == '\t') {
      if (tabStep_ > 0) L.x = (L.x / tabStep_ + 1) * tabStep_;
      L.blanks = 0;
      L.justifyFrom = s_.pos;
      L.content = tabInRun = true;
    } else if (codes_ && IsStyleCode(c)) {
      XORStyleCode(s_.style, c);
    } else {
      return;
    }
    ++s_.pos;
  }
  Sync();
}

// A word: up to a blank, a tab or the paragraph end, or up to and including a wrap character.
// Its width is the sum of its pieces between style codes and attribute starts, less the
// overhang once.
int64_t TBreaker::ScanWord() {
  int64_t w = 0;
  int32_t piece = s_.pos;
  while (s_.pos < len_) {
    if (s_.dyn < nd_ && dyns_[static_cast<size_t>(s_.dyn)].Start <= s_.pos) {
      w += Measure(piece, s_.pos - piece);
      Sync();
      piece = s_.pos;
    }
    const unsigned char c = t_[s_.pos];
    if (c == ' ' || c == '\t') break;
    if (codes_ && IsStyleCode(c)) {
      w += Measure(piece, s_.pos - piece);
      XORStyleCode(s_.style, c);
      piece = ++s_.pos;
      continue;
    }
    ++s_.pos;
    if (wrap_[c]) break;
  }
  w += Measure(piece, s_.pos - piece);
  return w - oh_;
}

// A word too long for any line, from the line's start: characters go on while they fit, but at
// least one; style codes take no room and stay on the upper line, so the split never backs off
// over a code or an attribute start. Returns the x reached; s_ stands at the split.
int64_t TBreaker::Split(const TOpenLine& L, int32_t wordEnd) {
  s_ = {L.start, L.startStyle, L.startDyn};
  Sync();
  int64_t x = 0;
  bool taken = false;
  while (s_.pos < wordEnd) {
    Sync();
    const unsigned char c = t_[s_.pos];
    if (codes_ && IsStyleCode(c)) {
      XORStyleCode(s_.style, c);
      ++s_.pos;
      continue;
    }
    const int64_t w = Measure(s_.pos, 1);
    const bool fits = charMode_ ? s_.pos + 1 - L.start <= width_ : x + w <= width_;
    if (!fits && taken) break;
    x += w;
    ++s_.pos;
    taken = true;
  }
  Sync();
  return x;
}

bool TBreaker::Emit(const TOpenLine& L, int32_t stop, int64_t width, int64_t fullWidth, int32_t blankCount,
                    int32_t justifyFrom) {
  LineInfo l;
  l.Start = L.start;
  l.Stop = stop;
  l.Width = Saturate(width);
  l.FullWidth = Saturate(fullWidth);
  l.BlankCount = blankCount;
  l.JustifyFrom = justifyFrom;
  l.StartStyle = L.startStyle;
  l.StartDyn = L.startDyn;
  out_.push_back(l);
  if (l.Width > m_.WidestLineWidth) {
    m_.WidestLineWidth = l.Width;
    if (!m_.WordWrap || m_.ColumnWrap > 0) m_.WidestLine = p_.FirstLine;
  }
  if (whole_ || stop >= len_) return false;
  // The old lines after a break they share are still valid when the old line there starts in
  // the same state; ol_ never goes below the line holding the end of the edit, so that line
  // and everything after its stop lie beyond the changed text.
  while (ol_ < nOld_ && Old(ol_).Stop < stop) ++ol_;
  if (ol_ >= nOld_ - 1 || Old(ol_).Stop != stop) return false;
  const LineInfo& next = Old(ol_ + 1);
  return next.Start == stop && next.StartStyle == (codes_ ? s_.style : 0) && next.StartDyn == DynBefore(s_);
}

void TBreaker::Run(int32_t k, int32_t oldLineIn, bool whole, bool setFont, int32_t& fromLine,
                   int32_t& oldLine, int32_t& lineDelta, int32_t& newLineCount) {
  nOld_ = GetLineCount(p_);
  whole_ = whole;
  k = whole ? 0 : std::clamp(k, 0, nOld_ - 1);
  ol_ = std::clamp(oldLineIn, k, nOld_ - 1);

  Restart(k);
  if (setFont)
    EnsureFont();
  else
    selected_ = NeededFont();  // the canvas holds the font of the style at the line

  // Where to lay out from. Lines before k are untouched by the edit, but a line's break depends
  // on the first word of the next line: when that word runs on from a split line, or now fits
  // at the end of the line before (pull-up), or the line starts with blanks or codes the edit
  // put there, the line before is laid out again.
  int32_t r = k;
  if (r > 0 && MidWord(Old(r).Start, false)) --r;
  while (r > 0 && MidWord(Old(r).Start)) --r;
  if (r > 0) {
    const LineInfo& prev = Old(r - 1);
    const int32_t s = Old(r).Start;
    bool pullUp = s >= len_ || IsRunChar(t_[s]);
    if (!pullUp) {
      Restart(r);
      const int64_t w = ScanWord();
      pullUp = charMode_ ? s_.pos - prev.Start <= width_ : int64_t{prev.FullWidth} + w <= width_;
    }
    if (pullUp) --r;
  }

  Restart(r);
  TOpenLine L;
  OpenAt(L);
  bool stopped = false;
  for (;;) {
    const int64_t xBefore = L.x;
    const int32_t blanksBefore = L.blanks;
    bool tabInRun = false;
    ScanRun(L, tabInRun);
    if (s_.pos >= len_) break;  // a word at the paragraph end never breaks
    const TScanPoint atWord = s_;
    const int64_t xAtWord = L.x;
    const int64_t w = ScanWord();
    const int32_t wordEnd = s_.pos;
    if (!Over(L.start, wordEnd, xAtWord + w)) {
      L.x = xAtWord + w;
      L.content = true;
      continue;
    }
    if (L.content) {  // the line ends where the word begins; the blanks before it stay up
      const TScanPoint afterWord = s_;
      s_ = atWord;
      if ((stopped = Emit(L, atWord.pos, xBefore, xAtWord, tabInRun ? 0 : blanksBefore, L.justifyFrom)))
        break;
      OpenAt(L);
      s_ = afterWord;
      if (!Over(L.start, wordEnd, w)) {
        L.x = w;
        L.content = true;
        continue;
      }
    }
    const int64_t x = Split(L, wordEnd);
    if (s_.pos >= wordEnd) {  // it fitted after all
      L.x = x;
      L.content = true;
      continue;
    }
    if ((stopped = Emit(L, s_.pos, x, x, 0, L.justifyFrom))) break;
    OpenAt(L);
  }
  if (!stopped) Emit(L, len_, L.x, L.x, 0, len_);

  const int32_t oldLast = stopped ? ol_ : nOld_ - 1;
  const int32_t newN = static_cast<int32_t>(out_.size());
  int32_t first = r;  // lines laid out again unchanged are not part of the change
  while (first < k && first < oldLast && first - r < newN - 1 &&
         SameLine(out_[static_cast<size_t>(first - r)], Old(first)))
    ++first;
  lineDelta = newN - (oldLast - r + 1);
  ReplaceLines(p_, r, oldLast, out_);
  fromLine = first;
  oldLine = oldLast + lineDelta;
  newLineCount = nOld_ + lineDelta;
}

}  // namespace

int64_t ParWrapWidth(const TNavigatorContext& memo, const ParInfo& par, int32_t availWidth) {
  if (par.States & smpNoWrap) return INT32_MAX;
  int64_t w;
  if (memo.WordWrap || memo.Alignment != taLeftJustify) {
    if (memo.ColumnWrap > 0)
      w = memo.ColumnWrap;
    else if (memo.ColumnWrap < 0)
      w = -static_cast<int64_t>(memo.ColumnWrap);
    else
      w = int64_t{availWidth} - memo.LeftMargin - memo.RightMargin;
  } else {
    w = int64_t{INT32_MAX} - memo.RightMargin;
  }
  return std::max<int64_t>(w, 1);
}

void ReformatParP(TNavigatorContext& memo, TFontMeasure* canvas, bool setFont, int32_t availWidth,
                  ParInfo* par, int32_t parIndex, int32_t& fromLine, int32_t& oldLine, bool wholePar,
                  int32_t& spaceWidth, int32_t& overhang, int32_t& lineDelta, int32_t& newLineCount) {
  ParInfo& p = par ? *par : memo.Store->getParPointers(parIndex);

  // Keywords colour a paragraph the first time it is laid out; new attributes move the fonts
  // of every line, so it is laid out whole then.
  if (!(p.States & smpKeywDone) && memo.KeywordsInUse && memo.ApplyKeywords) {
    memo.ApplyKeywords(parIndex);
    wholePar = true;
  }
  p.States |= smpFormatted | smpKeywDone;

  if (!canvas) {  // nothing to measure with: one line, as wide as nothing
    const int32_t old = GetLineCount(p);
    LineInfo l;
    l.Stop = l.JustifyFrom = p.Length();
    l.StartStyle = p.Line0.StartStyle;
    p.Line0 = l;
    p.Lines.clear();
    lineDelta = 1 - old;
    newLineCount = 1;
    fromLine = oldLine = 0;
    return;
  }
  TBreaker b(memo, *canvas, p, availWidth, spaceWidth, overhang);
  b.Run(fromLine, oldLine, wholePar, setFont, fromLine, oldLine, lineDelta, newLineCount);
}

}  // namespace vestrel
