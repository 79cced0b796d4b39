#pragma once
#include <cstdint>

#include "engine/tx_symbol_queue.h"

namespace vestrel {

// CW identification: queues one character as Morse for the transmit pump, which keys the PSK
// carrier through the symbol shaper. Each element is a dah (-9) or a dit (-8), first element
// first, and a gap (-10) closes the character; a character without a code (a space) queues
// two gaps, a word space. Posted with PostTxSymbol, so the pump is told.
void SendMorseChar(TxSymbolQueue& queue, uint8_t character);

}  // namespace vestrel
