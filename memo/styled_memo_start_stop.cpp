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

// The attribute that was in force outside a range of the given level: the nearest earlier
// attribute of a lower level, looking back from offset o of paragraph pi.
DynInfoRec TStyledMemo::OuterAttribute(int32_t pi, int32_t o, int level) {
  for (int32_t i = pi; i >= 0; --i) {
    const ParInfo& p = store_[i];
    const std::vector<DynInfoRec>& d = GetDynArray(p);
    for (size_t k = d.size(); k-- > 0;) {
      if (i == pi && d[k].Start > o) continue;
      if (DynToLevel(d[k]) < level) return d[k];
    }
    const DynInfoRec& s = GetStartDynAttrib(p);
    if (DynToLevel(s) < level) return s;
  }
  return EmptyDynInfo();
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

  // Parse-level attributes from so on go, and the empty records that closed them; those of
  // the application stay.
  if (p.Extra && !p.Extra->Dyns.empty()) {
    std::vector<DynInfoRec>& d = p.Extra->Dyns;
    std::vector<DynInfoRec> kept;
    kept.reserve(d.size());
    const DynInfoRec* last = &GetStartDynAttrib(p);
    for (const DynInfoRec& r : d) {
      const bool parse = DynToLevel(r) >= 0;
      const bool closer = !Active(r) && !ApplicationLaid(*last);
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
    const DynInfoRec cur = InForce(p, pos);
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

    // The stop of the open range: from the stop's length before the position when the parse
    // starts there (an edit may have completed it), never inside the range's own start text.
    int32_t stopAt = -1;
    if (key && !key->StopCompare.empty()) {
      int32_t from = pos;
      if (firstStep) {
        int32_t openerEnd = 0;
        const std::vector<DynInfoRec>& d = GetDynArray(p);
        for (const DynInfoRec& r : d) {
          if (r.Start > pos) break;
          if (DynToLevel(r) == lvl && r.Keys[static_cast<size_t>(lvl)] == cur.Keys[static_cast<size_t>(lvl)])
            openerEnd = r.Start + std::max<int32_t>(r.Keys[16], 0);
        }
        from = std::max(openerEnd, pos - static_cast<int32_t>(key->StopCompare.size()) - 1);
        from = std::min(from, pos);
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
      for (int32_t q = pos; q < searchEnd && startAt < 0; ++q) {
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
        rec = OuterAttribute(pi, stopAt, lvl);
      }
      insertAt(after, rec);
      pos = after;
      if (pos >= len) break;
      continue;
    }
    if (limit >= len) {
      // A range that stops at the paragraph's end closes there.
      if (key && (key->SsOptions & ssoParStop)) insertAt(len, OuterAttribute(pi, len, lvl));
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

void TStyledMemo::ApplyStartStopKeyListP(TStyledNavigator& startNav, TStyledNavigator& stopNav) {
  if (!applyStartStopKeys_ || startStopKeys_.Count() == 0) return;
  startStopKeys_.setCodePage(CodePage());
  startStopKeys_.Prepare(ctx_.Delimiters);
  const int32_t a = std::min(startNav.GetPos(), stopNav.GetPos()),
                b = std::max(startNav.GetPos(), stopNav.GetPos());
  const int32_t sp = store_.ParFromOffset(a), ep = store_.ParFromOffset(b);
  int32_t first = -1, last = -1;
  int32_t pi = sp;
  for (; pi < store_.Count(); ++pi) {
    const int32_t so = pi == sp ? std::min(a - store_[pi].StartOffset, store_[pi].Length()) : 0;
    if (ParseStartStopParagraph(pi, so)) {
      if (first < 0) first = pi;
      last = pi;
    }
    if (pi + 1 >= store_.Count()) break;  // the last paragraph has no next one to hand on to
    // The next paragraph starts in what this one ends in; once that is what it had, and the
    // range is done, the work stops.
    ParInfo& next = store_[pi + 1];
    const DynInfoRec end = InForce(store_[pi], store_[pi].Length());
    const DynInfoRec& had = GetStartDynAttrib(next);
    const bool same = SameDynAttrib(end, had) && (end.Flags & kDynActive) == (had.Flags & kDynActive);
    if (!same) {
      SetStartDynAttrib(next, Active(end) ? std::make_shared<const DynInfoRec>(end) : nullptr, false);
      next.States &= static_cast<uint8_t>(~(smpFormatted | smpSSDone | smpKeywDone));
      if (first < 0) first = pi + 1;
      last = pi + 1;
    }
    if (pi >= ep && same) break;
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
