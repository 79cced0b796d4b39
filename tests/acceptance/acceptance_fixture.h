#pragma once
// The real program as an operator meets it: its own X server (Xvfb) with a window manager
// (openbox), its own session bus, a fresh HOME and working directory, and ALSA's default
// device made of a capture file and a playback file. The test acts only through X (key
// presses, clicks) and files, and judges by the screen, the played audio and the files.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vestrel::test {
class ChildProcess;
}

namespace vestrel::acceptance {

namespace fs = std::filesystem;

constexpr int kSampleRate = 11025;  // the program's default sound card rate

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};

// The screen's pixels as 0xRRGGBB.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;

  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  // The part inside `r` (clipped to the screen).
  Screenshot Crop(const Rect& r) const;
  // The pixels of `r` whose colour differs from `background`.
  int CountNot(uint32_t background, const Rect& r) const;
  // Glyph edges in `r`: pixels not `background` with `background` right beside them (left or
  // right). Text gives many; a rule drawn across gives only its two ends.
  int CountInk(uint32_t background, const Rect& r) const;
  // The colour most pixels of `r` have.
  uint32_t MostCommon(const Rect& r) const;
  // As a binary PPM (P6), for a person to look at.
  bool SavePpm(const fs::path& path) const;
};

// The receive window in a shot of the main window's client area taken while it is still blank
// (before text arrives): the tallest single-coloured run down the middle column in the upper
// two thirds, widened to that colour's extent along its middle row, less a margin of 2 pixels.
// An empty Rect when there is none.
Rect FindReceivePane(const Screenshot& windowShot);

struct SessionOptions {
  // The text of VESTREL.INI in the working directory; none at all for a first start.
  std::optional<std::string> settings;
  // What the sound card delivers (16-bit mono at kSampleRate); silence follows it.
  std::vector<int16_t> capture;
  // Seconds of silence after `capture` (the capture device replays stale audio once its file ends).
  int silenceSeconds = 120;
  // Arguments for the program, e.g. {"/C", "capture.txt"}; relative paths are in WorkDir().
  std::vector<std::string> args;
  // Extra environment for the program, "NAME=value".
  std::vector<std::string> env;
  int screenWidth = 1280, screenHeight = 1024;
  // Key a rig through rigctld (Hamlib's dummy rig, PTT by CAT) so that RigKeyed() tells when
  // the program transmits. The fixture adds a section [Rigctld] to the settings; `settings`
  // must then set PttPortType=5 in its [RTTY] section (without settings the fixture writes one).
  bool rigKeying = false;
};

class AcceptanceSession {
 public:
  explicit AcceptanceSession(SessionOptions options = {});
  // Ends everything it started (the program first), on every path.
  ~AcceptanceSession();
  AcceptanceSession(const AcceptanceSession&) = delete;
  AcceptanceSession& operator=(const AcceptanceSession&) = delete;

  // Starts the X server, the window manager, the bus and the program, and waits until the
  // window "Vestrel" is mapped and framed. ASSERT_TRUE(session.Start()).
  ::testing::AssertionResult Start();
  // Starts the program again (after it ended) in the same world: same files, same X server.
  ::testing::AssertionResult Restart();
  // Start, then waits until the engine runs and the rig answers unkeyed (SessionOptions::rigKeying):
  // the program is ready for the TX key.
  ::testing::AssertionResult StartReadyToKey();

  const fs::path& Dir() const { return dir_; }  // holds WorkDir() and Home()
  fs::path WorkDir() const { return dir_ / "work"; }
  fs::path Home() const { return dir_ / "home"; }
  fs::path SettingsPath() const { return WorkDir() / "VESTREL.INI"; }
  fs::path PlaybackPath() const { return dir_ / "playback.raw"; }
  // Appended, not prefixed: GCC 12 takes the prefix insert inlined for an overlapping copy (-Wrestrict).
  std::string Display() const { return std::string(":").append(std::to_string(display_)); }
  // The program's stderr and stdout so far.
  std::string ProgramOutput() const;

  // Waits for `done`, checking every 100 ms; false once `limit` passed.
  static bool WaitFor(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(60));

  // ---- acting as a person ----
  // The main window's X id ("" before it is mapped).
  const std::string& Window() const { return window_; }
  // Raises the main window and gives it the keyboard.
  bool Activate();
  // Presses keys by xdotool's names, e.g. "F1", "ctrl+shift+z", "Return"; one call may hold several.
  bool Key(const std::string& keys);
  // Types text as key presses.
  bool Type(const std::string& text);
  // A click at a point relative to the main window's client area.
  bool Click(int x, int y, int button = 1);
  // Presses at one point, moves to another and releases there (relative to the client area).
  bool Drag(int x0, int y0, int x1, int y1);
  // Runs xdotool with these arguments (for what the helpers above do not cover).
  bool XdoTool(const std::vector<std::string>& args, std::string* out = nullptr) const;

  // ---- what a person sees ----
  // The client area of the main window on the screen.
  Rect Geometry() const;
  // The window manager's frame around it (the client area when it has none).
  Rect FrameGeometry() const;
  // The whole screen as it is now.
  Screenshot Shot() const;
  // The main window's client area as it is now.
  Screenshot WindowShot() const;
  // Saves a screenshot to build/<name>/tests/screenshots/<name>.ppm for a person to look at.
  void KeepShot(const Screenshot& shot, const std::string& name) const;

  // ---- what a person hears and finds ----
  // The samples played so far (16-bit mono at kSampleRate), every transmission one after the
  // other, from sample `from` on. The sound card plays in real time: the program writes into a
  // pipe that the fixture drains at the sample rate, so that a transmission lasts as long as
  // on the air (ALSA's file plug-in alone would take its audio at once).
  std::vector<int16_t> Playback(size_t from = 0) const;
  size_t PlaybackSamples() const;
  // Waits until everything the program has written to the sound card has been played.
  bool WaitPlaybackDrained(std::chrono::milliseconds limit = std::chrono::seconds(30)) const;
  // How many samples the sound card has delivered to the program since it last opened the
  // sound input (it delivers in real time from SessionOptions::capture, then silence; the
  // program closes the input while it transmits, and on reopening the file starts over).
  size_t CapturedSamples() const;
  // A file's bytes ("" when missing); a relative path is in WorkDir().
  std::string ReadFile(const fs::path& path) const;

  // ---- the rig (SessionOptions::rigKeying) ----
  // Whether the rig is keyed now; nullopt when its daemon does not answer.
  std::optional<bool> RigKeyed() const;
  // Waits until the rig is keyed (or released); false after `limit`.
  bool WaitRigKeyed(bool keyed, std::chrono::milliseconds limit = std::chrono::seconds(60)) const;
  // Waits for the engine start: the sound card begins to deliver.
  bool WaitEngineStarted(std::chrono::milliseconds limit = std::chrono::seconds(60)) const;

  // ---- ending ----
  // A click on the close button of the window's title bar.
  bool ClickCloseButton();
  // Sends SIGTERM to the program.
  bool Terminate();
  // Waits for the program's end; its exit status, -1 if it did not end in `limit` (then it is
  // killed) or died by a signal.
  int WaitExit(std::chrono::milliseconds limit = std::chrono::seconds(60));
  bool ProgramRunning() const { return program_ > 0; }
  pid_t ProgramPid() const { return program_; }

 private:
  ::testing::AssertionResult StartWorld();
  ::testing::AssertionResult StartProgram();
  pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const fs::path& cwd,
              const fs::path& output, int passFd = -1) const;
  void EndGroup(pid_t& pid, std::chrono::milliseconds grace);
  std::vector<std::string> XEnv() const;

  SessionOptions options_;
  fs::path dir_;
  int display_ = -1;
  pid_t xserver_ = -1, wm_ = -1, bus_ = -1, program_ = -1;
  std::string busAddress_;
  std::string exchangePrefix_;
  std::string window_;
  int exitStatus_ = -1;
  void Drain();
  std::thread drain_;
  std::atomic<bool> stopDrain_{false};
  int fifo_ = -1;
  uint16_t rigPort_ = 0;
  std::unique_ptr<test::ChildProcess> rig_;
};

// Audio helpers.
// The samples of a WAV file's data chunk (16-bit mono PCM); empty on failure.
std::vector<int16_t> ReadWavSamples(const fs::path& wav);
// minimodem's RTTY (45.45 Bd, the program's default pair: mark 1785 Hz, space 1615 Hz) of `text`.
std::vector<int16_t> MinimodemRtty(const std::string& text);
// What `vestrel-decode --mode <mode>` makes of samples; nullopt when the tool is missing.
std::optional<std::string> DecodeWithVestrel(const std::vector<int16_t>& samples, const std::string& mode,
                                             const std::vector<std::string>& extraArgs = {});
// Text as RTTY carries it: upper case, every run of blanks and line ends one blank, none at
// either end.
std::string RttyPlain(const std::string& text);

// Waits until the receive window is drawn at least minWidth by minHeight (see FindReceivePane)
// and sets `pane`; returns the shot it was found in. `pane` stays empty when it never shows.
Screenshot WaitReceivePane(const AcceptanceSession& session, int minWidth, int minHeight, Rect& pane);
// What the session played from sample `from` on, decoded as RTTY 45.45 Bd on the default
// tones, in RttyPlain form.
std::string HeardRtty(const AcceptanceSession& session, size_t from);
// The samples between the first and the last that are not silent (|s| > threshold), with
// `margin` samples either side; empty when everything is silent.
std::vector<int16_t> TrimSilence(const std::vector<int16_t>& samples, int threshold = 200, size_t margin = 0);

// Why a test cannot run here (a tool missing, not a Release build); "" when it can.
std::string MissingForAcceptance();

// A story's test: skipped where MissingForAcceptance() names something.
class AcceptanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = MissingForAcceptance();
    if (!missing.empty()) GTEST_SKIP() << missing;
  }
};

}  // namespace vestrel::acceptance
