#pragma once
#include "bench/harness/harness_options.h"
#include "bench/harness/null_engine_window.h"
#include "engine/engine.h"

namespace vestrel::harness {

// Starts the engine's decoders and switches it to the options' mode, speed, shift, filter and
// polarity the way the program's menus do, with both tone pairs centred on centreHz
// (transmit tones at the engine's OutSamplingFreq).
void ApplyModemOptions(TEngine& engine, const ModemOptions& options);

}  // namespace vestrel::harness
