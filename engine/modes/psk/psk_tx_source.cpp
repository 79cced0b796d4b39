#include "engine/modes/psk/psk_tx_source.h"

#include "engine/mode_table.h"
#include "engine/modes/psk/psk_rate.h"

namespace vestrel {

bool TPskTxSource::SelectMode(const ModeRow& row) {
  const int code = PskRateCode(row.symbolRate);
  if (code == 0) return false;
  shaper_.SetPskRate(code);
  return characters_.SelectMode(row);
}

}  // namespace vestrel
