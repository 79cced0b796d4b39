// TStyledMemo: dynamic styles laid over ranges, the static toggle codes around the selection,
// and collapsing paragraph blocks and attribute runs.
#include <algorithm>

#include "memo/dyn_ranges.h"
#include "memo/style_codes.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

// Opens an update on the memo and closes it on every way out.
class TUpdateBracket {
 public:
  explicit TUpdateBracket(TStyledMemo& m) : memo_(m) { m.BeginUpdate(); }
  ~TUpdateBracket() {
    if (!closed_) memo_.EndUpdate();
  }
  void Close() {
    closed_ = true;
    memo_.EndUpdate();
  }

 private:
  TStyledMemo& memo_;
  bool closed_ = false;
};

}  // namespace

// ---- dynamic styles ----

void TStyledMemo::SetDynStyle(int32_t start, int32_t stop, uint8_t style, bool flag1, int32_t context,
                              int16_t cursor, TColor backgnd, TColor foregnd, bool flag2) {
  if (stop < start) return;  // a reversed range covers nothing
  scratch1_.SetPos(start);
  scratch2_.SetPos(stop);
  SetDynStyle(scratch1_, scratch2_, style, flag1, context, cursor, backgnd, foregnd, flag2);
}

void TStyledMemo::SetDynStyle(TStyledNavigator& nav1, TStyledNavigator& nav2, uint8_t style, bool flag1,
                              int32_t context, int16_t cursor, TColor backgnd, TColor foregnd, bool flag2) {
  DynInfoRec rec;
  rec.Flags = static_cast<uint8_t>((style & 0x3F) | (flag1 ? kDynFlag1 : 0));
  rec.Level = 255;
  rec.CollapseStates = flag2 ? smdCollapsible : 0;
  rec.Backgnd = backgnd;
  rec.Foregnd = foregnd;
  rec.Context = context;
  rec.Cursor = cursor;
  LayDynStyle(nav1.GetPos(), nav2.GetPos(), rec, true);
}

// Collapsed runs that the range touches are opened first, so that no paragraph stays hidden by
// a run that changes under it.
void TStyledMemo::LayDynStyle(int32_t start, int32_t stop, const DynInfoRec& rec, bool active) {
  if (stop < start) std::swap(start, stop);
  start = std::clamp(start, 0, store_.CharCount);
  stop = std::clamp(stop, 0, store_.CharCount);
  if (start == stop) return;
  TUpdateBracket update(*this);
  // Every boundary from the start up to the stop: the collapsed runs there open.
  edit1_.SetPos(start);
  edit1_.RightOfDyn();
  do {
    if (ExpandDynRunsAround(store_, edit1_.GetParNb(), edit1_.GetOffset())) {
      edit1_.ForgetDynAndLine();
      edit1_.RightOfDyn();
    }
    if (!edit1_.ForwardToDyn(stop - 1)) break;
    edit1_.RightOfDyn();
  } while (true);
  edit1_.SetPos(start);
  edit2_.SetPos(stop);
  SetDynStyleP(store_, edit1_, edit2_, true, active, rec);
  pendingEdit_.reset();  // the paragraphs are laid out whole
  InvalidateNavs(ctx_.Navigators, start, edit2_.GetParNb());
  update.Close();
}

void TStyledMemo::ClearStyle(int32_t offset) {
  scratch1_.SetPos(offset);
  scratch1_.RightOfDyn();
  if (!(scratch1_.GetpDynInfo().Flags & kDynActive)) return;
  // The run: from the boundary that opened it to the next boundary, or the text's end.
  scratch2_.Assign(scratch1_);
  int32_t start = 0;
  if (scratch1_.GetDynNb() > 0) {
    scratch1_.setDynNb(scratch1_.GetDynNb());
    start = scratch1_.GetPos();
  } else {
    scratch1_.setParNb(scratch1_.GetParNb());
    start = scratch1_.BackToDyn(0) ? scratch1_.GetPos() : 0;
  }
  int32_t stop = store_.CharCount;
  if (scratch2_.ForwardToDyn(store_.CharCount)) stop = scratch2_.GetPos();
  LayDynStyle(start, stop, EmptyDynInfo(), false);
}

void TStyledMemo::ClearStyleRange(int32_t start, int32_t stop) {
  if (stop <= start) return;  // a reversed range covers nothing, as for SetDynStyle
  LayDynStyle(start, stop, EmptyDynInfo(), false);
}

// ---- static toggle codes ----

void TStyledMemo::SetSelAttrib(unsigned char code) {
  if (!store_.StaticFormat) return;
  const TAlive alive = alive_;
  const int32_t a = selStart_.GetPos(), b = selEnd_.GetPos();
  const bool caretAtEnd = selLength_ < 0;
  // The insertion keeps its codes: pair cancelling is off for it.
  struct TCancelling {
    TStyledMemo& memo;
    const TAlive& alive;
    bool was;
    ~TCancelling() {
      if (!alive.expired()) memo.pairCancelling_ = was;
    }
  } cancelling{*this, alive, pairCancelling_};
  pairCancelling_ = false;
  if (a == b) {
    if (a > 0 && getChar(a - 1) == code && getChar(a) == code) {
      // Between a pair with nothing inside: the style goes back off and the pair with it.
      setSelStart(a - 1);
      setSelLength(2);
      SetSelTextBuf(TByteView());
      return;
    }
    const unsigned char pair[] = {code, code};
    SetSelTextBuf(TByteView(pair, 2));
    if (alive.expired()) return;
    setSelStart(a + 1);
    return;
  }
  TByteString t(1, code);
  t += getSelText();
  t.push_back(code);
  SetSelTextBuf(t);
  if (alive.expired()) return;
  const int32_t len = static_cast<int32_t>(t.size());
  // The same range, codes included, selected again in the same direction.
  if (caretAtEnd) {
    setSelStart(a + len);
    setSelLength(-len);
  } else {
    setSelStart(a);
    setSelLength(len);
  }
}

// ---- collapsible blocks ----

bool TStyledMemo::MakeCollapsibleBlock(int32_t first, int32_t last) {
  TUpdateBracket update(*this);
  const bool r = store_.MakeCollapsibleBlock(first, last);
  update.Close();
  return r;
}

bool TStyledMemo::MakeSelCollapsible() {
  return MakeCollapsibleBlock(selStart_.GetParNb(), selEnd_.GetParNb());
}

bool TStyledMemo::RemoveCollapsibleBlock(int32_t par) {
  TUpdateBracket update(*this);
  const bool r = store_.RemoveCollapsibleBlock(par);
  update.Close();
  return r;
}

bool TStyledMemo::RemoveSelCollapsible() {
  return RemoveCollapsibleBlock(caret_->GetParNb());
}

bool TStyledMemo::CollapseBlock(int32_t par, int level) {
  TUpdateBracket update(*this);
  const bool r = store_.CollapseExpandBlock(par, level, true);
  update.Close();
  return r;
}

bool TStyledMemo::ExpandBlock(int32_t par, int level) {
  TUpdateBracket update(*this);
  const bool r = store_.CollapseExpandBlock(par, level, false);
  update.Close();
  return r;
}

// The caret paragraph's block at its own level, or else the collapsible attribute at the caret.
bool TStyledMemo::CollapseExpandSel(bool collapse) {
  const int32_t par = caret_->GetParNb();
  const int level = smsGetParLevel(store_[par]);
  if (level > 0) {
    TUpdateBracket update(*this);
    const bool r = store_.CollapseExpandPar(par, level, level, collapse);
    update.Close();
    return r;
  }
  scratch1_.Assign(*caret_);
  scratch1_.RightOfDyn();
  return collapse ? scratch1_.Collapse() : scratch1_.Expand();
}

namespace {

// Each level a paragraph opens, from the level it continues on: all of them, or level 1 only.
template <typename F>
void ForEachOpenedLevel(const ParInfo& p, bool allLevels, F&& f) {
  const int start = smsGetParBlockStartLevel(p), level = smsGetParLevel(p);
  for (int l = start + 1; l <= level; ++l)
    if (allLevels || l == 1) f(l);
}

}  // namespace

// Every block level a paragraph opens and every attribute run whose collapse level rises above
// the one before it (level 1 only without allLevels). Collapsing applies all keywords first.
void TStyledMemo::CollapseExpandAll(bool collapse, bool allLevels, bool blocks, bool dyn) {
  TUpdateBracket update(*this);
  if (blocks)
    for (int32_t i = 0; i < store_.Count(); ++i)
      ForEachOpenedLevel(store_[i], allLevels, [&](int l) { store_.CollapseExpandBlock(i, l, collapse); });
  if (dyn) {
    if (collapse) DoDynParse(0, store_.Count() - 1, false);
    TStyledNavigator n(&ctx_);
    int previous = 0;
    while (n.NextDyn()) {
      const int level = DynToCollapseLevel(n.GetpDynInfo());
      if (level > previous && (allLevels || level == 1)) {
        TStyledNavigator at(&ctx_);
        at.Assign(n);
        if (collapse)
          at.Collapse();
        else
          at.Expand();
      }
      previous = level;
    }
  }
  update.Close();
}

std::vector<bool> TStyledMemo::GetBlocksStates(int32_t par) {
  const ParInfo& p = store_[par];
  std::vector<bool> states;
  for (int l = 1; l <= smsGetParLevel(p); ++l) states.push_back(smsGetParCollapsed(p, l));
  return states;
}

void TStyledMemo::setCollpsHandler(IpmCollapseHandler* handler) {
  if (handler == collapseHandler_) return;
  if (collapseHandler_) collapseHandler_->AttachMemo(*this, false);
  collapseHandler_ = handler;
  if (handler) handler->AttachMemo(*this, true);
  Repaint();
}

}  // namespace vestrel
