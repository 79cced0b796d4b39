#pragma once
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace vestrel::test {

// The private sound world of the interop tests: a PulseAudio daemon of the test's own with two
// null sinks, "rx" (what the peer hears: the default source is its monitor) and "tx" (where
// the peer plays: the default sink), on a socket in a temporary directory, with an Xvfb
// display for peers that need one. Everything it starts is stopped by the destructor.
class PrivateSoundWorld {
 public:
  PrivateSoundWorld();
  ~PrivateSoundWorld();
  PrivateSoundWorld(const PrivateSoundWorld&) = delete;
  PrivateSoundWorld& operator=(const PrivateSoundWorld&) = delete;

  // Both the daemon and the display answer; why not, otherwise.
  bool Ready() const { return error_.empty(); }
  const std::string& Error() const { return error_; }

  const std::string& Dir() const { return dir_; }
  // The environment a peer runs with: HOME, XDG_RUNTIME_DIR, PULSE_SERVER and DISPLAY.
  std::vector<std::string> Environment() const;
  std::string PulseServer() const { return "unix:" + dir_ + "/pulse.sock"; }

  // Plays raw signed 16-bit little-endian mono samples at `rate` into "rx"; returns once they
  // have been played.
  bool Play(const std::string& rawPath, int rate);
  // Records what the peer plays ("tx") as raw 16-bit mono at `rate` into rawPath until
  // StopRecording.
  bool StartRecording(const std::string& rawPath, int rate);
  void StopRecording();

 private:
  std::string dir_;
  std::string display_;
  std::string error_;
  std::unique_ptr<ChildProcess> pulse_;
  std::unique_ptr<ChildProcess> xvfb_;
  std::unique_ptr<ChildProcess> recorder_;
};

// fldigi, headless on the world's display and sound, driven over XML-RPC. Its server listens
// on every address whatever its options say, so it runs in a network namespace of its own and
// is reached from inside that namespace.
class FldigiPeer {
 public:
  explicit FldigiPeer(PrivateSoundWorld& world);
  ~FldigiPeer();
  FldigiPeer(const FldigiPeer&) = delete;
  FldigiPeer& operator=(const FldigiPeer&) = delete;

  bool Ready() const { return ready_; }

  // One XML-RPC call; arguments typed by prefix: "i:1500" an int, "b:1" a boolean, anything
  // else a string. Returns the result as text (binary results as their bytes), or "" with ok
  // false on a fault.
  std::string Call(const std::string& method, const std::vector<std::string>& args = {}, bool* ok = nullptr);

  // Switches mode (fldigi's name, "BPSK31", "QPSK63"...) and carrier, AFC and squelch off.
  bool SetUp(const std::string& mode, int carrierHz);
  // Sends the text and waits for the transmission to end (at most `limit`).
  bool Transmit(const std::string& text, std::chrono::seconds limit);
  std::string ReceivedText() { return Call("text.get_rx", {"i:0", "i:100000"}); }

 private:
  PrivateSoundWorld& world_;
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

// psk31lx, listening on the world's sound in a tmux session of the test's own (its server a
// child of the test); what it received is read off its screen.
class Psk31lxPeer {
 public:
  Psk31lxPeer(PrivateSoundWorld& world, bool qpsk, int carrierHz);
  ~Psk31lxPeer();
  Psk31lxPeer(const Psk31lxPeer&) = delete;
  Psk31lxPeer& operator=(const Psk31lxPeer&) = delete;

  bool Ready() const { return ready_; }
  // The receive window's text, its lines joined, trailing blanks dropped.
  std::string ReceivedText() const;

 private:
  std::string Tmux(const std::string& args) const;
  PrivateSoundWorld& world_;
  std::string socket_;
  std::unique_ptr<ChildProcess> server_;
  bool ready_ = false;
};

}  // namespace vestrel::test
