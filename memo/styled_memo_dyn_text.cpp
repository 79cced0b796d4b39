// TStyledMemo: a range of styled text as a self-contained string, and such a string put back.
#include <algorithm>
#include <vector>

#include "memo/dyn_ranges.h"
#include "memo/le_bytes.h"
#include "memo/memo_errors.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

constexpr size_t kEntrySize = kDynInfoRecSize + 4;  // the attribute, then its offset
constexpr const char* kBadStyledText = "Invalid styled text";

// Two attributes look the same wherever they lie.
bool SameContent(const DynInfoRec& a, const DynInfoRec& b) {
  DynInfoRec x = a;
  x.Start = b.Start;
  unsigned char p[kDynInfoRecSize], q[kDynInfoRecSize];
  DynInfoToBytes(x, p);
  DynInfoToBytes(b, q);
  return std::equal(p, p + kDynInfoRecSize, q);
}

struct TEntry {
  DynInfoRec rec;
  int32_t offset = 0;
};

}  // namespace

TByteString TStyledMemo::DynText(int32_t start, int32_t stop) {
  // An end between CR and LF is the pair's start, as for an edit: the string never holds half
  // a break.
  auto at = [&](int32_t o) {
    scratch1_.SetPos(std::clamp(o, 0, store_.CharCount));
    MoveOffLfHalf(scratch1_);
    return scratch1_.GetPos();
  };
  start = at(start);
  stop = at(stop);
  if (start == stop) return {};
  if (start > stop) std::swap(start, stop);

  std::vector<TEntry> entries;
  scratch1_.SetPos(start);
  scratch1_.RightOfDyn();
  entries.push_back({scratch1_.GetpDynInfo(), 0});
  const int32_t sp = store_.ParFromOffset(start), ep = store_.ParFromOffset(stop);
  for (int32_t i = sp; i <= ep; ++i) {
    const ParInfo& p = store_[i];
    const std::vector<DynInfoRec>& d = GetDynArray(p);
    const int32_t base = p.StartOffset;
    size_t k = 0;
    if (i > sp) {
      // A paragraph's start is a boundary when its attribute is not the one that ran on.
      const DynInfoRec* here = &GetStartDynAttrib(p);
      for (; k < d.size() && d[k].Start == 0; ++k) here = &d[k];
      if (!SameContent(*here, entries.back().rec)) entries.push_back({*here, base - start});
    }
    while (k < d.size()) {
      const int32_t o = d[k].Start;
      size_t last = k;
      while (last + 1 < d.size() && d[last + 1].Start == o) ++last;
      k = last + 1;
      const int32_t at = base + o;
      if (at <= start) continue;  // in force at the start: entry 0
      if (at >= stop) break;
      entries.push_back({d[last], at - start});
    }
  }

  const TByteString text = GetTextPart(start, stop);
  TByteString out(4 + entries.size() * kEntrySize + text.size(), 0);
  unsigned char* p = out.data();
  Put32(p, static_cast<uint32_t>(entries.size()));
  for (TEntry& e : entries) {
    e.rec.Start = 0;
    DynInfoToBytes(e.rec, p);
    p += kDynInfoRecSize;
    Put32(p, static_cast<uint32_t>(e.offset));
  }
  std::copy(text.begin(), text.end(), p);
  return out;
}

// The string is checked whole before anything changes. The old selection is held in two
// navigators of this call, which the edit moves like any other (onto the start of the new
// text when it held them).
void TStyledMemo::SetDynText(int32_t start, int32_t stop, TByteView s) {
  if (s.empty()) return;
  if (s.size() < 4) throw EStyledMemoError(kBadStyledText);
  const unsigned char* q = s.data();
  const int64_t n = static_cast<int32_t>(Get32(q));
  if (n < 0 || static_cast<uint64_t>(n) > (s.size() - 4) / kEntrySize) throw EStyledMemoError(kBadStyledText);
  std::vector<TEntry> entries(static_cast<size_t>(n));
  for (TEntry& e : entries) {
    e.rec = DynInfoFromBytes(q);
    q += kDynInfoRecSize;
    e.offset = static_cast<int32_t>(Get32(q));
  }
  const TByteView text = s.substr(4 + static_cast<size_t>(n) * kEntrySize);

  const TAlive alive = alive_;
  TStyledNavigator caretEnd(&ctx_), otherEnd(&ctx_), from(&ctx_), to(&ctx_);
  caretEnd.SetPos(caret_->GetPos());
  otherEnd.SetPos(caret_->GetPos() + selLength_);
  const TUpdateScope scope(*this);

  setSelStart(start);
  setSelLength(std::clamp(stop, 0, store_.CharCount) - getSelStart());
  from.SetPos(selStart_.GetPos());  // lands on the start of the new text
  SetSelTextBuf(text);
  if (alive.expired()) return;
  const int32_t a = from.GetPos(), b = getSelStart();
  for (const TEntry& e : entries) {
    from.SetPos(a + std::clamp(e.offset, 0, b - a));
    to.SetPos(b);
    const bool active = e.rec.Flags & kDynActive;
    DynInfoRec rec = e.rec;
    if (active) {
      rec.Level = 0xFF;  // an attribute of its own, no longer one a parser laid
      rec.Flags &= static_cast<uint8_t>(~kDynFlag1);
    }
    SetDynStyleP(store_, from, to, true, active, rec);
  }
  setSelStart(caretEnd.GetPos());
  setSelLength(otherEnd.GetPos() - getSelStart());
}

}  // namespace vestrel
