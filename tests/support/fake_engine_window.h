#pragma once
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_window.h"

namespace vestrel::test {

// Records everything the engine asks of the window.
class FakeEngineWindow : public EngineWindow {
 public:
  void SetPanelText(int panel, std::string_view text) override { panels[panel] = std::string(text); }
  void SetMenuChecked(std::string_view item, bool on) override { checked[std::string(item)] = on; }
  void SetMenuVisible(std::string_view item, bool on) override { visible[std::string(item)] = on; }
  void SetMenuEnabled(std::string_view item, bool on) override { enabled[std::string(item)] = on; }
  void SetFilterLabel(std::string_view text) override { filterLabel = std::string(text); }
  void ReportModeToLogger(std::string_view name) override { loggerReports.emplace_back(name); }
  void ReopenKeyingPorts() override { ++keyingReopens; }
  void ShowFileError(std::string_view caption, std::string_view text) override {
    fileErrors.push_back(std::string(caption) + ": " + std::string(text));
  }
  void Post(uint32_t message) override {
    std::lock_guard lock(postMutex);
    posts.push_back(message);
  }

  int PostCount(uint32_t message) {
    std::lock_guard lock(postMutex);
    int n = 0;
    for (uint32_t m : posts) n += (m == message);
    return n;
  }

  std::map<int, std::string> panels;
  std::map<std::string, bool> checked, visible, enabled;
  std::string filterLabel;
  std::vector<std::string> loggerReports;
  int keyingReopens = 0;
  std::vector<std::string> fileErrors;
  std::mutex postMutex;
  std::vector<uint32_t> posts;
};

}  // namespace vestrel::test
