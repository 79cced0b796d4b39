#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

class TReedSolomon31;

// The block of both block modes, PS2X5 and PS33X5: 7 bytes of text with a 4-bit counter, a
// 15-bit check and Reed-Solomon parity, as 31 symbols of 5 bits sent in this order:
//   0..15   the Reed-Solomon parity of the 15 information symbols;
//   16..27  information 0..11: the 56 bits of the bytes, most significant bit of byte 0 first,
//           then the counter (symbol 11 is the lowest bit of byte 6 and the counter);
//   28..30  information 12..14: the check c XOR 0x357A (a data block) or c XOR 0x53A7 (an end
//           block), bits 14..10, 9..5 and 4..0, where c is the frame check register (Fcs16Step
//           from 0xFFFF) over information 0..11, one byte 0..31 each.
// An end block carries the last characters of a message, then 0x04, then zeros. Counters run
// 8, 9, ... 15, 0, 1, ... 7, 0, ...: a transmission starts at 8.
inline constexpr int kBlockSymbols = 31;
inline constexpr int kBlockBytes = 7;
inline constexpr int kBlockInfo = 15;
inline constexpr int kBlockParity = 16;
inline constexpr uint16_t kDataBlockMask = 0x357A;
inline constexpr uint16_t kEndBlockMask = 0x53A7;
inline constexpr uint8_t kEndOfText = 0x04;
inline constexpr int kFirstBlockCounter = 8;

using BlockSymbols = std::array<uint8_t, kBlockSymbols>;
using BlockBytes = std::array<uint8_t, kBlockBytes>;

// The counter after `counter`: + 1, and after 7 or 15 back to 0.
constexpr int NextBlockCounter(int counter) {
  return (counter == 7 || counter == 15) ? 0 : counter + 1;
}

// The 15-bit check of information symbols 0..11 for a data block (end false) or an end block.
uint16_t BlockCheck(const uint8_t* info12, bool end);

// The 31 symbols of a block.
BlockSymbols BuildBlockSymbols(const TReedSolomon31& rs, const BlockBytes& bytes, bool end, int counter);

// What a corrected block holds.
struct BlockContent {
  enum Kind : uint8_t { kNone, kData, kEnd } kind = kNone;  // kNone: the check fits neither
  int counter = 0;     // 0..15
  BlockBytes bytes{};  // the 7 bytes as sent
  int length = 0;      // characters: 7 for a data block, those before the 0x04 of an end block
};

// Reads a corrected block: its check, counter and text. An end block whose bytes do not end in
// a 0x04 followed only by zeros is kNone.
BlockContent ReadBlock(const BlockSymbols& symbols);

}  // namespace vestrel
