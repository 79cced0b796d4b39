#pragma once
#include <string>

#include "memo/styled_memo.h"

namespace vestrel::testing {

// The memo's whole text, breaks as CR LF.
inline std::string Text(TStyledMemo& m) {
  return ToChars(m.GetTextContent());
}

// An active attribute of the given style flags and foreground (-1: the text's own colour).
inline DynInfoRec Attr(uint8_t flags, TColor fore = -1) {
  DynInfoRec d;
  d.Flags = static_cast<uint8_t>(flags | kDynActive);
  d.Foregnd = fore;
  d.Backgnd = -1;
  return d;
}

// Lays rec over [from, to) of the text as two attribute boundaries, the way the application's
// styles lie: the text after `to` keeps no attribute.
inline void LayAttr(TStyledMemo& m, int32_t from, int32_t to, const DynInfoRec& rec) {
  TStyledNavigator n(&m.NavContext());
  n.SetPos(to);
  n.RightOfDyn();
  n.AddDyn(EmptyDynInfo());
  n.SetPos(from);
  n.RightOfDyn();
  n.AddDyn(rec);
}

}  // namespace vestrel::testing
