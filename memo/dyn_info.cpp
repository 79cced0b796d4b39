#include "memo/dyn_info.h"

#include <algorithm>
#include <cstring>

#include "memo/le_bytes.h"

namespace vestrel {

void DynInfoToBytes(const DynInfoRec& rec, unsigned char out[kDynInfoRecSize]) {
  unsigned char* p = out;
  Put32(p, static_cast<uint32_t>(rec.Start));
  *p++ = rec.Flags;
  *p++ = rec.Level;
  *p++ = rec.CollapseLevel;
  *p++ = rec.CollapseStates;
  Put32(p, static_cast<uint32_t>(rec.Backgnd));
  Put32(p, static_cast<uint32_t>(rec.Foregnd));
  Put32(p, static_cast<uint32_t>(rec.Context));
  Put16(p, static_cast<uint16_t>(rec.Cursor));
  for (int16_t k : rec.Keys) Put16(p, static_cast<uint16_t>(k));
}

DynInfoRec DynInfoFromBytes(const unsigned char in[kDynInfoRecSize]) {
  const unsigned char* p = in;
  DynInfoRec rec;
  rec.Start = static_cast<int32_t>(Get32(p));
  rec.Flags = *p++;
  rec.Level = *p++;
  rec.CollapseLevel = *p++;
  rec.CollapseStates = *p++;
  rec.Backgnd = static_cast<int32_t>(Get32(p));
  rec.Foregnd = static_cast<int32_t>(Get32(p));
  rec.Context = static_cast<int32_t>(Get32(p));
  rec.Cursor = static_cast<int16_t>(Get16(p));
  for (int16_t& k : rec.Keys) k = static_cast<int16_t>(Get16(p));
  return rec;
}

int DynToLevel(const DynInfoRec& rec) {
  return (rec.Flags & (kDynFlag1 | kDynActive)) == (kDynFlag1 | kDynActive) ? static_cast<int8_t>(rec.Level)
                                                                            : -1;
}

int32_t DynToContext(const DynInfoRec& rec) {
  return (rec.Flags & kDynActive) ? rec.Context : 0;
}

int DynToCollapseLevel(const DynInfoRec& rec) {
  return (rec.Flags & kDynActive) ? rec.CollapseLevel : 0;
}

bool SameDynAttrib(const DynInfoRec& a, const DynInfoRec& b) {
  if ((a.Flags & 0xC0) != (b.Flags & 0xC0)) return false;
  if (!(a.Flags & kDynActive)) return true;
  if (a.Level != b.Level || a.Context != b.Context) return false;
  if (a.Level > 127) return true;
  // A level above the stored keys compares the keys there are, never beyond.
  const int last = std::min<int>(a.Level, kDynKeyCount - 1);
  return std::equal(a.Keys.begin(), a.Keys.begin() + last + 1, b.Keys.begin());
}

const DynInfoRec& EmptyDynInfo() {
  static const DynInfoRec empty{};
  return empty;
}

}  // namespace vestrel
