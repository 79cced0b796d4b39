#include "engine/modes/ps2x5/ps2x5_block.h"

#include "engine/codes/fcs16.h"
#include "engine/codes/reed_solomon31.h"

namespace vestrel {

namespace {

// Information symbols 0..11 from the bytes and the counter: 60 bits, five to a symbol, the
// first bit the most significant.
void PackInfo(const BlockBytes& bytes, int counter, uint8_t* info) {
  uint64_t bits = 0;
  for (uint8_t b : bytes) bits = (bits << 8) | b;
  bits = (bits << 4) | static_cast<uint64_t>(counter & 15);
  for (int s = 11; s >= 0; --s) {
    info[s] = static_cast<uint8_t>(bits & 31);
    bits >>= 5;
  }
}

}  // namespace

uint16_t BlockCheck(const uint8_t* info12, bool end) {
  uint16_t crc = kFcs16Preset;
  for (int i = 0; i < 12; ++i) crc = Fcs16Step(info12[i], crc);
  return static_cast<uint16_t>((crc ^ (end ? kEndBlockMask : kDataBlockMask)) & 0x7FFF);
}

BlockSymbols BuildBlockSymbols(const TReedSolomon31& rs, const BlockBytes& bytes, bool end, int counter) {
  BlockSymbols out{};
  uint8_t* info = out.data() + kBlockParity;
  PackInfo(bytes, counter, info);
  const uint16_t check = BlockCheck(info, end);
  info[12] = static_cast<uint8_t>((check >> 10) & 31);
  info[13] = static_cast<uint8_t>((check >> 5) & 31);
  info[14] = static_cast<uint8_t>(check & 31);
  rs.Encode(info, out.data());
  return out;
}

BlockContent ReadBlock(const BlockSymbols& symbols) {
  BlockContent c;
  const uint8_t* info = symbols.data() + kBlockParity;
  const uint16_t check = static_cast<uint16_t>(((info[12] & 31) << 10) | ((info[13] & 31) << 5) | (info[14] & 31));
  if (check == BlockCheck(info, false)) {
    c.kind = BlockContent::kData;
  } else if (check == BlockCheck(info, true)) {
    c.kind = BlockContent::kEnd;
  } else {
    return c;
  }
  uint64_t bits = 0;
  for (int s = 0; s < 12; ++s) bits = (bits << 5) | (info[s] & 31);
  c.counter = static_cast<int>(bits & 15);
  bits >>= 4;
  for (int i = kBlockBytes - 1; i >= 0; --i) {
    c.bytes[i] = static_cast<uint8_t>(bits & 0xFF);
    bits >>= 8;
  }
  c.length = kBlockBytes;
  if (c.kind == BlockContent::kEnd) {
    // From the end: zeros, then the 0x04; the text before it may hold any byte.
    int last = kBlockBytes - 1;
    while (last >= 0 && c.bytes[last] == 0) --last;
    if (last < 0 || c.bytes[last] != kEndOfText) return BlockContent{};
    c.length = last;
  }
  return c;
}

}  // namespace vestrel
