#pragma once
#include <cstdint>
#include <string_view>

namespace vestrel {

// What the transmit pumps need of the rest of the program, one small interface each. The main
// window and the keying layer implement them; tests fake them. GUI thread only.

// The transmitter's push-to-talk line.
class PttControl {
 public:
  virtual void SetPtt(bool on) = 0;

 protected:
  ~PttControl() = default;
};

// The transmit text control: the typing window's pump and the sent-text display.
class TxTextPump {
 public:
  // One pass of the text pump: at most one typed character into the symbol queue.
  virtual void PumpTxText() = 0;
  // Shows one character of the SentEchoQueue in the sent-text window.
  virtual void ShowSentChar() = 0;
  // True when the send position has reached the end of the typed text.
  virtual bool InputAllSent() const = 0;
  // The Pause switch (a queued pause point turns it on).
  virtual void SetPause(bool on) = 0;
  // The TX button's state (up when a transmission has ended).
  virtual void SetTxButton(bool down) = 0;

 protected:
  ~TxTextPump() = default;
};

// Notifications to the logging program (link command codes: 110 receive, 111 transmit, ...).
class LoggerLink {
 public:
  virtual void NotifyCommand(int command) = 0;

 protected:
  ~LoggerLink() = default;
};

// The keying port that can also carry the start-stop codes on its TxD line.
class TxKeyingPort {
 public:
  virtual bool KeyingPortOpen() const = 0;
  // Hands one code byte to the serial writer; never blocks.
  virtual void WriteTxdByte(uint8_t code) = 0;

 protected:
  ~TxKeyingPort() = default;
};

// A fatal failure: shown once, then the program shuts down in order (PTT off, files closed).
class FatalErrorSink {
 public:
  virtual void ShowError(std::string_view text, std::string_view caption) = 0;
  virtual void RequestTerminate() = 0;

 protected:
  ~FatalErrorSink() = default;
};

}  // namespace vestrel
