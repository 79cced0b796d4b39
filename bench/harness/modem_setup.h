#pragma once
#include "bench/harness/harness_options.h"
#include "engine/engine.h"
#include "engine/engine_window.h"

namespace vestrel::harness {

// A window that shows nothing: the headless tools run the engine without one.
class NullEngineWindow final : public EngineWindow {
 public:
  void SetPanelText(int, std::string_view) override {}
  void SetMenuChecked(std::string_view, bool) override {}
  void SetMenuVisible(std::string_view, bool) override {}
  void SetMenuEnabled(std::string_view, bool) override {}
  void SetFilterLabel(std::string_view) override {}
  void ReportModeToLogger(std::string_view) override {}
  void ReopenKeyingPorts() override {}
  void Post(uint32_t) override {}
};

// Starts the engine's decoders and switches it to the options' mode, speed, shift, filter and
// polarity the way the program's menus do, with both tone pairs centred on centreHz
// (transmit tones at the engine's OutSamplingFreq).
void ApplyModemOptions(TEngine& engine, const ModemOptions& options);

}  // namespace vestrel::harness
