#include "engine/tx_symbol_queue.h"

namespace vestrel {

bool TxSymbolQueue::PostTxSymbol(TxSymbol symbol) {
  if (!ring_.Push(symbol)) return false;
  poster_.Post(WM_PUMP_TX);
  return true;
}

bool SentEchoQueue::PostSentEcho(int32_t character) {
  if (!ring_.Push(character)) return false;
  poster_.Post(WM_SENT_ECHO);
  return true;
}

bool SentEchoQueue::Take(int32_t& character) {
  if (ring_.Empty()) return false;
  character = ring_.Head();
  ring_.Pop();
  return true;
}

}  // namespace vestrel
