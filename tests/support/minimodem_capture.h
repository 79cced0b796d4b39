#pragma once
#include <filesystem>
#include <fstream>
#include <string>

#include "support/alsa_test_config.h"
#include "support/tool_runner.h"

namespace vestrel::test {

// Makes minimodem's RTTY of `text` (45.45 Bd, the mark on the upper tone of the program's
// default pair) the capture source of ALSA's file plug-in in this process, followed by a minute
// of silence so the device never runs dry. Empty when done, else what failed.
inline std::string UseMinimodemRttyCapture(const std::filesystem::path& dir, const std::string& text) {
  const std::filesystem::path wav = dir / "tx.wav", raw = dir / "in.raw";
  const std::string make =
      "printf %s " + ShellQuote(text) + " | minimodem --tx rtty -M 1785 -S 1615 -R 11025 -f " +
      ShellQuote(wav.string()) + " && sox " + ShellQuote(wav.string()) +
      " -t raw -r 11025 -e signed -b 16 -c 1 -L " + ShellQuote(raw.string()) + " gain -6";
  const ToolResult made = RunTool(make);
  if (made.exitCode != 0) return made.err.empty() ? "minimodem or sox failed" : made.err;
  std::ofstream(raw, std::ios::binary | std::ios::app) << std::string(11025 * 2 * 60, '\0');
  AlsaTestConfig::Use(AlsaTestConfig::WriteFilePcm(dir, raw, dir / "out.raw"));
  return {};
}

}  // namespace vestrel::test
