// TStyledMemo: keywords coloured by the memo itself, and the highlighter hook.
#include <algorithm>
#include <vector>

#include "memo/dyn_ranges.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

// A character the keyword scan must not see: under a shielding attribute, or taken by an
// earlier keyword.
constexpr unsigned char kShielded = 5;
constexpr int kMaxParseLevel = 15;

// An attribute a keyword (or the highlighter) laid: a parse level whose key is no start/stop
// key.
bool KeywordLaid(const DynInfoRec& r) {
  const int lvl = DynToLevel(r);
  return lvl >= 0 && lvl < kDynKeyCount && r.Keys[static_cast<size_t>(lvl)] >= 0;
}

struct THit {
  int32_t offset;  // in the paragraph
  int32_t length;
  int32_t keyword;
};

}  // namespace

void TStyledMemo::InitKeywords() {
  ctx_.ApplyKeywords = [this](int32_t par) {
    if (par < 0 || par >= store_.Count()) return;
    TStyledNavigator a(&ctx_), b(&ctx_);
    a.SetPos(store_[par].StartOffset);
    b.SetPos(store_[par].StartOffset + store_[par].Length());
    ApplyKeywordsListP(a, b);
  };
  ctx_.ApplyStartStopKeys = [this](int32_t first, int32_t last) { ParseStartStopRange(first, last); };
  keywords_->OnChange = [this] { UpdateKeywordsInUse(); };
}

void TStyledMemo::UpdateKeywordsInUse() {
  ctx_.KeywordsInUse = highlighter_ || (applyKeyWords_ && keywords_->GetCount() > 0);
}

void TStyledMemo::setHighlighter(TStyledHighlighter* h) {
  if (h == highlighter_) return;
  if (highlighter_) std::erase(highlighter_->memos_, this);
  highlighter_ = h;
  if (h) h->memos_.push_back(this);
  UpdateKeywordsInUse();
}

// What keywords laid near the range goes before they are laid again, so that text that no
// longer matches loses its colour and nothing nests in its own colour: each such attribute
// gives way to what lies beneath it.
void TStyledMemo::ClearKeywordAttributes(int32_t a, int32_t b, int32_t reach) {
  const int32_t sp = store_.ParFromOffset(a), ep = store_.ParFromOffset(b);
  TStyledNavigator from(&ctx_), to(&ctx_);
  for (int32_t pi = sp; pi <= ep; ++pi) {
    const int32_t len = store_[pi].Length();
    const int32_t so = pi == sp ? std::min(a - store_[pi].StartOffset, len) : 0;
    const int32_t eo = pi == ep ? std::min(b - store_[pi].StartOffset, len) : len;
    const int32_t w0 = std::max(0, so - reach - 1), w1 = std::min(len, eo + reach);
    // Each pass takes one attribute away, left to right; the array changes under it.
    for (int32_t next0 = w0; next0 < w1;) {
      const int32_t was = next0;
      const ParInfo& p = store_[pi];
      const std::vector<DynInfoRec>& d = GetDynArray(p);
      for (size_t k = 0; k < d.size(); ++k) {
        if (d[k].Start < next0 || d[k].Start >= w1 || !KeywordLaid(d[k])) continue;
        const int32_t at = d[k].Start;
        size_t next = k + 1;
        while (next < d.size() && d[next].Start == at) ++next;
        const int32_t end = next < d.size() ? d[next].Start : len;
        size_t before = k;
        while (before > 0 && d[before - 1].Start == at) --before;
        // Beneath a keyword's colour: the range its keys name one level down, or, for one laid
        // straight over the application's attribute, that attribute.
        DynInfoRec outer = before > 0 ? d[before - 1] : GetStartDynAttrib(p);
        const int level = DynToLevel(d[k]);
        if (level > 0 || !(outer.Flags & kDynActive) || DynToLevel(outer) >= 0)
          outer = OuterAttribute(d[k], level);
        next0 = at + 1;
        if (end > at) {
          from.SetPos(p.StartOffset + at);
          to.SetPos(p.StartOffset + end);
          SetDynStyleP(store_, from, to, true, (outer.Flags & kDynActive) != 0, outer);
        }
        break;
      }
      if (next0 == was) break;  // none left
    }
  }
}

void TStyledMemo::ApplyKeywordsListP(TStyledNavigator& start, TStyledNavigator& stop) {
  TKeywordList& list = *keywords_;
  const int32_t a = std::min(start.GetPos(), stop.GetPos()), b = std::max(start.GetPos(), stop.GetPos());
  if (highlighter_ || (applyKeyWords_ && list.GetCount() > 0)) ClearKeywordAttributes(a, b, list.MaxLength());
  if (highlighter_) {
    const TAlive alive = alive_;
    highlighter_->ApplyKeywordsList(*this, start, stop, list.GetCount());
    if (alive.expired()) return;
  }
  if (!applyKeyWords_ || list.GetCount() == 0) return;
  list.setCodePage(CodePage());
  const int32_t sp = store_.ParFromOffset(a), ep = store_.ParFromOffset(b);
  const int32_t reach = list.MaxLength();
  const bool anyIgnoresCase = !(list.Summary() & 1);
  const TDelimiters& delims = ctx_.Delimiters;
  const std::vector<TKeywordEntry>& keys = list.KeyList();

  TByteString plain, upper;
  std::vector<THit> hits;
  TStyledNavigator from(&ctx_), to(&ctx_);
  for (int32_t pi = sp; pi <= ep; ++pi) {
    const ParInfo& p = store_[pi];
    const TByteView text = p.Text;
    const int32_t len = p.Length();
    const int32_t so = pi == sp ? std::min(a - p.StartOffset, len) : 0;
    const int32_t eo = pi == ep ? std::min(b - p.StartOffset, len) : len;
    const int32_t w0 = std::max(0, so - reach - 1), w1 = std::min(len, eo + reach);
    if (w1 <= w0) continue;
    plain.assign(text.substr(static_cast<size_t>(w0), static_cast<size_t>(w1 - w0)));
    if (anyIgnoresCase) {
      upper = plain;
      const TpmUpperCase type = list.UpperCaseType();
      const int cp = list.CodePage();
      for (unsigned char& c : upper) c = smUpperCase(type, c, cp);
    }

    // Text under an attribute with a context is not for keywords, unless the nesting switch
    // lets keywords into the ranges of other keywords.
    {
      const std::vector<DynInfoRec>& d = GetDynArray(p);
      const DynInfoRec* in = &GetStartDynAttrib(p);
      int32_t segStart = 0;
      auto shield = [&](const DynInfoRec& r, int32_t from0, int32_t to0) {
        const bool active = r.Flags & kDynActive;
        if (!active || r.Context == 0) return;
        const int lvl = DynToLevel(r);
        if (list.ApplyInsideRanges && lvl >= 0 && r.Keys[static_cast<size_t>(lvl)] >= 0) return;
        for (int32_t i = std::max(from0, w0); i < std::min(to0, w1); ++i) {
          plain[static_cast<size_t>(i - w0)] = kShielded;
          if (anyIgnoresCase) upper[static_cast<size_t>(i - w0)] = kShielded;
        }
      };
      for (const DynInfoRec& r : d) {
        shield(*in, segStart, r.Start);
        in = &r;
        segStart = r.Start;
      }
      shield(*in, segStart, len);
    }

    // Keywords in list order: an accepted hit is taken out of both copies, so that an earlier
    // keyword wins over a later one that overlaps it. Word boundaries are judged on the
    // paragraph itself: only its ends count as edges, not the window's.
    hits.clear();
    for (size_t k = 0; k < keys.size(); ++k) {
      const TKeywordEntry& e = keys[k];
      const TByteString& cmp = e.Compare;
      if (cmp.empty()) continue;  // an empty keyword would match everywhere: it never does
      const bool exact = e.Info.Options & woMatchCase;
      const bool whole = e.Info.Options & woWholeWordsOnly;
      TByteString& hay = exact || !anyIgnoresCase ? plain : upper;
      size_t at = 0;
      while ((at = hay.find(cmp, at)) != TByteString::npos) {
        const int32_t o = w0 + static_cast<int32_t>(at), end = o + static_cast<int32_t>(cmp.size());
        if (whole) {
          const bool before = o == 0 || delims.test(text[static_cast<size_t>(o - 1)]);
          const bool after = end >= len || delims.test(text[static_cast<size_t>(end)]);
          if (!before || !after) {
            ++at;
            continue;
          }
        }
        hits.push_back({o, static_cast<int32_t>(cmp.size()), static_cast<int32_t>(k)});
        for (size_t i = at; i < at + cmp.size(); ++i) {
          plain[i] = kShielded;
          if (anyIgnoresCase) upper[i] = kShielded;
        }
        at += cmp.size();
      }
    }

    // Laid from the paragraph's end backwards, so that each hit finds the attribute the text
    // had before the scan in force at its start.
    std::sort(hits.begin(), hits.end(), [](const THit& x, const THit& y) { return x.offset > y.offset; });
    for (const THit& h : hits) {
      from.SetPos(p.StartOffset + h.offset);
      from.RightOfDyn();
      const DynInfoRec& in = from.GetpDynInfo();
      const int level = DynToLevel(in);
      if (level >= kMaxParseLevel) continue;
      const TKeywordInfo& info = keys[static_cast<size_t>(h.keyword)].Info;
      DynInfoRec rec = in;
      rec.Flags = static_cast<uint8_t>(info.Style | kDynFlag1 | kDynActive);
      rec.Level = static_cast<uint8_t>(level + 1);
      if (level < 0) rec.Keys = {};
      rec.Keys[rec.Level] = static_cast<int16_t>(h.keyword);
      rec.Keys[16] = rec.Keys[17] = static_cast<int16_t>(std::min(h.length, 32767));
      rec.CollapseLevel = rec.CollapseStates = 0;
      rec.Backgnd = info.Backgnd;
      rec.Foregnd = info.Foregnd;
      rec.Context = info.ContextNumber;
      rec.Cursor = info.Cursor;
      to.SetPos(p.StartOffset + h.offset + h.length);
      SetDynStyleP(store_, from, to, true, true, rec);
    }
  }
}

}  // namespace vestrel
