#include "memo/dyn_ranges.h"

#include <algorithm>
#include <array>
#include <memory>

namespace vestrel {
namespace {

bool IsActive(const DynInfoRec& r) {
  return (r.Flags & kDynActive) != 0;
}

bool IsCollapsed(const DynInfoRec& r) {
  return IsActive(r) && (r.CollapseStates & smdCollapsed);
}

// The attribute the character before offset is in: the last one starting before it, else the
// paragraph's start attribute.
const DynInfoRec& InEffectBefore(const ParInfo& p, int32_t offset) {
  const std::vector<DynInfoRec>& d = GetDynArray(p);
  const auto it = std::lower_bound(d.begin(), d.end(), offset,
                                   [](const DynInfoRec& r, int32_t v) { return r.Start < v; });
  return it == d.begin() ? GetStartDynAttrib(p) : *(it - 1);
}

// Each line counts the attributes that start before it.
void RecountLineDyns(ParInfo& p) {
  const std::vector<DynInfoRec>& d = GetDynArray(p);
  auto count = [&](int32_t start) {
    return static_cast<int32_t>(std::lower_bound(d.begin(), d.end(), start,
                                                 [](const DynInfoRec& r, int32_t v) { return r.Start < v; }) -
                                d.begin());
  };
  p.Line0.StartDyn = count(p.Line0.Start);
  for (LineInfo& l : p.Lines) l.StartDyn = count(l.Start);
}

void InsertAt(ParInfo& p, DynInfoRec rec, int32_t offset) {
  rec.Start = offset;
  std::vector<DynInfoRec>& d = SetParExtras(p).Dyns;
  const auto it = std::lower_bound(d.begin(), d.end(), offset,
                                   [](const DynInfoRec& r, int32_t v) { return r.Start < v; });
  d.insert(it, rec);
}

// ---- records in text order ----

// A record: k 0 is paragraph par's start attribute, k >= 1 its attribute k-1.
struct TRecPos {
  int32_t par = 0;
  int32_t k = 0;
  bool operator==(const TRecPos&) const = default;
};

int Level(const DynInfoRec& r) {
  return DynToCollapseLevel(r);
}

const DynInfoRec& RecAt(const TParagraphsList& s, TRecPos p) {
  const ParInfo& q = s[p.par];
  return p.k == 0 ? GetStartDynAttrib(q) : GetDynArray(q)[static_cast<size_t>(p.k - 1)];
}

void SetCollapsedFlag(TParagraphsList& s, TRecPos p, bool on) {
  ParInfo& q = s[p.par];
  auto apply = [on](DynInfoRec& r) {
    r.CollapseStates =
        static_cast<uint8_t>(on ? (r.CollapseStates | smdCollapsed) : (r.CollapseStates & ~smdCollapsed));
  };
  if (p.k == 0) {
    const TDynRef ref = GetStartDynRef(q);
    if (!ref) return;
    DynInfoRec r = *ref;  // start attributes are shared: the paragraph gets its own
    apply(r);
    SetStartDynAttrib(q, std::make_shared<const DynInfoRec>(r), false);
  } else {
    apply(q.Extra->Dyns[static_cast<size_t>(p.k - 1)]);
  }
}

// The attribute boundary before p (start attributes are copies, not boundaries).
bool PrevRec(const TParagraphsList& s, TRecPos& p) {
  if (p.k > 1) {
    --p.k;
    return true;
  }
  for (int32_t q = p.par - 1; q >= 0; --q) {
    if (const int32_t n = GetDynCount(s[q]); n > 0) {
      p = {q, n};
      return true;
    }
  }
  return false;
}

bool NextRec(const TParagraphsList& s, TRecPos& p, const std::function<void(int32_t)>& parse) {
  if (p.k < GetDynCount(s[p.par])) {
    ++p.k;
    return true;
  }
  for (int32_t q = p.par + 1; q < s.Count(); ++q) {
    if (parse && q > s.ParsedUpTo) parse(q);
    if (GetDynCount(s[q]) > 0) {
      p = {q, 1};
      return true;
    }
  }
  return false;
}

struct TRun {
  TRecPos start;
  TRecPos end;  // the first record of a lower level, when hasEnd
  bool hasEnd = false;
  int32_t lastPar = 0;  // the paragraph the run ends in
};

TRun RunOf(const TParagraphsList& s, TRecPos at, int level, const std::function<void(int32_t)>& parse) {
  TRun run;
  run.start = at;
  TRecPos p = at;
  while (PrevRec(s, p) && Level(RecAt(s, p)) >= level) run.start = p;
  p = at;
  while (NextRec(s, p, parse))
    if (Level(RecAt(s, p)) < level) {
      run.end = p;
      run.hasEnd = true;
      break;
    }
  run.lastPar = run.hasEnd ? run.end.par : s.Count() - 1;
  return run;
}

// The records of the run's own level, and the start attributes of the paragraphs it reaches.
void MarkRun(TParagraphsList& s, const TRun& run, int level, bool collapsed) {
  auto mark = [&](TRecPos q) {
    if (Level(RecAt(s, q)) == level) SetCollapsedFlag(s, q, collapsed);
  };
  TRecPos p = run.start;
  do {
    if (run.hasEnd && p == run.end) break;
    mark(p);
  } while (NextRec(s, p, {}));
  for (int32_t i = run.start.par + 1; i <= run.lastPar; ++i) mark({i, 0});
}

// The state of the collapse levels while the records are read in text order: for each level
// whether its run is collapsed, where that run began.
struct TLevels {
  std::array<bool, 256> collapsed{};
  std::array<TRecPos, 256> start{};
  int cur = 0;
  void Take(const DynInfoRec& r, TRecPos at) {
    const int c = Level(r);
    for (int l = cur + 1; l <= c; ++l) {
      start[static_cast<size_t>(l)] = at;
      collapsed[static_cast<size_t>(l)] = false;
    }
    if (c > 0) collapsed[static_cast<size_t>(c)] = IsCollapsed(r);
    cur = c;
  }
  // A paragraph is hidden by a collapsed run that began in an earlier paragraph.
  bool Hides(int32_t par) const {
    for (int l = 1; l <= cur; ++l)
      if (collapsed[static_cast<size_t>(l)] && start[static_cast<size_t>(l)].par < par) return true;
    return false;
  }
};

// A paragraph from which the levels can be read afresh: its start attribute is in no run.
int32_t CleanStart(const TParagraphsList& s, int32_t par) {
  while (par > 0 && Level(GetStartDynAttrib(s[par])) > 0) --par;
  return par;
}

}  // namespace

void SetDynStyleP(TParagraphsList& s, TStyledNavigator& startNav, TStyledNavigator& stopNav,
                  bool markModified, bool active, const DynInfoRec& attr) {
  int32_t a = std::clamp(startNav.GetPos(), 0, s.CharCount);
  int32_t b = std::clamp(stopNav.GetPos(), 0, s.CharCount);
  if (b < a) std::swap(a, b);
  const int32_t sp = s.ParFromOffset(a), ep = s.ParFromOffset(b);
  // An offset between CR and LF counts as the paragraph's end.
  const int32_t so = std::min(a - s[sp].StartOffset, s[sp].Length());
  const int32_t eo = std::min(b - s[ep].StartOffset, s[ep].Length());
  if (sp == ep && so >= eo) return;
  if (markModified) {
    const ParInfo& p = s[sp];
    int32_t line = 0;
    while (line + 1 < GetLineCount(p) && GetLine(p, line + 1).Start <= so) ++line;
    s.ExtendMods(sp, line, ep);
  }
  // What surrounds the range, taken before anything changes: the attribute left of the start,
  // and the one the stop is in, which the text after the range keeps.
  const DynInfoRec left = InEffectBefore(s[sp], so);
  const DynInfoRec atStop = InEffectBefore(s[ep], eo);
  const std::vector<DynInfoRec>& stopDyns = GetDynArray(s[ep]);
  const bool boundaryAtStop =
      std::any_of(stopDyns.begin(), stopDyns.end(), [&](const DynInfoRec& r) { return r.Start == eo; });

  DynInfoRec rec;
  rec.Flags = 0;
  if (active) {
    rec = attr;
    rec.Flags |= kDynActive;
    // A collapsible attribute opens a level inside the one around it; any other stays in it.
    const int around = DynToCollapseLevel(left);
    rec.CollapseLevel =
        static_cast<uint8_t>(std::min((rec.CollapseStates & smdCollapsible) ? around + 1 : around, 255));
    rec.CollapseStates &= static_cast<uint8_t>(~smdCollapsed);
  }

  const TDynRef shared = active ? std::make_shared<const DynInfoRec>(rec) : TDynRef();
  for (int32_t i = sp; i <= ep; ++i) {
    ParInfo& p = s[i];
    p.States &= static_cast<uint8_t>(~smpFormatted);
    if (p.Extra) {
      const int32_t from = i == sp ? so : 0;
      const int32_t to = i == ep ? eo : INT32_MAX;
      std::erase_if(p.Extra->Dyns, [&](const DynInfoRec& r) { return r.Start >= from && r.Start < to; });
    }
    if (i > sp) SetStartDynAttrib(p, shared, false);
  }
  if (active || IsActive(left)) InsertAt(s[sp], rec, so);
  // The text after the range goes on in the attribute it was in.
  if (b < s.CharCount && !boundaryAtStop && (active || IsActive(atStop)))
    InsertAt(s[ep], IsActive(atStop) ? atStop : EmptyDynInfo(), eo);
  for (int32_t i = sp; i <= ep; ++i) RecountLineDyns(s[i]);
  s.MarkPending(sp, ep);
  startNav.ForgetDynAndLine();
  stopNav.ForgetDynAndLine();
}

bool CollapseExpandDynRun(TParagraphsList& s, int32_t par, int32_t dynNb, bool collapse,
                          const std::function<void(int32_t)>& parse) {
  if (par < 0 || par >= s.Count() || dynNb < 0 || dynNb > GetDynCount(s[par])) return false;
  const DynInfoRec& r = RecAt(s, {par, dynNb});
  const int level = Level(r);
  if (level <= 0 || !(r.CollapseStates & smdCollapsible) || IsCollapsed(r) == collapse) return false;
  const TRun run = RunOf(s, {par, dynNb}, level, parse);
  MarkRun(s, run, level, collapse);
  RelayDynHidden(s, run.start.par, run.lastPar);
  return true;
}

bool ExpandDynRunsAround(TParagraphsList& s, int32_t par, int32_t offset) {
  if (par < 0 || par >= s.Count()) return false;
  TLevels levels;
  const int32_t from = CleanStart(s, par);
  levels.Take(GetStartDynAttrib(s[from]), {from, 0});
  for (int32_t j = from; j <= par; ++j) {
    const std::vector<DynInfoRec>& d = GetDynArray(s[j]);
    for (size_t k = 0; k < d.size() && (j < par || d[k].Start <= offset); ++k)
      levels.Take(d[k], {j, static_cast<int32_t>(k) + 1});
  }
  int32_t first = INT32_MAX, last = -1;
  for (int l = levels.cur; l >= 1; --l) {
    if (!levels.collapsed[static_cast<size_t>(l)]) continue;
    const TRun run = RunOf(s, levels.start[static_cast<size_t>(l)], l, {});
    MarkRun(s, run, l, false);
    first = std::min(first, run.start.par);
    last = std::max(last, run.lastPar);
  }
  if (last < 0) return false;
  RelayDynHidden(s, first, last);
  return true;
}

void RelayDynHidden(TParagraphsList& s, int32_t first, int32_t last) {
  first = std::max(first, 0);
  last = std::min(last, s.Count() - 1);
  if (last < first) return;
  TLevels levels;
  const int32_t from = CleanStart(s, first);
  levels.Take(GetStartDynAttrib(s[from]), {from, 0});
  for (int32_t j = from; j <= last; ++j) {
    const std::vector<DynInfoRec>& d = GetDynArray(s[j]);
    size_t k = 0;
    // The paragraph's first character decides: records at its very start count first.
    for (; k < d.size() && d[k].Start == 0; ++k) levels.Take(d[k], {j, static_cast<int32_t>(k) + 1});
    if (j >= first) s[j].DynHidden = levels.Hides(j);
    for (; k < d.size(); ++k) levels.Take(d[k], {j, static_cast<int32_t>(k) + 1});
  }
  s.RelayLines(first, last);
}

}  // namespace vestrel
