#include "engine/modes/psk/cw_ident.h"

#include <bit>

#include "engine/codes/morse_table.h"

namespace vestrel {

void SendMorseChar(TxSymbolQueue& queue, uint8_t character) {
  const uint32_t code = kMorseTable[character];
  if (code == 0) {
    queue.PostTxSymbol(kTxCwGap);
    queue.PostTxSymbol(kTxCwGap);
    return;
  }
  // The elements follow the leading 1 bit, most significant first.
  for (int b = std::bit_width(code) - 2; b >= 0; --b)
    queue.PostTxSymbol(((code >> b) & 1u) ? kTxCwDah : kTxCwDit);
  queue.PostTxSymbol(kTxCwGap);
}

}  // namespace vestrel
