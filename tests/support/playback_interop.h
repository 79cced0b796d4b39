#pragma once
// The window's real playback path into a file for outside decoders: the ALSA file plug-in
// of AlsaTestConfig as the card (capture reads silence, playback writes a raw file), a keying
// line that records each switch, and the recording converted with sox and decoded with
// minimodem as RTTY 45.45 Bd on the program's default tones.
#include <semaphore.h>

#include <QTest>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/rx_form.h"
#include "support/alsa_test_config.h"
#include "support/fake_sound_links.h"
#include "support/qt_test_app.h"
#include "support/recording_form.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel::test {

// The keying line, with how much audio the playback file held at each switch.
class RecordingPtt : public PortsPart {
 public:
  explicit RecordingPtt(std::filesystem::path out) : out_(std::move(out)) {}
  void SetPtt(bool on) override {
    std::error_code ec;
    const auto size = std::filesystem::exists(out_, ec) ? std::filesystem::file_size(out_, ec) : 0;
    switches.push_back(
        {on, static_cast<uint64_t>(size), buffers != nullptr ? buffers->InFlight.load() : 99u});
  }
  struct Switch {
    bool on;
    uint64_t bytes;     // in the playback file
    uint32_t inFlight;  // playback buffers written and not yet played
  };
  std::vector<Switch> switches;
  // Transmissions begun: the PTT is switched off more than once at the end of some.
  size_t Keyings() const {
    size_t n = 0;
    for (const Switch& s : switches) n += s.on ? 1 : 0;
    return n;
  }
  const TxAudioBuffers* buffers = nullptr;

 private:
  std::filesystem::path out_;
};

// Polls the event loop (timers run) until `done` or about `ms` milliseconds.
inline bool WaitUntil(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms && !done(); waited += 25) QTest::qWait(25);
  return done();
}

class PlaybackInterop {
 public:
  // The outside program a test needs and does not find, or empty.
  static std::string MissingTool() {
    for (const char* tool : {"minimodem", "sox"}) {
      if (!HaveProgram(tool)) return tool;
    }
    return {};
  }

  PlaybackInterop() : in_(dir_ / "in.raw"), out_(dir_ / "out.raw"), ini_(dir_ / "VESTREL.INI"), ptt(out_) {
    // Silence to receive, more than a test reads.
    std::ofstream(in_, std::ios::binary) << std::string(11025 * 2 * 60, '\0');
    AlsaTestConfig::Use(AlsaTestConfig::WriteFilePcm(dir_.path(), in_, out_));
    std::ofstream(ini_, std::ios::binary) << "[RTTY]\r\n";
    TestApp();
  }

  // The window's dependencies: the recording keying line, message boxes kept, no D-Bus.
  TRxFormDeps Deps(const std::string& presence) {
    TRxFormDeps deps;
    deps.boxes = &boxes;
    deps.ports = &ptt;
    deps.useDBus = false;
    deps.args = {"/F", ini_.string()};
    deps.presenceName = UniqueSemaphoreName(presence.c_str());
    return deps;
  }

  // Shows the form and waits for its engine to run.
  void Start(TRxForm& form) {
    ptt.buffers = &form.engine().txBuffers;
    form.show();
    WaitUntil([&] { return form.EngineStarted; }, 10000);
  }

  static void Finish(TRxForm& form) {
    form.close();
    sem_unlink(form.presence().name().c_str());
  }

  // What minimodem reads from the playback recording so far.
  std::string Decode() const {
    const std::filesystem::path wav = dir_ / "out.wav";
    const ToolResult converted = RunTool("sox -t raw -r 11025 -e signed -b 16 -c 1 -L " +
                                         ShellQuote(out_.string()) + " " + ShellQuote(wav.string()));
    if (converted.exitCode != 0) return "sox failed: " + converted.err;
    return RunTool("minimodem --rx rtty -M 1785 -S 1615 -q -f " + ShellQuote(wav.string())).out;
  }

  const std::filesystem::path& playbackFile() const { return out_; }

 private:
  TempDir dir_;
  std::filesystem::path in_, out_, ini_;
  ScopedWorkingDir cwd_;

 public:
  RecordingPtt ptt;
  RecordingMessageBox boxes;
};

}  // namespace vestrel::test
