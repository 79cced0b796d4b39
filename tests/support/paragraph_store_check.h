#pragma once
#include <algorithm>
#include <string>

#include "memo/paragraphs_list.h"
#include "memo/style_codes.h"

namespace vestrel::testing {

// The store's own invariants plus what the edit primitive must keep beyond them: start styles
// that follow the codes of the whole text, attributes in order inside their paragraph, and
// line attribute counts that match the attributes there are. Empty when all hold.
inline std::string StoreFault(const TParagraphsList& s) {
  if (s.Count() < 1) return "no paragraph";
  if (std::string f = s.IntegrityFault(); !f.empty()) return f;
  uint8_t style = 0;
  for (int32_t i = 0; i < s.Count(); ++i) {
    const ParInfo& p = s[i];
    const std::string at = " at paragraph " + std::to_string(i);
    const std::vector<DynInfoRec>& dyns = GetDynArray(p);
    for (size_t k = 0; k < dyns.size(); ++k) {
      if (dyns[k].Start < 0 || dyns[k].Start > p.Length()) return "attribute outside" + at;
      if (k && dyns[k].Start < dyns[k - 1].Start) return "attributes out of order" + at;
    }
    uint8_t lineStyle = style;
    int32_t walked = 0;
    for (int32_t l = 0; l < GetLineCount(p); ++l) {
      const LineInfo& li = GetLine(p, l);
      const auto before =
          std::count_if(dyns.begin(), dyns.end(), [&](const DynInfoRec& d) { return d.Start < li.Start; });
      if (li.StartDyn != before) return "stale line attribute count" + at;
      if (li.JustifyFrom < li.Start || li.JustifyFrom > li.Stop) return "justification outside line" + at;
      if (s.StaticFormat) {
        for (; walked < li.Start; ++walked) XORStyleCode(lineStyle, p.Text[static_cast<size_t>(walked)]);
        if (li.StartStyle != lineStyle) return "stale start style" + at;
      }
    }
    if (s.StaticFormat) style ^= StyleToggles(p.Text);
  }
  return {};
}

// The text as absolute offsets see it: paragraphs joined by CR LF.
inline TByteString StoreText(const TParagraphsList& s) {
  TByteString t;
  for (int32_t i = 0; i < s.Count(); ++i) {
    if (i) t += ToBytes("\r\n");
    t += s[i].Text;
  }
  return t;
}

}  // namespace vestrel::testing
