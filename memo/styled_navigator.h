#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "memo/byte_string.h"
#include "memo/dyn_info.h"
#include "memo/paragraphs_list.h"
#include "memo/sm_support.h"

namespace vestrel {

class TStyledNavigator;

enum TAlignment : uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// What a navigator needs of its memo. The memo owns one and keeps it current; tests fill one
// in. Destroying it leaves the navigators still registered without a memo.
class TNavigatorContext {
 public:
  explicit TNavigatorContext(TParagraphsList& store) : Store(&store) {}
  ~TNavigatorContext();
  TNavigatorContext(const TNavigatorContext&) = delete;
  TNavigatorContext& operator=(const TNavigatorContext&) = delete;

  // Lines are never wrapped: each paragraph is one display line.
  bool NeverWraps() const { return !WordWrap && Alignment == taLeftJustify; }

  TParagraphsList* Store;
  TDelimiters Delimiters = DefaultDelimiters();
  bool WordWrap = true;
  TAlignment Alignment = taLeftJustify;
  bool Justified = false;
  int32_t LeftMargin = 8;  // pixels
  int32_t RightMargin = 8;
  int32_t ClientWidth = 100;
  int32_t LineHeight = 1;                     // pixels, at least 1
  int32_t TopOffset = 0;                      // pixels above line 0
  int32_t TopOrigin = 0;                      // vertical scroll origin in pixels
  int32_t LeftOrigin = 0;                     // horizontal scroll origin in pixels
  int32_t TabStops = 8;                       // positive: in space widths; negative: in pixels
  int32_t SpaceWidth = 0;                     // width of a blank in the control font
  uint8_t FontStyle = 0;                      // the control font's own style bits
  TFontMeasure* Measure = nullptr;            // nil: nothing is measured, widths are 0
  std::vector<TStyledNavigator*> Navigators;  // every navigator made for this memo

  // ---- line breaking ----
  int32_t ColumnWrap = 0;          // > 0: wrap after this many characters; < 0: at -ColumnWrap pixels
  TByteString WordWrapChars;       // a line may also break after any of these
  int32_t MaxCharsPerCall = 2048;  // bytes measured per call of the surface at most
  int32_t WidestLineWidth = -1;    // pixels of the widest line met, -1 none yet
  int32_t WidestLine = -1;         // first line of its paragraph, recorded when lines do not wrap
                                   // to the window (no word wrap, or ColumnWrap > 0), -1 none
  bool KeywordsInUse = false;      // keywords or a highlighter colour the text
  // Applies the keywords to paragraph i; called the first time a paragraph is broken into lines.
  std::function<void(int32_t)> ApplyKeywords;
  // Applies the start/stop keys to paragraphs first..last; nil while the memo has none.
  std::function<void(int32_t first, int32_t last)> ApplyStartStopKeys;
  // The memo's parsing of dynamic attributes over paragraphs first..last, and its update
  // bracket (open, close): what collapsing by attributes needs of the memo.
  std::function<void(int32_t first, int32_t last)> DynParse;
  std::function<void(bool open)> UpdateBracket;

  // Pixels between tab stops: TabStops space widths (a space narrower than 1 pixel counts as
  // 1), or -TabStops pixels; 0 means a tab takes no room.
  int32_t TabStep() const;
  // x where a display line starts: the left margin, or what right or centred alignment leaves
  // (not on a justified line), less the left origin.
  int32_t LineOriginX(const LineInfo& l) const;
};

// Forgets the attribute and line caches of every navigator at or after fromOffset whose
// paragraph is at or before toPar.
void InvalidateNavs(std::vector<TStyledNavigator*>& navigators, int32_t fromOffset, int32_t toPar);

// A view of one paragraph's display lines.
class TLinesList {
 public:
  explicit TLinesList(ParInfo& par) : par_(&par) {}
  int32_t GetCount() const { return GetLineCount(*par_); }
  LineInfo& GetLinesPointer(int32_t i) { return GetLine(*par_, i); }  // ERangeError outside
  LineInfo GetItem(int32_t i) const { return GetLine(*par_, i); }
  void SetItem(int32_t i, const LineInfo& l) { GetLine(*par_, i) = l; }
  void SetCount(int32_t n);  // below 1 counts as 1
  void Add(const LineInfo& l) { par_->Lines.push_back(l); }

 private:
  ParInfo* par_;
};

// A position in a memo's text. Pos, the absolute offset (each break counts 2), is the one
// authoritative value; the paragraph, the offset in it, the attribute number and the display
// line are caches derived from it and checked against the store before use.
class TStyledNavigator {
 public:
  explicit TStyledNavigator(TNavigatorContext* memo);
  ~TStyledNavigator();
  TStyledNavigator(const TStyledNavigator&) = delete;
  TStyledNavigator& operator=(const TStyledNavigator&) = delete;

  TNavigatorContext* Memo() const { return memo_; }
  void Unbind() { memo_ = nullptr; }
  std::function<void(TStyledNavigator&)> OnFree;
  // Where an edit of the text around the position puts the navigator: on the end of the new
  // text rather than its start. A temporary navigator is one its owner made for a while (with
  // new) and frees itself; an edit moves it like any other.
  bool StickyRight = false;
  bool Temporary = false;
  // Follows an edit that lies wholly before the position: posDelta characters and parDelta
  // paragraphs further on.
  void MoveBy(int32_t posDelta, int32_t parDelta);

  void Invalidate();  // forgets everything but Pos
  void Assign(const TStyledNavigator& other);
  int32_t CachedParNb() const { return parNb_; }
  void ForgetDynAndLine() {
    dynNb_ = -1;
    parLine_ = -1;
    dynRight_ = lineEnd_ = false;
  }

  // ---- positions ----
  int32_t GetPos() const { return pos_; }
  void SetPos(int32_t pos);  // clamped to 0..CharCount
  int32_t GetParNb();
  void setParNb(int32_t n);  // the start of paragraph n (clamped)
  int32_t GetOffset();       // in the paragraph: Length on the CR, Length + 1 between CR and LF
  void setParOffset(int32_t o);
  ParInfo& GetPar();
  int32_t GetLineNb();
  void SetLineNb(int32_t n);
  int32_t getVisibleLineNumber();
  void setVisibleLineNumber(int32_t n);
  bool getIsVisible();
  int32_t GetParLine();
  void SetParLine(int32_t line);
  int32_t GetColNb();
  void SetColNb(int32_t c);

  // ---- text ----
  unsigned char GetText();  // the byte there, 13 on a paragraph end, 10 after it; 0 at the text end
  unsigned char GetAnsiText() { return GetText(); }
  // len characters from the position (fewer at the text end), breaks as CR LF, then a NUL.
  int32_t GetTextBuf(unsigned char* buf, int32_t len);
  TByteString GetTextString(int32_t len);
  TByteString GetWord();
  TByteString GetLine();
  uint8_t GetStyle();

  // ---- dynamic attributes ----
  int32_t GetDynNb();
  bool setDynNb(int32_t n);  // 0: paragraph start; 1..count: at attribute n-1, after it
  const DynInfoRec& GetpDynInfo();
  DynInfoRec GetDynInfo() { return GetpDynInfo(); }
  int32_t GetContext();
  void RightOfDyn();
  bool AdvanceDyn();
  void AddDyn(const DynInfoRec& rec);
  void RemoveDyn();  // the attribute at DynNb must start here
  bool ForwardToDyn(int32_t limit);
  bool BackToDyn(int32_t limit);
  bool NextDyn();
  bool PreviousDyn();
  // Opens the collapsed blocks and collapsed attribute runs around the position.
  void ExpandAllLevels();
  // Hides the paragraphs of the collapsible attribute run in effect here (not with word wrap or
  // other than left alignment), or shows them again; false when nothing changed.
  bool Collapse();
  bool Expand();

  // ---- display coordinates (pixels) ----
  int32_t GetDisplayY();
  void setDisplayY(int32_t y);
  int32_t GetDisplayX();
  void SetDisplayX(int32_t x);
  TPoint GetDisplayPos() { return {GetDisplayX(), GetDisplayY()}; }
  void SetDisplayPos(TPoint p) {
    setDisplayY(p.y);
    SetDisplayX(p.x);
  }
  int32_t getDisplayWidth();
  // x where the position's display line starts (alignment and the left origin counted).
  int32_t GetLineOriginX();

  // ---- words ----
  void ToPreviousWord(const TDelimiters& d);
  void ToNextWord(const TDelimiters& d);
  void ToEndOfWord(const TDelimiters& d);
  void ToStartOfWord(const TDelimiters& d);

 private:
  TNavigatorContext& Ctx() const;  // the memo; an unbound navigator throws
  TParagraphsList& Store() const;
  void Resolve();  // makes parNb_ and offset_ match pos_
  int32_t LineOf(const ParInfo& p, int32_t offset) const;
  int32_t LineOrigin(const LineInfo& l);
  int32_t LineX(const ParInfo& p, const LineInfo& l, int32_t end, int32_t stopAtX, int32_t* hitOffset);
  int32_t TabStep() const;
  void SetParAndOffset(int32_t par, int32_t offset);
  void SetDyn(int32_t n);  // dynNb_ := n, noting whether that is past attributes starting here
  bool CollapseRun(bool collapse);

  TNavigatorContext* memo_;
  int32_t pos_ = 0;
  int32_t parNb_ = -1;
  int32_t offset_ = 0;
  int32_t dynNb_ = -1;
  int32_t parLine_ = -1;
  // dynNb_ was moved past attributes that start exactly at the position (RightOfDyn and the
  // like); without it dynNb_ counts the attributes that start before the position.
  bool dynRight_ = false;
  // parLine_ is the line that ends at the position, not the one that starts there.
  bool lineEnd_ = false;
};

// The edit primitive between two navigators: start ends at the edit's start, stop just
// after the inserted text, both resolved.
TParagraphsList::TInsertResult InsertBuf(TParagraphsList& store, TByteView buf, TStyledNavigator& startNav,
                                         TStyledNavigator& stopNav, bool trimTrailing, bool insertCodes);

}  // namespace vestrel
