#include "memo/sm_support.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "memo/dyn_info.h"
#include "memo/paragraphs_list.h"
#include "memo/style_codes.h"

namespace vestrel {

// ---- wide strings ----
// A buffer carries its size in a header in front of the characters.
namespace {
constexpr size_t kWideHeader = sizeof(size_t) / sizeof(WideChar);
}

WideChar* WideStrAlloc(size_t size) {
  WideChar* block = new WideChar[size + kWideHeader + 1];
  std::memcpy(block, &size, sizeof(size_t));
  WideChar* s = block + kWideHeader;
  s[0] = 0;
  return s;
}

void WideStrDispose(WideChar* s) {
  if (s) delete[](s - kWideHeader);
}

size_t WideStrBufSize(const WideChar* s) {
  if (!s) return 0;
  size_t size;
  std::memcpy(&size, s - kWideHeader, sizeof(size_t));
  return size;
}

size_t WideStrLen(const WideChar* s) {
  size_t n = 0;
  if (s)
    while (s[n]) ++n;
  return n;
}

WideChar* WideStrNew(const WideChar* s) {
  const size_t n = WideStrLen(s);
  WideChar* d = WideStrAlloc(n + 1);
  if (n) std::memcpy(d, s, n * sizeof(WideChar));
  d[n] = 0;
  return d;
}

std::u16string WideStringOfChar(WideChar ch, size_t count) {
  return std::u16string(count, ch);
}

WideChar* WideStrPCopy(WideChar* dest, const std::u16string& src) {
  if (!dest) return dest;
  std::memcpy(dest, src.data(), src.size() * sizeof(WideChar));
  dest[src.size()] = 0;
  return dest;
}

int WideStrComp(const WideChar* a, const WideChar* b) {
  const size_t na = WideStrLen(a), nb = WideStrLen(b);
  if (na != nb) return 1;
  for (size_t i = 0; i < na; ++i)
    if (a[i] != b[i]) return 1;
  return 0;
}

const WideChar* WideStrScan(const WideChar* s, WideChar ch) {
  if (!s) return nullptr;
  for (;; ++s) {
    if (*s == ch) return s;
    if (!*s) return nullptr;
  }
}

void WideStrUpper(WideChar* s) {
  if (!s) return;
  for (; *s; ++s)
    if (*s >= u'a' && *s <= u'z') *s = static_cast<WideChar>(*s - (u'a' - u'A'));
}

const WideChar* WideStrPos(const WideChar* s, const WideChar* sub) {
  if (!s || !sub) return nullptr;
  const size_t n = WideStrLen(s), m = WideStrLen(sub);
  if (m > n) return nullptr;
  for (size_t i = 0; i + m <= n; ++i)
    if (std::equal(sub, sub + m, s + i)) return s + i;
  return nullptr;
}

// ---- 8-bit helpers ----

const unsigned char* smStrScan(const unsigned char* s, unsigned char ch) {
  if (!s) return nullptr;
  for (;; ++s) {
    if (*s == ch) return s;
    if (!*s) return nullptr;
  }
}

unsigned char smUpperAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

unsigned char smUpperChar(unsigned char c, int codePage) {
  if (c < 128) return smUpperAscii(c);
  if (codePage == 1251) {  // Cyrillic
    if (c >= 0xE0) return static_cast<unsigned char>(c - 0x20);
    switch (c) {
      case 0x90:
        return 0x80;
      case 0x83:
        return 0x81;
      case 0x9A:
        return 0x8A;
      case 0x9C:
        return 0x8C;
      case 0x9D:
        return 0x8D;
      case 0x9E:
        return 0x8E;
      case 0x9F:
        return 0x8F;
      case 0xA2:
        return 0xA1;
      case 0xBC:
        return 0xA3;
      case 0xB4:
        return 0xA5;
      case 0xB8:
        return 0xA8;
      case 0xBA:
        return 0xAA;
      case 0xBF:
        return 0xAF;
      case 0xB3:
        return 0xB2;
      case 0xBE:
        return 0xBD;
      default:
        return c;
    }
  }
  // Western European
  if (c >= 0xE0 && c != 0xF7) return c == 0xFF ? 0x9F : static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A:
      return 0x8A;
    case 0x9C:
      return 0x8C;
    case 0x9E:
      return 0x8E;
    default:
      return c;
  }
}

void smCharUpper(unsigned char* s, int codePage) {
  if (!s) return;
  for (; *s; ++s) *s = smUpperChar(*s, codePage);
}

TRect smRect16(TRect r) {
  r.Left = std::clamp(r.Left, -32768, 32767);
  r.Right = std::clamp(r.Right, -32768, 32767);
  return r;
}

TDelimiters MakeDelimiters(TByteView chars) {
  TDelimiters d;
  for (unsigned char c : chars) d.set(c);
  d.set('\r');
  d.set('\n');
  return d;
}

TDelimiters DefaultDelimiters() {
  return MakeDelimiters(ToBytes("\t\n\r $%&,./:;<=>"));
}

uint8_t AttrToExtFontStyles(uint8_t staticStyle, uint8_t dynFlags, uint8_t fontStyle) {
  if (dynFlags & kDynActive) {
    if ((dynFlags & 0x18) == 0x18) return dynFlags & 0xA7;  // bits 0, 1, 2, 5, 7
    return dynFlags & 0x3F;
  }
  return staticStyle ^ fontStyle;
}

// ---- measuring and drawing ----

int32_t GetTextWidth(TFontMeasure& dc, const unsigned char* text, int32_t len, int32_t maxChunk) {
  maxChunk = std::max(maxChunk, 1);
  int64_t total = 0;  // a long paragraph can pass 32 bits of pixels: the sum saturates
  for (int32_t i = 0; i < len; i += std::min(maxChunk, len - i)) {
    int32_t w = 0;
    if (dc.TextExtent(text + i, std::min(maxChunk, len - i), w)) total += w;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
}

void PutText(DrawSurface& dc, TPoint& p, const unsigned char* text, int32_t len, int32_t maxChunk,
             int32_t rightLimit, bool justify, int32_t blankExtra) {
  maxChunk = std::max(maxChunk, 1);
  int32_t i = 0;
  // The next piece: at most maxChunk bytes; when justifying it ends before a blank, and a
  // blank is a piece of its own.
  auto piece = [&](int32_t from) {
    int32_t n = std::min(maxChunk, len - from);
    if (justify) {
      if (text[from] == ' ') return 1;
      for (int32_t k = 1; k < n; ++k)
        if (text[from + k] == ' ') return k;
    }
    return n;
  };
  auto extra = [&](int32_t from, int32_t n) {
    return justify && n == 1 && text[from] == ' ' ? blankExtra : 0;
  };
  // Far-left text is only measured: drawing coordinates stay inside 16 bits.
  while (i < len && p.x < -16383) {
    const int32_t n = piece(i);
    int32_t w = 0;
    dc.TextExtent(text + i, n, w);
    p.x += w + extra(i, n);
    i += n;
  }
  while (i < len && p.x < rightLimit) {
    const int32_t n = piece(i);
    p.x = dc.TextOut(p.x, p.y, text + i, n) + extra(i, n);
    i += n;
  }
}

void WavyLine(DrawSurface& dc, int32_t x1, int32_t x2, int32_t y, int32_t h) {
  // The line lies inside the 16-bit drawing range, so a half-wave is never wider or taller
  // than that range; sums below cannot then pass 32 bits.
  h = std::clamp(h, 1, 65535);
  y = std::clamp(y, INT32_MIN + 65536, INT32_MAX - 65536);
  x1 = std::max(x1, -32768);
  x2 = std::min(x2, 32767);
  int32_t x = x1;
  int32_t cy = y + h;
  dc.MoveTo(x, cy);
  while (x < x2) {
    const int32_t ny = cy == y ? y + h : y;
    if (x + h <= x2) {
      x += h;
      cy = ny;
      dc.LineTo(x, cy);
    } else {
      const int32_t part = x2 - x;  // the last segment is cut at x2, still at 45 degrees
      dc.LineTo(x2, cy + (ny > cy ? part : -part));
      break;
    }
  }
}

// ---- columns ----
namespace {

// Columns are counted in 64 bits: large tab sizes would pass 32 bits after a few tabs.
int64_t NextCol(int64_t col, unsigned char c, int32_t tabSize, bool skipCodes) {
  if (c == '\t') return tabSize > 1 ? (col / tabSize + 1) * tabSize : col + 1;
  if (skipCodes && IsStyleCode(c)) return col;
  return col + 1;
}

int64_t ColAt(TByteView par, int32_t offset, int32_t tabSize, bool skipCodes) {
  const int32_t end = std::clamp<int32_t>(offset, 0, static_cast<int32_t>(par.size()));
  int64_t col = 0;
  for (int32_t i = 0; i < end; ++i) col = NextCol(col, par[static_cast<size_t>(i)], tabSize, skipCodes);
  return col;
}

}  // namespace

int32_t OffsetToCol(TByteView par, int32_t offset, int32_t tabSize, bool skipCodes) {
  return static_cast<int32_t>(std::min<int64_t>(ColAt(par, offset, tabSize, skipCodes), INT32_MAX));
}

// A column left of the text is column 0.
int32_t ColToOffset(TByteView par, int32_t col, int32_t tabSize, bool skipCodes) {
  col = std::max(col, 0);
  int64_t c = 0;
  for (size_t i = 0; i < par.size(); ++i) {
    c = NextCol(c, par[i], tabSize, skipCodes);
    if (c > col) return static_cast<int32_t>(i);
  }
  return static_cast<int32_t>(par.size());
}

// Never negative: the offset found starts at or left of col.
int32_t ColToExtra(TByteView par, int32_t col, int32_t tabSize, bool skipCodes) {
  col = std::max(col, 0);
  return static_cast<int32_t>(col -
                              ColAt(par, ColToOffset(par, col, tabSize, skipCodes), tabSize, skipCodes));
}

// ---- find ----
namespace {

// Tested on the raw text: the delimiter set holds the characters as typed, not upper-cased.
bool WordEdgesOk(const TByteString& t, size_t at, size_t len, const TDelimiters& d) {
  if (at > 0 && !d.test(t[at - 1])) return false;
  if (at + len < t.size() && !d.test(t[at + len])) return false;
  return true;
}

}  // namespace

bool FindTextP(TFindTarget& memo, TByteView text, bool forward, bool matchCase, bool wholeWord,
               bool fromBoundary) {
  if (text.empty()) return false;
  const TParagraphsList& pars = memo.FindParagraphs();
  if (pars.Count() == 0) return false;
  TByteString needle(text);
  if (!matchCase) memo.FindUpperCase(needle);
  const TDelimiters& delims = memo.FindDelimiters();
  const size_t len = needle.size();

  int32_t point =
      fromBoundary ? (forward ? 0 : pars.CharCount) : std::clamp(memo.FindSelStart(), 0, pars.CharCount);
  const int32_t sp = pars.ParFromOffset(point);
  const int32_t so = std::min(point - pars[sp].StartOffset, pars[sp].Length());

  auto hay = [&](int32_t p) {
    TByteString t = pars[p].Text;
    if (!matchCase) memo.FindUpperCase(t);
    return t;
  };
  auto select = [&](int32_t p, size_t at) {
    const int32_t start = pars[p].StartOffset + static_cast<int32_t>(at);
    const int32_t n = static_cast<int32_t>(len);
    if (forward)
      memo.FindSelect(start + n, -n);
    else
      memo.FindSelect(start, n);
  };

  if (forward) {
    for (int32_t p = sp; p < pars.Count(); ++p) {
      const TByteString t = hay(p);
      for (size_t at = t.find(needle, p == sp ? static_cast<size_t>(so) : 0); at != TByteString::npos;
           at = t.find(needle, at + 1)) {
        if (!wholeWord || WordEdgesOk(pars[p].Text, at, len, delims)) {
          select(p, at);
          return true;
        }
      }
    }
    return false;
  }
  for (int32_t p = sp; p >= 0; --p) {
    const TByteString t = hay(p);
    // In the start paragraph a hit must end at or before the start point.
    if (p == sp && static_cast<size_t>(so) < len) continue;
    size_t from = p == sp ? static_cast<size_t>(so) - len : TByteString::npos;
    for (size_t at = t.rfind(needle, from); at != TByteString::npos;
         at = at ? t.rfind(needle, at - 1) : TByteString::npos) {
      if (!wholeWord || WordEdgesOk(pars[p].Text, at, len, delims)) {
        select(p, at);
        return true;
      }
    }
  }
  return false;
}

}  // namespace vestrel
