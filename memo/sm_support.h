#pragma once
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>

#include "memo/byte_string.h"
#include "memo/draw_surface.h"

namespace vestrel {

class TParagraphsList;

// ---- wide strings: UTF-16 buffers ending in a 0 character; sizes in characters ----
using WideChar = char16_t;

WideChar* WideStrAlloc(size_t size);  // size characters, the first set to 0
void WideStrDispose(WideChar* s);     // nil is fine
size_t WideStrBufSize(const WideChar* s);
WideChar* WideStrNew(const WideChar* s);  // a copy; an empty string for nil
std::u16string WideStringOfChar(WideChar ch, size_t count);
size_t WideStrLen(const WideChar* s);  // 0 for nil
WideChar* WideStrPCopy(WideChar* dest, const std::u16string& src);
int WideStrComp(const WideChar* a, const WideChar* b);  // 0 equal, 1 different (no order)
const WideChar* WideStrScan(const WideChar* s, WideChar ch);
void WideStrUpper(WideChar* s);  // a..z only, in place
const WideChar* WideStrPos(const WideChar* s, const WideChar* sub);

// ---- 8-bit helpers ----
const unsigned char* smStrScan(const unsigned char* s, unsigned char ch);  // up to the NUL
// Upper-cases a NUL-terminated text in place in the character set of the code page
// (1251 or 1252); nil stays nil.
void smCharUpper(unsigned char* s, int codePage = 1252);
unsigned char smUpperChar(unsigned char c, int codePage = 1252);
unsigned char smUpperAscii(unsigned char c);
inline int32_t smMaxOf(int32_t a, int32_t b) {
  return a > b ? a : b;
}
inline int32_t smMinOf(int32_t a, int32_t b) {
  return a < b ? a : b;
}
TRect smRect16(TRect r);  // Left and Right within the 16-bit drawing range

// Word delimiters: a 256-bit set; CR and LF always belong to it.
using TDelimiters = std::bitset<256>;
TDelimiters DefaultDelimiters();
TDelimiters MakeDelimiters(TByteView chars);

// Extended font style of a run: an active attribute's style bits, else the static style
// toggled against the font's own style.
uint8_t AttrToExtFontStyles(uint8_t staticStyle, uint8_t dynFlags, uint8_t fontStyle);
// The font a run is measured and drawn in: its extended style without the highlight bit,
// which colours the run but keeps the font.
inline uint8_t RunFontStyle(uint8_t staticStyle, uint8_t dynFlags, uint8_t fontStyle) {
  return static_cast<uint8_t>(AttrToExtFontStyles(staticStyle, dynFlags, fontStyle) & ~0x10);
}

// ---- measuring and drawing in bounded pieces (maxChunk below 1 counts as 1) ----
int32_t GetTextWidth(TFontMeasure& dc, const unsigned char* text, int32_t len, int32_t maxChunk);
void PutText(DrawSurface& dc, TPoint& p, const unsigned char* text, int32_t len, int32_t maxChunk,
             int32_t rightLimit, bool justify, int32_t blankExtra);
// A zigzag of 45-degree segments between y + h and y from x1 to x2 (h below 1 counts as 1).
void WavyLine(DrawSurface& dc, int32_t x1, int32_t x2, int32_t y, int32_t h);

// ---- offsets and tab-expanded columns (tabSize below 1 counts as 1; skipCodes: the
// style codes take no column) ----
int32_t OffsetToCol(TByteView par, int32_t offset, int32_t tabSize, bool skipCodes);
int32_t ColToOffset(TByteView par, int32_t col, int32_t tabSize, bool skipCodes);
int32_t ColToExtra(TByteView par, int32_t col, int32_t tabSize, bool skipCodes);

// ---- find ----
// What the find needs of a memo.
class TFindTarget {
 public:
  virtual ~TFindTarget() = default;
  virtual const TParagraphsList& FindParagraphs() const = 0;
  virtual int32_t FindSelStart() const = 0;  // the caret
  virtual void FindSelect(int32_t selStart, int32_t selLength) = 0;
  virtual const TDelimiters& FindDelimiters() const = 0;
  virtual void FindUpperCase(TByteString& s) const = 0;  // the memo's UpperCaseType
};

// Finds text from the caret (or from the text's start or end with fromBoundary) and selects
// it: forward the caret goes to the hit's end with the selection back over it, backward to
// the hit's start with the selection over it, so that a repeated find moves on. A hit never
// spans a paragraph break; an empty text finds nothing.
bool FindTextP(TFindTarget& memo, TByteView text, bool forward, bool matchCase, bool wholeWord,
               bool fromBoundary);

}  // namespace vestrel
