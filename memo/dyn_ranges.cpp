#include "memo/dyn_ranges.h"

#include <algorithm>

namespace vestrel {
namespace {

bool Active(const DynInfoRec& d) {
  return d.Flags & kDynActive;
}

std::vector<DynInfoRec>::const_iterator FirstAtOrAfter(const std::vector<DynInfoRec>& d, int32_t offset) {
  return std::lower_bound(d.begin(), d.end(), offset, [](const DynInfoRec& r, int32_t v) { return r.Start < v; });
}

// Counts again, for each display line of a paragraph, the attributes that start before it.
void RecountLineDyns(ParInfo& p) {
  const std::vector<DynInfoRec>& d = GetDynArray(p);
  for (int32_t i = 0; i < GetLineCount(p); ++i) {
    LineInfo& l = GetLine(p, i);
    l.StartDyn = static_cast<int32_t>(FirstAtOrAfter(d, l.Start) - d.begin());
  }
}

}  // namespace

void SetDynStyleP(TParagraphsList& list, TStyledNavigator& startNav, TStyledNavigator& stopNav,
                  bool markModified, bool active, const DynInfoRec& attr) {
  TStyledNavigator& s = startNav.GetPos() <= stopNav.GetPos() ? startNav : stopNav;
  TStyledNavigator& e = &s == &startNav ? stopNav : startNav;
  const int32_t a = s.GetPos(), b = e.GetPos();
  if (a >= b) return;
  const int32_t sp = s.GetParNb(), ep = e.GetParNb();
  // An offset between CR and LF is the paragraph's end.
  const int32_t so = std::min(s.GetOffset(), list[sp].Length());
  const int32_t eo = std::min(e.GetOffset(), list[ep].Length());
  if (markModified) list.ExtendMods(sp, s.GetParLine(), ep);

  // The attribute in effect just before the stop, which the text after the range keeps, and
  // the one in effect at the start, which a collapsible attribute nests in.
  DynInfoRec atStop;
  {
    const ParInfo& p = list[ep];
    const std::vector<DynInfoRec>& d = GetDynArray(p);
    const auto at = FirstAtOrAfter(d, eo);
    atStop = at == d.begin() ? GetStartDynAttrib(p) : *(at - 1);
  }
  DynInfoRec rec = EmptyDynInfo();
  if (active) {
    rec = attr;
    rec.Flags |= kDynActive;
    if (rec.CollapseStates & smdCollapsible) {
      TStyledNavigator at(s.Memo());
      at.SetPos(a);
      at.RightOfDyn();
      rec.CollapseLevel = static_cast<uint8_t>(DynToCollapseLevel(at.GetpDynInfo()) + 1);
    }
    rec.CollapseStates &= static_cast<uint8_t>(~smdCollapsed);
  }

  const TDynRef shared = std::make_shared<const DynInfoRec>(rec);
  for (int32_t i = sp; i <= ep; ++i) {
    ParInfo& p = list[i];
    p.States &= static_cast<uint8_t>(~smpFormatted);
    if (i > sp) SetStartDynAttrib(p, shared, false);
    if (!p.Extra || p.Extra->Dyns.empty()) continue;
    std::vector<DynInfoRec>& d = p.Extra->Dyns;
    const int32_t from = i == sp ? so : 0;
    const int64_t to = i == ep ? eo : int64_t{p.Length()} + 1;  // a middle paragraph's end is inside
    d.erase(std::remove_if(d.begin(), d.end(), [&](const DynInfoRec& r) { return r.Start >= from && r.Start < to; }),
            d.end());
  }

  // At the start: the new record, unless no attribute is laid over no attribute.
  {
    ParInfo& p = list[sp];
    const std::vector<DynInfoRec>& d = GetDynArray(p);
    const auto at = FirstAtOrAfter(d, so);
    const DynInfoRec& before = at == d.begin() ? GetStartDynAttrib(p) : *(at - 1);
    if (active || Active(before)) {
      std::vector<DynInfoRec>& dd = SetParExtras(p).Dyns;
      DynInfoRec r = rec;
      r.Start = so;
      dd.insert(dd.begin() + (at - d.begin()), r);
    }
  }
  // At the stop: the attribute the text after the range had, unless the text ends there, or
  // another attribute starts there anyway.
  if (b < list.CharCount && (active || Active(atStop))) {
    ParInfo& p = list[ep];
    const std::vector<DynInfoRec>& d = GetDynArray(p);
    const auto at = FirstAtOrAfter(d, eo);
    if (at == d.end() || at->Start != eo) {
      std::vector<DynInfoRec>& dd = SetParExtras(p).Dyns;
      DynInfoRec r = atStop;
      r.Start = eo;
      dd.insert(dd.begin() + (at - d.begin()), r);
    }
  }
  for (int32_t i = sp; i <= ep; ++i) RecountLineDyns(list[i]);
  if (TNavigatorContext* m = s.Memo()) InvalidateNavs(m->Navigators, a, ep);
}

}  // namespace vestrel
