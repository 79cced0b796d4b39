#include "memo/paragraphs_list.h"

#include <algorithm>
#include <chrono>
#include <iterator>

#include "memo/byte_stream.h"
#include "memo/memo_errors.h"
#include "memo/style_codes.h"

namespace vestrel {
namespace {

constexpr size_t kLoadBlock = 65500;  // bytes read from a stream at a time

bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t';
}

void TrimBlanks(TByteString& s) {
  while (!s.empty() && IsBlank(s.back())) s.pop_back();
}

LineInfo WholeLine(int32_t length, uint8_t startStyle) {
  LineInfo l;
  l.Stop = length;
  l.Reserved = length;
  l.JustifyFrom = length;
  l.StartStyle = startStyle;
  return l;
}

template <typename F>
void ForEachLine(ParInfo& p, F&& f) {
  f(p.Line0);
  for (LineInfo& l : p.Lines) f(l);
}

}  // namespace

uint64_t NowMs(WaitClock* clock) {
  if (clock) return clock->NowMs();
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// ---- record accessors ----

LineInfo& GetLine(ParInfo& p, int32_t i) {
  if (i == 0) return p.Line0;
  if (i < 0 || i > static_cast<int32_t>(p.Lines.size())) throw ERangeError();
  return p.Lines[static_cast<size_t>(i - 1)];
}

const LineInfo& GetLine(const ParInfo& p, int32_t i) {
  return GetLine(const_cast<ParInfo&>(p), i);
}

ParExtraInfo& SetParExtras(ParInfo& p) {
  if (!p.Extra) {
    p.Extra = std::make_unique<ParExtraInfo>();
    p.Extra->BlockStartDelta = (p.Blocks & smbStartBlock) ? 1 : 0;
    p.Extra->BlockEndDelta = (p.Blocks & smbEndBlock) ? 1 : 0;
  }
  return *p.Extra;
}

int32_t GetDynCount(const ParInfo& p) {
  return p.Extra ? static_cast<int32_t>(p.Extra->Dyns.size()) : 0;
}

void SetDynCount(ParInfo& p, int32_t n) {
  n = std::max(n, 0);
  if (n == GetDynCount(p)) return;
  std::vector<DynInfoRec>& d = SetParExtras(p).Dyns;
  DynInfoRec empty;
  empty.Start = p.Length();
  d.resize(static_cast<size_t>(n), empty);
}

const std::vector<DynInfoRec>& GetDynArray(const ParInfo& p) {
  static const std::vector<DynInfoRec> none;
  return p.Extra ? p.Extra->Dyns : none;
}

void SetParDyns(ParInfo& p, std::vector<DynInfoRec> dyns) {
  if (dyns.empty() && !p.Extra) return;
  SetParExtras(p).Dyns = std::move(dyns);
}

const DynInfoRec& GetStartDynAttrib(const ParInfo& p) {
  return p.Extra && p.Extra->StartDyn ? *p.Extra->StartDyn : EmptyDynInfo();
}

TDynRef GetStartDynRef(const ParInfo& p) {
  return p.Extra ? p.Extra->StartDyn : TDynRef();
}

void SetStartDynAttrib(ParInfo& p, const TDynRef& rec, bool copy) {
  if (!rec || !(rec->Flags & kDynActive)) {
    if (p.Extra) p.Extra->StartDyn.reset();
    return;
  }
  SetParExtras(p).StartDyn = copy ? std::make_shared<const DynInfoRec>(*rec) : rec;
}

uint8_t GetStartAttrib(const ParInfo& p) {
  return p.Line0.StartStyle;
}
void SetStartAttrib(ParInfo& p, uint8_t style) {
  p.Line0.StartStyle = style;
}

int32_t smsGetParBackgnd(const ParInfo& p) {
  return p.Extra ? p.Extra->Background : -1;
}
int32_t smsGetParForegnd(const ParInfo& p) {
  return p.Extra ? p.Extra->Foreground : -1;
}

void smsSetParBackgnd(ParInfo& p, int32_t c) {
  if (!p.Extra && (c == -1 || c == clNone)) return;
  SetParExtras(p).Background = c;
}

void smsSetParForegnd(ParInfo& p, int32_t c) {
  if (!p.Extra && (c == -1 || c == clNone)) return;
  SetParExtras(p).Foreground = c;
}

int smsGetParLevel(const ParInfo& p) {
  return p.Blocks & smbLevelMask;
}

bool smsGetParCollapsed(const ParInfo& p, int level) {
  if (level <= 0) return false;
  if (level == 1) return (p.Blocks & smbCollapsed) != 0;
  return p.Extra && level - 2 < 32 && ((p.Extra->CollapsedLevels >> (level - 2)) & 1u);
}

int smsGetParBlockStartLevel(const ParInfo& p) {
  const int level = smsGetParLevel(p);
  if (!(p.Blocks & smbStartBlock)) return level;
  return level - (p.Extra ? p.Extra->BlockStartDelta : 1);
}

int smsGetParBlockEndLevel(const ParInfo& p) {
  const int level = smsGetParLevel(p);
  if (!(p.Blocks & smbEndBlock)) return level;
  return level - (p.Extra ? p.Extra->BlockEndDelta : 1);
}

bool ParNeedsExtra(const ParInfo& p) {
  if (p.Length() >= 65535 || !p.Lines.empty()) return true;
  const LineInfo& l = p.Line0;
  if (l.Stop != p.Length() || l.Width > 65535 || l.StartStyle != 0 || l.JustifyFrom < p.Length()) return true;
  if (smsGetParLevel(p) >= 2) return true;
  if (!p.Extra) return false;
  const ParExtraInfo& x = *p.Extra;
  auto plain = [](int32_t c) { return c == -1 || c == clNone; };
  return !x.Dyns.empty() || !plain(x.Foreground) || !plain(x.Background) || x.StartDyn || x.CollapsedLevels ||
         x.BlockStartDelta > 1 || x.BlockEndDelta > 1;
}

// ---- the list ----

TParagraphsList::TParagraphsList() {
  pars_.push_back(std::make_unique<ParInfo>());
  TotalLineCount = VisibleLineCount = 1;
  FirstModPar = 1;
}

ParInfo& TParagraphsList::getParPointers(int32_t i) {
  if (i < 0 || i >= Count()) throw ERangeError();
  return (*pars_[static_cast<size_t>(i)]);
}

const ParInfo& TParagraphsList::getParPointers(int32_t i) const {
  if (i < 0 || i >= Count()) throw ERangeError();
  return (*pars_[static_cast<size_t>(i)]);
}

int32_t TParagraphsList::ParFromOffset(int32_t pos) const {
  if (pars_.empty()) return 0;
  pos = std::clamp(pos, 0, CharCount);
  auto it = std::upper_bound(pars_.begin(), pars_.end(), pos,
                             [](int32_t v, const std::unique_ptr<ParInfo>& p) { return v < p->StartOffset; });
  return std::max<int32_t>(0, static_cast<int32_t>(it - pars_.begin()) - 1);
}

void TParagraphsList::ResetBookkeeping() {
  FirstModPar = FirstModLine = 0;
  LastModPar = Count() - 1;
  ModLineDelta = 0;
  ParsedUpTo = -1;
  // Every paragraph waits for its layout: the pending range ends at the last one.
  FirstUnformatted = 0;
  LastUnformatted = Count() - 1;
  TotalLineCount = VisibleLineCount = Count();
  TextChanged = false;
  LinesShifted = false;
}

void TParagraphsList::CleanUp() {
  pars_.clear();
  pars_.shrink_to_fit();
  pars_.reserve(4);
  CharCount = TotalLineCount = VisibleLineCount = 0;
  LastUnformatted = -1;
  FirstUnformatted = 0;
  // Nothing is left to repaint or parse: no range may point at paragraphs that are gone.
  FirstModPar = FirstModLine = 0;
  LastModPar = -1;
  ModLineDelta = 0;
  ParsedUpTo = -1;
  LinesShifted = false;
}

void TParagraphsList::MarkPending(int32_t first, int32_t last) {
  first = std::max(first, 0);
  last = std::min(last, Count() - 1);
  if (last < first) return;
  if (LastUnformatted < 0) {
    FirstUnformatted = first;
    LastUnformatted = last;
    return;
  }
  FirstUnformatted = std::min(FirstUnformatted, first);
  LastUnformatted = std::max(LastUnformatted, last);
}

void TParagraphsList::MarkUnformatted() {
  for (auto& p : pars_) p->States &= static_cast<uint8_t>(~smpFormatted);
  FirstUnformatted = 0;
  LastUnformatted = Count() - 1;
}

void TParagraphsList::LoadFromStream(TStream& stream, unsigned char nullChar, bool trimTrailing,
                                     TStyledLineBreak& lineBreak, const TProgressEvent& progress,
                                     uint32_t progressInterval) {
  CleanUp();
  const int64_t streamStart = stream.Position();
  int64_t taken = 0;  // stream bytes consumed
  int64_t total = 0;  // characters so far, breaks counted 2
  TByteString cur;
  uint8_t style = 0;          // running static style
  uint8_t curStyle = 0;       // style at the start of cur
  unsigned char pending = 0;  // a CR or LF whose partner byte may follow
  auto deadline = NowMs(Clock) + progressInterval;

  auto addPar = [&](bool withBreak) {
    if (trimTrailing && withBreak) TrimBlanks(cur);
    auto p = std::make_unique<ParInfo>();
    p->Text.assign(cur);
    cur.clear();
    p->StartOffset = static_cast<int32_t>(total);
    p->FirstLine = Count();
    p->Line0 = WholeLine(p->Length(), curStyle);
    total += p->Length() + (withBreak ? 2 : 0);
    pars_.push_back(std::move(p));
    curStyle = style;
    if (progress && Count() % 16 == 0 && NowMs(Clock) >= deadline) {
      progress(*this);
      deadline = NowMs(Clock) + progressInterval;
    }
  };
  auto finish = [&] {
    addPar(false);
    ResetBookkeeping();
    CharCount = static_cast<int32_t>(total);
  };

  try {
    std::vector<unsigned char> block(kLoadBlock);
    bool ended = false;
    while (!ended) {
      const size_t got = stream.Read(block.data(), block.size());
      if (got == 0) break;
      size_t used = got;
      for (size_t i = 0; i < got; ++i) {
        unsigned char c = block[i];
        if (c == 0) {
          if (nullChar == 0) {
            used = i + 1;  // the NUL ends the text and is taken with it
            ended = true;
            break;
          }
          c = nullChar;
        }
        if (pending) {
          const bool partner = c == (pending == '\r' ? '\n' : '\r');
          lineBreak = pending == '\r' ? (partner ? psbCRLF : psbCR) : (partner ? psbLFCR : psbLF);
          pending = 0;
          if (partner) continue;
        }
        if (c == '\r' || c == '\n') {
          if (total + static_cast<int64_t>(cur.size()) + 2 > MaxTextLength)
            throw EStyledMemoError(kTextTooLong);
          addPar(true);
          pending = c;
          continue;
        }
        if (total + static_cast<int64_t>(cur.size()) >= MaxTextLength) throw EStyledMemoError(kTextTooLong);
        cur.push_back(c);
        if (StaticFormat) XORStyleCode(style, c);
      }
      taken += static_cast<int64_t>(used);
    }
    if (pending) lineBreak = pending == '\r' ? psbCR : psbLF;
    stream.SetPosition(streamStart + taken);
  } catch (...) {
    // Keep what was read as a sound store of at least one paragraph.
    try {
      finish();
    } catch (...) {
    }
    throw;
  }
  finish();
}

void TParagraphsList::CheckLoadBounds(TStream& stream, unsigned char nullChar) const {
  const int64_t start = stream.Position();
  int64_t pars = 1, bytes = 0;
  unsigned char pending = 0;  // a CR or LF whose partner byte would be swallowed
  std::vector<unsigned char> block(kLoadBlock);
  auto refuse = [&](const std::string& what) {
    stream.SetPosition(start);
    throw EStreamError("Text too large to load: more than " + what);
  };
  for (bool ended = false; !ended;) {
    size_t got = 0;
    try {
      got = stream.Read(block.data(), block.size());
    } catch (const EStreamError&) {
      break;  // the load itself meets the failure, and keeps what it read before it
    }
    if (got == 0) break;
    for (size_t i = 0; i < got; ++i) {
      unsigned char c = block[i];
      if (c == 0) {
        if (nullChar == 0) {
          ended = true;
          break;
        }
        c = nullChar;
      }
      ++bytes;
      if (pending) {
        const bool partner = c == (pending == '\r' ? '\n' : '\r');
        pending = 0;
        if (partner) continue;
      }
      if (c == '\r' || c == '\n') {
        pending = c;
        if (++pars > MaxLoadParagraphs) refuse(std::to_string(MaxLoadParagraphs) + " paragraphs");
      }
    }
    if (bytes > MaxLoadBytes) refuse(std::to_string(MaxLoadBytes) + " bytes");
  }
  stream.SetPosition(start);
}

void TParagraphsList::SaveToStream(TStream& stream, bool collapseCodes, bool trimTrailing,
                                   TStyledLineBreak lineBreak, const TProgressEvent& progress,
                                   uint32_t progressInterval) const {
  static const char* const kBreaks[] = {"\r\n", "\n\r", "\r", "\n"};
  const char* brk = kBreaks[lineBreak & 3];
  const size_t brkLen = (lineBreak & 3) < 2 ? 2 : 1;
  auto last = NowMs(Clock);
  for (size_t i = 0; i < pars_.size(); ++i) {
    const TByteString* text = &(*pars_[i]).Text;
    TByteString copy;
    if ((collapseCodes && StaticFormat) || trimTrailing) {
      copy = *text;
      if (collapseCodes && StaticFormat) CancelCodePairs(copy);
      if (trimTrailing) TrimBlanks(copy);
      text = &copy;
    }
    stream.Write(text->data(), text->size());
    if (i + 1 < pars_.size()) stream.Write(brk, brkLen);
    if (progress && NowMs(Clock) - last > progressInterval) {
      progress(const_cast<TParagraphsList&>(*this));
      last = NowMs(Clock);
    }
  }
  if (progress) progress(const_cast<TParagraphsList&>(*this));
}

void TParagraphsList::UpdateOffsets(int32_t from, int32_t delta) {
  UpdateOffsetsLines(from, delta, 0);
}

void TParagraphsList::UpdateLines(int32_t from, int32_t delta) {
  UpdateOffsetsLines(from, 0, delta);
}

void TParagraphsList::UpdateOffsetsLines(int32_t from, int32_t offsetDelta, int32_t lineDelta) {
  if (offsetDelta == 0 && lineDelta == 0) return;
  for (size_t i = static_cast<size_t>(std::max(from, 0)); i < pars_.size(); ++i) {
    (*pars_[i]).StartOffset += offsetDelta;
    (*pars_[i]).FirstLine += lineDelta;
  }
}

void TParagraphsList::ExtendMods(int32_t firstPar, int32_t lineInPar, int32_t lastPar) {
  if (pars_.empty()) return;
  firstPar = std::clamp(firstPar, 0, Count() - 1);
  if (LastModPar < FirstModPar) {
    const ParInfo& last = *pars_.back();
    FirstModPar = Count();
    FirstModLine = last.FirstLine + ((last.States & smpHidden) ? 0 : GetLineCount(last));
  }
  if (firstPar <= FirstModPar)
    FirstModLine = std::min(FirstModLine, (*pars_[firstPar]).FirstLine + lineInPar);
  FirstModPar = std::min(FirstModPar, firstPar);
  LastModPar = std::max(LastModPar, lastPar);
  ParsedUpTo = std::min(ParsedUpTo, firstPar - 1);
  LinesShifted = false;
}

// ---- the edit primitive ----

TParagraphsList::TInsertResult TParagraphsList::InsertBuf(TByteView buf, int32_t startPos, int32_t stopPos,
                                                          bool trimTrailing, bool insertCodes) {
  TInsertResult r;
  if (pars_.empty()) {  // a cleaned-up store edits as an empty one
    pars_.push_back(std::make_unique<ParInfo>());
    CharCount = 0;
    TotalLineCount = VisibleLineCount = 1;
  }
  if (const size_t nul = buf.find(static_cast<unsigned char>(0)); nul != TByteView::npos)
    buf = buf.substr(0, nul);
  startPos = std::clamp(startPos, 0, CharCount);
  stopPos = std::clamp(stopPos, 0, CharCount);
  if (stopPos < startPos) std::swap(startPos, stopPos);
  const int32_t sp = ParFromOffset(startPos);
  const int32_t ep = ParFromOffset(stopPos);
  int32_t so = std::min(startPos - (*pars_[sp]).StartOffset, (*pars_[sp]).Length());
  const int32_t eo = std::min(stopPos - (*pars_[ep]).StartOffset, (*pars_[ep]).Length());

  std::vector<TByteString> pieces(1);
  for (size_t i = 0; i < buf.size(); ++i) {
    const unsigned char c = buf[i];
    if (c == '\r' || c == '\n') {
      if (i + 1 < buf.size() && buf[i + 1] == (c == '\r' ? '\n' : '\r')) ++i;
      pieces.emplace_back();
    } else {
      pieces.back().push_back(c);
    }
  }
  const size_t n = pieces.size();
  if (trimTrailing) {
    for (size_t k = 0; k + 1 < n; ++k) TrimBlanks(pieces[k]);
    // A break typed at a paragraph end also takes the blanks before it; one typed inside the
    // text leaves the text before it as it was.
    if (n > 1 && pieces[0].empty() && eo == (*pars_[ep]).Length()) {
      const TByteString& t = (*pars_[sp]).Text;
      while (so > 0 && IsBlank(t[static_cast<size_t>(so - 1)])) --so;
    }
  }

  // Style toggles of the deleted text and of the new text.
  uint8_t tailFlip = 0;
  if (StaticFormat) {
    uint8_t deleted = 0;
    if (sp == ep) {
      deleted = StyleToggles(TByteView((*pars_[sp]).Text).substr(so, eo - so));
    } else {
      deleted = StyleToggles(TByteView((*pars_[sp]).Text).substr(so));
      for (int32_t j = sp + 1; j < ep; ++j) deleted ^= StyleToggles((*pars_[j]).Text);
      deleted ^= StyleToggles(TByteView((*pars_[ep]).Text).substr(0, eo));
    }
    uint8_t inserted = 0;
    for (const TByteString& piece : pieces) inserted ^= StyleToggles(piece);
    const uint8_t combo = deleted ^ inserted;
    if (insertCodes)
      pieces.back() += CodesForToggles(combo);
    else
      tailFlip = combo;  // the text after the edit changes style by this much
  }

  // Sizes first: a refused edit changes nothing.
  int64_t insLen = 2 * static_cast<int64_t>(n - 1);
  for (const TByteString& piece : pieces) insLen += static_cast<int64_t>(piece.size());
  const int64_t startAbs = (*pars_[sp]).StartOffset + so;
  const int64_t delLen = (*pars_[ep]).StartOffset + eo - startAbs;
  const int64_t tailLen = (*pars_[ep]).Length() - eo;
  const int64_t newCount = CharCount - delLen + insLen;
  int64_t longest = n == 1 ? so + static_cast<int64_t>(pieces[0].size()) + tailLen
                           : std::max<int64_t>(so + static_cast<int64_t>(pieces[0].size()),
                                               static_cast<int64_t>(pieces.back().size()) + tailLen);
  for (size_t k = 1; k + 1 < n; ++k)
    longest = std::max<int64_t>(longest, static_cast<int64_t>(pieces[k].size()));
  if (newCount > MaxTextLength || longest > MaxTextLength) throw EStyledMemoError(kTextTooLong);
  if (insLen == 0 && delLen == 0) {  // nothing to replace: the text is unchanged
    r.StartPos = r.StopPos = static_cast<int32_t>(startAbs);
    r.StopPar = sp;
    return r;
  }

  TextChanged = true;
  {
    int32_t lineInPar = 0;
    const ParInfo& p = (*pars_[sp]);
    while (lineInPar + 1 < GetLineCount(p) && GetLine(p, lineInPar + 1).Start <= so) ++lineInPar;
    ExtendMods(sp, lineInPar, ep);
  }
  ExpandAllLevels(sp);
  if (ep != sp) ExpandAllLevels(ep);

  const int32_t charsDelta = static_cast<int32_t>(insLen - delLen);
  r.CharsDelta = charsDelta;
  r.StartPos = static_cast<int32_t>(startAbs);
  r.StopPos = static_cast<int32_t>(startAbs + insLen);
  r.ParsDelta = static_cast<int32_t>(n) - (ep - sp + 1);
  r.StopPar = sp + static_cast<int32_t>(n) - 1;
  int32_t visDelta = 0;

  if (n == 1 && sp == ep) {
    ParInfo& p = (*pars_[sp]);
    const int32_t ins = static_cast<int32_t>(pieces[0].size());
    p.Text.replace(static_cast<size_t>(so), static_cast<size_t>(eo - so), pieces[0]);
    p.States |= smpOwnTextBuffer;
    bool dynRemoved = false;  // the attribute in effect after the edit may differ from before
    if (p.Extra) {
      std::vector<DynInfoRec>& dyns = p.Extra->Dyns;
      std::vector<DynInfoRec> kept;
      for (DynInfoRec d : dyns) {
        if (d.Start < so) {
          kept.push_back(d);
        } else if (d.Start < eo) {
          r.StylesChanged = dynRemoved = true;
        } else {
          if (d.Start == eo) r.StylesChanged = true;
          d.Start += charsDelta;
          kept.push_back(d);
        }
      }
      dyns = std::move(kept);
    }
    // Shift the old lines so the display stays usable until reformatting: a monotone map
    // keeps them inside the paragraph and in order; lines that lose all text go.
    auto map = [&](int32_t x) { return x <= so ? x : (x >= eo ? x + charsDelta : so + ins); };
    const int32_t oldLines = GetLineCount(p);
    const uint8_t parStyle = p.Line0.StartStyle;  // the style the paragraph starts in stays
    std::vector<LineInfo> lines;
    lines.reserve(static_cast<size_t>(oldLines));
    ForEachLine(p, [&](LineInfo& l) {
      LineInfo m = l;
      m.Start = map(l.Start);
      m.Stop = map(l.Stop);
      m.JustifyFrom = std::clamp(map(l.JustifyFrom), m.Start, m.Stop);
      if (m.Start < m.Stop || lines.empty()) {
        lines.push_back(m);
      } else if (lines.back().Stop == lines.back().Start) {
        lines.back() = m;  // an empty first line gives way to the next one
      }
    });
    if (lines.size() > 1 && lines.front().Start == lines.front().Stop) lines.erase(lines.begin());
    lines.front().Start = 0;
    lines.front().StartStyle = parStyle;
    lines.back().Stop = p.Length();
    lines.back().JustifyFrom = p.Length();
    // Attribute counts and styles at the line starts follow the new text.
    // Lines and attributes are both in ascending order: one merged walk, not a count per line.
    uint8_t style = lines.front().StartStyle;
    int32_t walked = 0;
    const std::vector<DynInfoRec>& dyns = GetDynArray(p);
    size_t before = 0;
    for (LineInfo& l : lines) {
      while (before < dyns.size() && dyns[before].Start < l.Start) ++before;
      l.StartDyn = static_cast<int32_t>(before);
      if (StaticFormat) {
        for (; walked < l.Start; ++walked) XORStyleCode(style, p.Text[static_cast<size_t>(walked)]);
        l.StartStyle = style;
      }
    }
    p.Line0 = lines.front();
    p.Lines.assign(lines.begin() + 1, lines.end());
    r.LinesDelta = GetLineCount(p) - oldLines;
    visDelta = (p.States & smpHidden) ? 0 : r.LinesDelta;
    UpdateOffsetsLines(sp + 1, charsDelta, visDelta);
    // The lines after the edit still describe their text only when none went and the text
    // after the edit keeps its style (no toggle left over, no attribute taken away).
    LinesShifted = r.LinesDelta == 0 && tailFlip == 0 && !dynRemoved;
  } else {
    ParInfo& P = (*pars_[sp]);
    ParInfo& Q = (*pars_[ep]);
    std::vector<DynInfoRec> firstDyns, lastDyns;
    for (const DynInfoRec& d : GetDynArray(P)) {
      if (d.Start < so)
        firstDyns.push_back(d);
      else if (sp != ep || d.Start < eo)
        r.StylesChanged = true;
    }
    for (int32_t j = sp + 1; j < ep; ++j)
      if (GetDynCount((*pars_[j]))) r.StylesChanged = true;
    const int32_t lastPrefix = static_cast<int32_t>(n == 1 ? so + pieces[0].size() : pieces.back().size());
    for (DynInfoRec d : GetDynArray(Q)) {
      if (d.Start < eo) {
        if (sp != ep) r.StylesChanged = true;
        continue;
      }
      if (d.Start == eo) r.StylesChanged = true;
      d.Start = d.Start - eo + lastPrefix;
      lastDyns.push_back(d);
    }
    // Attribute in effect for the inserted text: the last one starting before the start.
    TDynRef inserted = GetStartDynRef(P);
    if (!firstDyns.empty()) inserted = std::make_shared<const DynInfoRec>(firstDyns.back());

    const int s = smsGetParBlockStartLevel(P);
    const int e = smsGetParBlockEndLevel(Q);
    const int lp = smsGetParLevel(P);
    const int ll = std::max(lp, e);

    std::vector<ParInfo> fresh(n);
    const TByteString tail = Q.Text.substr(static_cast<size_t>(eo));
    for (size_t k = 0; k < n; ++k) {
      ParInfo& f = fresh[k];
      f.Text = std::move(pieces[k]);
      if (k == 0) f.Text.insert(0, P.Text, 0, static_cast<size_t>(so));
      if (k + 1 == n) f.Text += tail;
      f.States = smpOwnTextBuffer;
    }
    {
      ParInfo& f = fresh.front();
      f.States |= static_cast<uint8_t>(P.States & ~(smpHidden | smpHasExtra));
      smsSetParForegnd(f, smsGetParForegnd(P));
      smsSetParBackgnd(f, smsGetParBackgnd(P));
      SetStartDynAttrib(f, GetStartDynRef(P), false);
      SetParDyns(f, std::move(firstDyns));
    }
    if (n > 1) {
      ParInfo& f = fresh.back();
      f.States |= static_cast<uint8_t>(Q.States & smpNoWrap);
      smsSetParForegnd(f, smsGetParForegnd(Q));
      smsSetParBackgnd(f, smsGetParBackgnd(Q));
      for (size_t k = 1; k < n; ++k) SetStartDynAttrib(fresh[k], inserted, false);
    }
    if (!lastDyns.empty()) {
      std::vector<DynInfoRec> d = GetDynArray(fresh.back());
      d.insert(d.end(), lastDyns.begin(), lastDyns.end());
      SetParDyns(fresh.back(), std::move(d));
    }
    // Block levels: the first keeps the start's level, the others continue it, the last
    // returns to the level after the stop paragraph.
    for (size_t k = 0; k < n; ++k) {
      ParInfo& f = fresh[k];
      const bool first = k == 0, last = k + 1 == n;
      const int level = last ? ll : lp;
      f.Blocks = static_cast<uint8_t>(level);
      const int startDelta = first ? level - s : (last ? level - lp : 0);
      const int endDelta = last ? level - e : 0;
      SetBlockDeltas(f, startDelta, endDelta);
    }
    // Offsets, lines and start styles in sequence.
    int32_t oldTotal = 0, oldVisible = 0;
    for (int32_t j = sp; j <= ep; ++j) {
      oldTotal += GetLineCount((*pars_[j]));
      if (!((*pars_[j]).States & smpHidden)) oldVisible += GetLineCount((*pars_[j]));
    }
    int32_t offset = P.StartOffset, line = P.FirstLine;
    uint8_t style = P.Line0.StartStyle;
    for (ParInfo& f : fresh) {
      f.StartOffset = offset;
      f.FirstLine = line++;
      f.Line0 = WholeLine(f.Length(), StaticFormat ? style : 0);
      if (StaticFormat) style ^= StyleToggles(f.Text);
      offset += f.Length() + 2;
    }
    r.LinesDelta = static_cast<int32_t>(n) - oldTotal;
    visDelta = static_cast<int32_t>(n) - oldVisible;
    // Reuse the records of the replaced paragraphs; the tail moves only when the count changes.
    const size_t oldN = static_cast<size_t>(ep - sp + 1);
    for (size_t k = 0; k < std::min(n, oldN); ++k) *pars_[static_cast<size_t>(sp) + k] = std::move(fresh[k]);
    if (n < oldN) {
      pars_.erase(pars_.begin() + sp + static_cast<int32_t>(n), pars_.begin() + ep + 1);
    } else if (n > oldN) {
      std::vector<std::unique_ptr<ParInfo>> more;
      for (size_t k = oldN; k < n; ++k) more.push_back(std::make_unique<ParInfo>(std::move(fresh[k])));
      pars_.insert(pars_.begin() + ep + 1, std::make_move_iterator(more.begin()),
                   std::make_move_iterator(more.end()));
    }
    UpdateOffsetsLines(sp + static_cast<int32_t>(n), charsDelta, visDelta);
    if (pars_.capacity() > 2 * pars_.size() + 64) pars_.shrink_to_fit();
    LinesShifted = false;
  }

  if (tailFlip) {
    for (size_t j = static_cast<size_t>(r.StopPar) + 1; j < pars_.size(); ++j)
      ForEachLine((*pars_[j]), [&](LineInfo& l) { l.StartStyle ^= tailFlip; });
  }

  const int32_t lastNew = r.StopPar;
  if (LastUnformatted < 0) {
    FirstUnformatted = sp;
    LastUnformatted = lastNew;
  } else {
    if (LastUnformatted > ep) LastUnformatted += r.ParsDelta;
    FirstUnformatted = std::min(FirstUnformatted, sp);
    LastUnformatted = std::max(LastUnformatted, lastNew);
  }
  LastModPar += r.ParsDelta;
  if (tailFlip) {
    // Every later paragraph is drawn in another style now: its lines are to be laid out again.
    for (size_t j = static_cast<size_t>(r.StopPar) + 1; j < pars_.size(); ++j)
      (*pars_[j]).States &= static_cast<uint8_t>(~smpFormatted);
    LastModPar = LastUnformatted = Count() - 1;
  }
  CharCount = static_cast<int32_t>(newCount);
  TotalLineCount += r.LinesDelta;
  VisibleLineCount += visDelta;
  ModLineDelta += visDelta;
  return r;
}

// ---- collapsible blocks ----

void TParagraphsList::SetBlockDeltas(ParInfo& p, int startDelta, int endDelta) {
  p.Blocks = static_cast<uint8_t>((p.Blocks & ~(smbStartBlock | smbEndBlock)) |
                                  (startDelta > 0 ? smbStartBlock : 0) | (endDelta > 0 ? smbEndBlock : 0));
  if (startDelta > 1 || endDelta > 1 || p.Extra) {
    ParExtraInfo& x = SetParExtras(p);
    x.BlockStartDelta = static_cast<uint8_t>(std::max(startDelta, 0));
    x.BlockEndDelta = static_cast<uint8_t>(std::max(endDelta, 0));
  }
}

uint32_t TParagraphsList::CollapsedMask(const ParInfo& p) const {
  uint32_t m = (p.Blocks & smbCollapsed) ? 1u : 0u;
  if (p.Extra) m |= p.Extra->CollapsedLevels << 1;
  return m;
}

void TParagraphsList::SetCollapsedMask(ParInfo& p, uint32_t mask) {
  p.Blocks = static_cast<uint8_t>((p.Blocks & ~smbCollapsed) | ((mask & 1u) ? smbCollapsed : 0));
  if ((mask >> 1) || p.Extra) SetParExtras(p).CollapsedLevels = mask >> 1;
}

void TParagraphsList::SetCollapsedBit(ParInfo& p, int level, bool on) {
  const uint32_t bit = 1u << (level - 1);
  const uint32_t m = CollapsedMask(p);
  SetCollapsedMask(p, on ? (m | bit) : (m & ~bit));
}

int32_t TParagraphsList::BlockHead(int32_t par, int level) const {
  while (par > 0 && smsGetParBlockStartLevel((*pars_[par])) >= level) --par;
  return par;
}

int32_t TParagraphsList::BlockLast(int32_t par, int level) const {
  while (par + 1 < Count() && smsGetParBlockEndLevel((*pars_[par])) >= level) ++par;
  return par;
}

// Re-derives hidden flags of first..last from the collapsed levels and renumbers their lines;
// later paragraphs and the totals take the change of visible lines.
void TParagraphsList::RelayLines(int32_t first, int32_t last) {
  if (first > last) return;
  int32_t oldVisible = 0, newVisible = 0;
  int32_t line = (*pars_[first]).FirstLine;
  for (int32_t j = first; j <= last; ++j) {
    ParInfo& p = (*pars_[j]);
    if (!(p.States & smpHidden)) oldVisible += GetLineCount(p);
    const int start = smsGetParBlockStartLevel(p);
    const uint32_t inside = start >= 32 ? ~0u : ((1u << start) - 1u);  // levels 1..start contain p
    const bool hidden = (CollapsedMask(p) & inside) != 0 || p.DynHidden;
    p.States = static_cast<uint8_t>(hidden ? (p.States | smpHidden) : (p.States & ~smpHidden));
    p.FirstLine = line;
    if (!hidden) {
      line += GetLineCount(p);
      newVisible += GetLineCount(p);
    }
  }
  const int32_t delta = newVisible - oldVisible;
  UpdateLines(last + 1, delta);
  VisibleLineCount += delta;
  ModLineDelta += delta;
  ExtendMods(first, 0, last);
}

bool TParagraphsList::CollapseExpandBlock(int32_t par, int level, bool collapse) {
  if (par < 0 || par >= Count()) throw ERangeError();
  const ParInfo& head = (*pars_[par]);
  const int start = smsGetParBlockStartLevel(head);
  const int l = std::min(level, smsGetParLevel(head));
  if (start >= level || l <= start) return false;
  const int32_t last = BlockLast(par, l);
  bool changed = false;
  for (int32_t j = par; j <= last; ++j) {
    if (smsGetParCollapsed((*pars_[j]), l) != collapse) {
      SetCollapsedBit((*pars_[j]), l, collapse);
      changed = true;
    }
  }
  if (changed) RelayLines(par, last);
  return changed;
}

bool TParagraphsList::CollapseExpandPar(int32_t par, int fromLevel, int toLevel, bool collapse) {
  if (par < 0 || par >= Count()) throw ERangeError();
  const int level = smsGetParLevel((*pars_[par]));
  fromLevel = std::clamp(fromLevel, 1, std::max(level, 1));
  toLevel = std::min(toLevel, level);
  bool changed = false;
  for (int l = fromLevel; l <= toLevel; ++l) changed |= CollapseExpandBlock(BlockHead(par, l), l, collapse);
  return changed;
}

void TParagraphsList::ExpandAllLevels(int32_t par) {
  if (par < 0 || par >= Count()) return;
  for (int l = smsGetParLevel((*pars_[par])); l >= 1; --l)
    if (smsGetParCollapsed((*pars_[par]), l)) CollapseExpandPar(par, l, l, false);
}

bool TParagraphsList::MakeCollapsibleBlock(int32_t first, int32_t last) {
  if (first > last) std::swap(first, last);
  if (first < 0 || last >= Count()) throw ERangeError();
  int outer = smsGetParLevel((*pars_[first]));  // levels that hold the whole range keep their number
  for (int32_t j = first; j <= last; ++j) {
    if (smsGetParLevel((*pars_[j])) >= kMaxBlockLevel) return false;
    if (j > first) outer = std::min(outer, smsGetParBlockStartLevel((*pars_[j])));
  }
  const uint32_t keep = (1u << outer) - 1u;
  for (int32_t j = first; j <= last; ++j) {
    ParInfo& p = (*pars_[j]);
    const int sd = smsGetParLevel(p) - smsGetParBlockStartLevel(p);
    const int ed = smsGetParLevel(p) - smsGetParBlockEndLevel(p);
    const uint32_t m = CollapsedMask(p);
    p.Blocks = static_cast<uint8_t>((p.Blocks & ~smbLevelMask) | (smsGetParLevel(p) + 1));
    SetBlockDeltas(p, sd + (j == first ? 1 : 0), ed + (j == last ? 1 : 0));
    SetCollapsedMask(p, (m & keep) | ((m & ~keep) << 1));  // the new level starts expanded
  }
  RelayLines(first, last);
  return true;
}

bool TParagraphsList::RemoveCollapsibleBlock(int32_t par) {
  if (par < 0 || par >= Count()) throw ERangeError();
  const int l = smsGetParLevel((*pars_[par]));
  if (l == 0) return false;
  const int32_t head = BlockHead(par, l);
  const int32_t last = BlockLast(par, l);
  const uint32_t keep = (1u << (l - 1)) - 1u;  // outer levels keep their state; this and deeper expand
  for (int32_t j = head; j <= last; ++j) {
    ParInfo& p = (*pars_[j]);
    const int sd = smsGetParLevel(p) - smsGetParBlockStartLevel(p);
    const int ed = smsGetParLevel(p) - smsGetParBlockEndLevel(p);
    p.Blocks = static_cast<uint8_t>((p.Blocks & ~smbLevelMask) | (smsGetParLevel(p) - 1));
    SetBlockDeltas(p, sd - (j == head ? 1 : 0), ed - (j == last ? 1 : 0));
    SetCollapsedMask(p, CollapsedMask(p) & keep);
  }
  RelayLines(head, last);
  return true;
}

// ---- integrity ----

std::string TParagraphsList::IntegrityFault() const {
  int64_t offset = 0, visible = 0, total = 0;
  int prevEnd = 0;
  for (const auto& pp : pars_) {
    const ParInfo& p = *pp;
    if (p.FirstLine != visible) return "Error 1";
    if (p.StartOffset != offset) return "Error 2 in ";
    if (smsGetParBlockStartLevel(p) != prevEnd) return "Error 7 in ";
    int32_t prev = 0;
    for (int32_t i = 0; i < GetLineCount(p); ++i) {
      const LineInfo& l = GetLine(p, i);
      if (l.Start != prev || l.Stop < l.Start) return "Error 3 in ";
      prev = l.Stop;
    }
    if (prev != p.Length()) return "Error 4 in ";
    offset += p.Length() + 2;
    total += GetLineCount(p);
    if (!(p.States & smpHidden)) visible += GetLineCount(p);
    prevEnd = smsGetParBlockEndLevel(p);
  }
  if (CharCount + 2 != offset) return "Error 5 in ";
  if (VisibleLineCount != visible) return "Error 6 in ";
  if (TotalLineCount != total) return "Error 6.01 in ";
  return {};
}

}  // namespace vestrel
