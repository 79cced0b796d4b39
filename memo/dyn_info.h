#pragma once
#include <array>
#include <cstdint>
#include <memory>

namespace vestrel {

// Flags byte of a dynamic attribute.
inline constexpr uint8_t kDynBold = 0x01;
inline constexpr uint8_t kDynItalic = 0x02;
inline constexpr uint8_t kDynUnderline = 0x04;
inline constexpr uint8_t kDynStrikeOut = 0x08;
inline constexpr uint8_t kDynHighlight = 0x10;
inline constexpr uint8_t kDynAltFont = 0x20;
inline constexpr uint8_t kDynFlag1 = 0x40;   // with kDynActive: the record carries a parse level
inline constexpr uint8_t kDynActive = 0x80;  // without it colours, context and collapse level are ignored

// dInfoCollpsStates
inline constexpr uint8_t smdCollapsible = 0x01;
inline constexpr uint8_t smdCollapsed = 0x02;

inline constexpr int kDynKeyCount = 18;  // 0..15 openers of each parse level, 16/17 open/close lengths

// One dynamic attribute laid over the text from Start on. Written out (undo, styled strings)
// as 58 packed little-endian bytes in field order.
struct DynInfoRec {
  int32_t Start = 0;  // offset in the paragraph; a paragraph's start record uses it as its count
  uint8_t Flags = 0;
  uint8_t Level = 0xFF;  // parse nesting level, 0xFF = none
  uint8_t CollapseLevel = 0;
  uint8_t CollapseStates = 0;
  int32_t Backgnd = 0;
  int32_t Foregnd = 0;
  int32_t Context = 0;
  int16_t Cursor = 0;
  std::array<int16_t, kDynKeyCount> Keys{};
};

inline constexpr size_t kDynInfoRecSize = 58;

void DynInfoToBytes(const DynInfoRec& rec, unsigned char out[kDynInfoRecSize]);
DynInfoRec DynInfoFromBytes(const unsigned char in[kDynInfoRecSize]);

// Parse level when the record carries one, else -1.
int DynToLevel(const DynInfoRec& rec);
int32_t DynToContext(const DynInfoRec& rec);
int DynToCollapseLevel(const DynInfoRec& rec);

// Whether two records are the same attribute (Start is not compared).
bool SameDynAttrib(const DynInfoRec& a, const DynInfoRec& b);

// A paragraph's start attribute: shared between paragraphs, null = the shared empty record.
using TDynRef = std::shared_ptr<const DynInfoRec>;

// The shared empty record (inactive).
const DynInfoRec& EmptyDynInfo();

}  // namespace vestrel
