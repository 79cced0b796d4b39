// TStyledMemo: ranges between start and stop texts, nested up to 15 levels, parsed paragraph
// by paragraph.
#include <algorithm>
#include <memory>
#include <vector>

#include "memo/styled_memo.h"

namespace vestrel {
namespace {

constexpr int kMaxParseLevel = 15;
constexpr int32_t kStartStopMark = 32768;  // a range of key k stores k - 32768 at its level

bool Active(const DynInfoRec& r) {
  return r.Flags & kDynActive;
}

// An attribute the application laid: active, without a parse level.
bool ApplicationLaid(const DynInfoRec& r) {
  return Active(r) && DynToLevel(r) < 0;
}

// The attribute in force at offset o of a paragraph (one that starts there included).
const DynInfoRec& InForce(const ParInfo& p, int32_t o) {
  const std::vector<DynInfoRec>& d = GetDynArray(p);
  const auto it =
      std::upper_bound(d.begin(), d.end(), o, [](int32_t v, const DynInfoRec& r) { return v < r.Start; });
  return it == d.begin() ? GetStartDynAttrib(p) : *(it - 1);
}

// The first attribute boundary after o, or the paragraph's length.
int32_t NextBoundary(const ParInfo& p, int32_t o) {
  for (const DynInfoRec& r : GetDynArray(p))
    if (r.Start > o) return r.Start;
  return p.Length();
}

void RecountLines(ParInfo& p) {
  const std::vector<DynInfoRec>& d = GetDynArray(p);
  for (int32_t i = 0; i < GetLineCount(p); ++i) {
    LineInfo& l = GetLine(p, i);
    l.StartDyn =
        static_cast<int32_t>(std::lower_bound(d.begin(), d.end(), l.Start,
                                              [](const DynInfoRec& r, int32_t v) { return r.Start < v; }) -
                             d.begin());
  }
}

bool SameRecords(const std::vector<DynInfoRec>& a, const std::vector<DynInfoRec>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].Start != b[i].Start || !SameDynAttrib(a[i], b[i]) || a[i].Flags != b[i].Flags) return false;
  return true;
}

// Whether s (compare text) stands at offset at of the paragraph's text, raw or upper-cased.
bool MatchAt(TByteView text, int32_t at, const TByteString& s, bool exact, TpmUpperCase type, int cp) {
  if (s.empty() || at < 0 || static_cast<size_t>(at) + s.size() > text.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = text[static_cast<size_t>(at) + i];
    if (!exact) c = smUpperCase(type, c, cp);
    if (c != s[i]) return false;
  }
  return true;
}

// Word edges are judged on the paragraph: only its ends are edges.
bool EdgeBefore(TByteView text, int32_t at, const TDelimiters& d) {
  return at == 0 || d.test(text[static_cast<size_t>(at - 1)]);
}
bool EdgeAfter(TByteView text, int32_t end, const TDelimiters& d) {
  return end >= static_cast<int32_t>(text.size()) || d.test(text[static_cast<size_t>(end)]);
}

}  // namespace

// The attribute outside a range of the given level, rebuilt from the keys the range's record
// carries (what opened each level below it): no attribute outside level 0, else the range of
// the key one level down. It depends on the record alone, so a paragraph parses the same
// whatever lies before it, once its start attribute is the same.
DynInfoRec TStyledMemo::OuterAttribute(const DynInfoRec& rec, int level) {
  if (level <= 0) return EmptyDynInfo();
  const int outer = level - 1;
  const int32_t k = rec.Keys[static_cast<size_t>(outer)] + kStartStopMark;
  if (rec.Keys[static_cast<size_t>(outer)] >= 0 || k >= startStopKeys_.Count()) return EmptyDynInfo();
  const TStartStopKey& key = startStopKeys_.Key(k);
  DynInfoRec r;
  r.Flags = static_cast<uint8_t>(key.Style | kDynFlag1 | kDynActive);
  r.Level = static_cast<uint8_t>(outer);
  for (int i = 0; i <= outer; ++i) r.Keys[static_cast<size_t>(i)] = rec.Keys[static_cast<size_t>(i)];
  r.Keys[17] = static_cast<int16_t>(key.StopCompare.size());
  r.Backgnd = key.Backgnd;
  r.Foregnd = key.Foregnd;
  r.Context = key.Context;
  r.Cursor = key.Cursor;
  return r;
}

// The attribute a parse goes on in at offset o of paragraph pi: the one in force, or what
// lies beneath a keyword's colour there.
DynInfoRec TStyledMemo::ParseAttribute(int32_t pi, int32_t o) {
  const DynInfoRec& in = InForce(store_[pi], o);
  const int lvl = DynToLevel(in);
  if (lvl >= 0 && in.Keys[static_cast<size_t>(lvl)] >= 0) return OuterAttribute(in, lvl);
  return in;
}

// Parses paragraph pi from offset so on: what an earlier parse laid there goes, then start and
// stop texts are looked for in turn. True when the paragraph's attributes changed.
bool TStyledMemo::ParseStartStopParagraph(int32_t pi, int32_t so) {
  TStartStopKeyList& keys = startStopKeys_;
  ParInfo& p = store_[pi];
  const TByteView text = p.Text;
  const int32_t len = p.Length();
  const TDelimiters& delims = ctx_.Delimiters;
  const TpmUpperCase type = keys.UpperCaseType();
  const int cp = CodePage();
  const std::vector<DynInfoRec> before = GetDynArray(p);
  // A keyword's colour in force where the parse starts goes with the rest: the parse then
  // starts in what lies beneath it (keywords are laid again afterwards).
  // (Whatever closes it at or after so goes, and it would run on.)
  for (bool moved = true; moved;) {
    moved = false;
    const DynInfoRec* in = nullptr;
    for (const DynInfoRec& r : before)
      if (r.Start < so) in = &r;
    const int lvl = in ? DynToLevel(*in) : -1;
    if (lvl >= 0 && in->Keys[static_cast<size_t>(lvl)] >= 0) {
      so = in->Start;
      moved = true;
    }
  }

  // Parse-level attributes from so on go, and the empty records that closed them; those of
  // the application stay.
  if (p.Extra && !p.Extra->Dyns.empty()) {
    std::vector<DynInfoRec>& d = p.Extra->Dyns;
    std::vector<DynInfoRec> kept;
    kept.reserve(d.size());
    const DynInfoRec* last = &GetStartDynAttrib(p);
    for (const DynInfoRec& r : d) {
      const bool parse = DynToLevel(r) >= 0;
      // An empty record closes what stands before it: a range, which the parse closes again,
      // or the application's attribute or a keyword's colour before the parse start, which stay
      // closed.
      const int lastLevel = DynToLevel(*last);
      const bool keywordBefore = lastLevel >= 0 && last->Keys[static_cast<size_t>(lastLevel)] >= 0;
      const bool closer = !Active(r) && !ApplicationLaid(*last) && !keywordBefore;
      if (r.Start >= so && (parse || closer)) continue;
      kept.push_back(r);
      last = &kept.back();
    }
    d = std::move(kept);
  }

  auto insertAt = [&](int32_t at, const DynInfoRec& rec) {
    std::vector<DynInfoRec>& d = SetParExtras(p).Dyns;
    // One that starts exactly there gives way.
    d.erase(std::remove_if(d.begin(), d.end(),
                           [&](const DynInfoRec& r) { return r.Start == at && !ApplicationLaid(r); }),
            d.end());
    const auto it =
        std::upper_bound(d.begin(), d.end(), at, [](int32_t v, const DynInfoRec& r) { return v < r.Start; });
    DynInfoRec r = rec;
    r.Start = at;
    d.insert(it, r);
  };

  TStyledNavigator hookFrom(&ctx_), hookTo(&ctx_);
  int32_t pos = so;
  bool firstStep = true;
  while (pos <= len) {
    const DynInfoRec cur = ParseAttribute(pi, pos);
    const int32_t limit = NextBoundary(p, pos);
    if (ApplicationLaid(cur)) {  // text under the application's attributes is not parsed
      if (limit >= len) break;
      pos = limit;
      firstStep = false;
      continue;
    }
    const int lvl = DynToLevel(cur);
    const bool inRange = lvl >= 0 && cur.Keys[static_cast<size_t>(lvl)] < 0;
    const int32_t k = inRange ? cur.Keys[static_cast<size_t>(lvl)] + kStartStopMark : -1;
    const TStartStopKey* key = k >= 0 && k < keys.Count() ? &keys.Key(k) : nullptr;

    // The stop of the open range: where the parse starts, also one that ends there or runs
    // over it (what it laid there went with the clearing), never inside the range's own start
    // text.
    // Where the parse starts inside a range, the range's own start text may run on past it:
    // neither a stop nor another start is looked for inside it. The opener holds its start
    // text; copies of it that keywords left behind their colours do not.
    int32_t openerEnd = 0, openerTextEnd = 0;
    if (key && firstStep) {
      for (const DynInfoRec& r : GetDynArray(p)) {
        if (r.Start > pos) break;
        if (DynToLevel(r) == lvl && r.Keys[static_cast<size_t>(lvl)] == cur.Keys[static_cast<size_t>(lvl)] &&
            r.Keys[16] > 0 &&
            MatchAt(text, r.Start, key->StartCompare, key->Options & woMatchCase, type, cp)) {
          openerEnd = r.Start + r.Keys[16];
          openerTextEnd = r.Start + static_cast<int32_t>(key->StartCompare.size());
        }
      }
    }
    int32_t stopAt = -1;
    if (key && !key->StopCompare.empty()) {
      int32_t from = pos;
      if (firstStep) {
        from = std::max(openerEnd, pos - static_cast<int32_t>(key->StopCompare.size()));
        from = std::min(from, std::max(pos, openerTextEnd));
      }
      const bool exact = key->Options & woMatchCase;
      for (int32_t q = from; q + static_cast<int32_t>(key->StopCompare.size()) <= limit; ++q) {
        if (!MatchAt(text, q, key->StopCompare, exact, type, cp)) continue;
        const int32_t end = q + static_cast<int32_t>(key->StopCompare.size());
        if (key->TestStopBefore && !EdgeBefore(text, q, delims)) continue;
        if (key->TestStopAfter && !EdgeAfter(text, end, delims)) continue;
        stopAt = q;
        break;
      }
    }

    // The first start text from the position on, keys in list order at each place.
    int32_t startAt = -1, startKey = -1;
    if (lvl < kMaxParseLevel) {
      const int32_t searchEnd = stopAt >= 0 ? stopAt : limit;
      for (int32_t q = std::max(pos, openerTextEnd); q < searchEnd && startAt < 0; ++q) {
        for (int32_t j = 0; j < keys.Count(); ++j) {
          const TStartStopKey& s = keys.Key(j);
          const int32_t end = q + static_cast<int32_t>(s.StartCompare.size());
          if (s.StartCompare.empty() || end > limit) continue;
          if (!MatchAt(text, q, s.StartCompare, s.Options & woMatchCase, type, cp)) continue;
          if (s.TestStartBefore && !EdgeBefore(text, q, delims)) continue;
          if (s.TestStartAfter && !EdgeAfter(text, end, delims)) continue;
          startAt = q;
          startKey = j;
          break;
        }
      }
      if (startAt < 0 && stopAt < 0 && highlighter_) {
        hookFrom.SetPos(p.StartOffset + pos);
        hookTo.SetPos(p.StartOffset + limit);
        highlighter_->FindStart(*this, hookFrom, hookTo, keys.Count());
      }
    }
    firstStep = false;

    // A start found lies before the stop: it opens a range nested in this one.
    if (startAt >= 0) {
      const TStartStopKey& s = keys.Key(startKey);
      DynInfoRec rec;
      if (lvl >= 0) rec.Keys = cur.Keys;
      rec.Flags = static_cast<uint8_t>(s.Style | kDynFlag1 | kDynActive);
      rec.Level = static_cast<uint8_t>(lvl + 1);
      rec.Keys[rec.Level] = static_cast<int16_t>(startKey - kStartStopMark);
      rec.Keys[16] = static_cast<int16_t>(s.StartCompare.size() + (s.TestStartAfter ? 1 : 0));
      rec.Keys[17] = static_cast<int16_t>(s.StopCompare.size());
      rec.CollapseLevel = rec.CollapseStates = 0;
      rec.Backgnd = s.Backgnd;
      rec.Foregnd = s.Foregnd;
      rec.Context = s.Context;
      rec.Cursor = s.Cursor;
      insertAt(startAt, rec);
      pos = startAt + static_cast<int32_t>(s.StartCompare.size());
      continue;
    }
    if (stopAt >= 0) {
      const int32_t after = stopAt + static_cast<int32_t>(key->StopCompare.size());
      // The first key of a group hands its range on to the next key of the group.
      int32_t next = -1;
      if (key->FirstSame < 0)
        for (int32_t j = k + 1; j < keys.Count() && next < 0; ++j)
          if (keys.Key(j).FirstSame == k) next = j;
      DynInfoRec rec;
      if (next >= 0) {
        const TStartStopKey& n = keys.Key(next);
        rec = cur;
        rec.Flags = static_cast<uint8_t>(n.Style | kDynFlag1 | kDynActive);
        rec.Keys[static_cast<size_t>(lvl)] = static_cast<int16_t>(next - kStartStopMark);
        rec.Keys[16] = 0;
        rec.Keys[17] = static_cast<int16_t>(n.StopCompare.size());
        rec.Backgnd = n.Backgnd;
        rec.Foregnd = n.Foregnd;
        rec.Context = n.Context;
        rec.Cursor = n.Cursor;
      } else {
        rec = OuterAttribute(cur, lvl);
      }
      insertAt(after, rec);
      pos = after;
      if (pos >= len) break;
      continue;
    }
    if (limit >= len) {
      // A range that stops at the paragraph's end closes there.
      if (key && (key->SsOptions & ssoParStop)) insertAt(len, OuterAttribute(cur, lvl));
      break;
    }
    pos = limit;
  }
  const bool changed = !SameRecords(before, GetDynArray(p));
  if (changed) {
    p.States &= static_cast<uint8_t>(~(smpFormatted | smpKeywDone));
    RecountLines(p);
  }
  p.States |= smpSSDone;
  return changed;
}

// What paragraph pi ends in is what the next one starts in; true when that changed (the next
// one is then to be parsed and laid out again).
bool TStyledMemo::HandOnStartStop(int32_t pi) {
  if (pi + 1 >= store_.Count()) return false;  // the last paragraph has no next one
  ParInfo& next = store_[pi + 1];
  const DynInfoRec end = ParseAttribute(pi, store_[pi].Length());
  const DynInfoRec& had = GetStartDynAttrib(next);
  if (SameDynAttrib(end, had) && (end.Flags & kDynActive) == (had.Flags & kDynActive)) return false;
  SetStartDynAttrib(next, Active(end) ? std::make_shared<const DynInfoRec>(end) : nullptr, false);
  next.States &= static_cast<uint8_t>(~(smpFormatted | smpSSDone | smpKeywDone));
  return true;
}

bool TStyledMemo::StartStopKeysReady() {
  if (!applyStartStopKeys_ || startStopKeys_.Count() == 0) return false;
  startStopKeys_.setCodePage(CodePage());
  startStopKeys_.Prepare(ctx_.Delimiters);
  return true;
}

// Parsing as the text is laid out, in text order: each paragraph once, handing on to the next.
void TStyledMemo::ParseStartStopRange(int32_t first, int32_t last) {
  if (!StartStopKeysReady()) return;
  first = std::max(first, 0);
  last = std::min(last, store_.Count() - 1);
  for (int32_t pi = first; pi <= last; ++pi) {
    const bool changed = ParseStartStopParagraph(pi, 0);
    HandOnStartStop(pi);
    if (changed) InvalidateNavs(ctx_.Navigators, store_[pi].StartOffset, pi);
  }
}

void TStyledMemo::ApplyStartStopKeyListP(TStyledNavigator& startNav, TStyledNavigator& stopNav) {
  if (!StartStopKeysReady()) return;
  const int32_t a = std::min(startNav.GetPos(), stopNav.GetPos()),
                b = std::max(startNav.GetPos(), stopNav.GetPos());
  const int32_t sp = store_.ParFromOffset(a), ep = store_.ParFromOffset(b);
  // The first paragraph starts in what the ones before it end in: they are parsed first.
  ParseStartStopNow(sp - 1);
  int32_t first = -1, last = -1;
  int32_t pi = sp;
  for (; pi < store_.Count(); ++pi) {
    // A start text the edit completed, or whose word edge it changed, may begin before the
    // range.
    const int32_t reach = startStopKeys_.MaxStartLength() + 1;
    const int32_t so =
        pi == sp ? std::max(0, std::min(a - store_[pi].StartOffset, store_[pi].Length()) - reach) : 0;
    if (ParseStartStopParagraph(pi, so)) {
      if (first < 0) first = pi;
      last = pi;
    }
    // Once what this one ends in is what the next had, and the range is done, the work stops.
    const bool handed = HandOnStartStop(pi);
    if (handed) {
      if (first < 0) first = pi + 1;
      last = pi + 1;
    }
    if (pi + 1 >= store_.Count() || (pi >= ep && !handed)) break;
  }
  store_.ParsedUpTo = std::max(store_.ParsedUpTo, std::min(pi, store_.Count() - 1));
  if (first < 0) return;
  store_.ExtendMods(first, 0, last);
  InvalidateNavs(ctx_.Navigators, store_[first].StartOffset, last);
  // What keywords laid in the parsed paragraphs went with the parse: they are laid again.
  if (ctx_.KeywordsInUse) {
    TStyledNavigator x(&ctx_), y(&ctx_);
    x.SetPos(store_[first].StartOffset);
    y.SetPos(store_[last].StartOffset + store_[last].Length());
    ApplyKeywordsListP(x, y);
  }
}

}  // namespace vestrel
