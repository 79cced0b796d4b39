#pragma once
#include <cstdint>
#include <string_view>

#include "engine/engine_window.h"
#include "engine/rx_text_sink.h"

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

// A received-text sink that drops every character.
class NullRxSink final : public RxTextSink {
 public:
  void PutRxChar(uint8_t) override {}
  void PutRxString(std::string_view) override {}
};

}  // namespace vestrel::harness
