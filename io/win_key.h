#pragma once
#include <chrono>
#include <cstdint>

#include "io/com_handle.h"
#include "io/keying_port_settings.h"
#include "io/message_box.h"
#include "io/ptt_ports.h"
#include "platform/serial_port.h"

namespace vestrel {

// PTT through a WinKey CW keyer (PTT port type 6): its serial port is opened at 1200 Bd 8N1,
// the keyer brought into host mode and its pins set up; afterwards only its PTT command is
// sent. The port is the keying port's handle (PttComHandle), so it and a COM keying port are
// never open together; it is no TxD line, so the COM writer never writes to it.
//
// GUI thread only. Open waits up to about 4.5 s for the keyer, in plain sleeps: nothing else
// runs meanwhile, so nothing can reach the port code half way through.
class TWinKey {
 public:
  struct Links {
    MessageBoxSink* boxes = nullptr;
    ModemLineControl* lines = nullptr;  // null: the system's
  };

  // Result codes of Open.
  enum : int {
    kOpened = 0,
    kNotWinKey = 1,      // PttPortType is not 6
    kOpenError = 2,      // "COM-port open error!"
    kSetupError = 3,     // "SetupComm error!" (buffers need no sizing here)
    kGetStateError = 4,  // "GetCommState error!"
    kSetStateError = 5,  // "SetCommState error!"
    kTimeoutsError = 6,  // "SetCommTimeouts error!" (time-outs are our own; cannot arise)
    kWriteError = 7,     // "Writing to WinKey port error!"
    kNoEcho = 8,         // "WinKey doesn't answer!"
    kHostOpenWrite = 9,  // "Writing to WinKey port error!"
    kNoHostAnswer = 10,  // "WinKey doesn't answer!"
  };
  // Results of WriteByte.
  enum : int { kWritten = 0, kNoPort = 1, kNotTaken = 2 };

  // The text and caption of an Open result's message box (code 2..10).
  static const char* Text(int code);
  static const char* Caption(int code);

  TWinKey(KeyingPortSettings& settings, ComHandle& pttComHandle, Links links);
  // The program's exit closes the keyer once more (nothing when it is closed).
  ~TWinKey();
  TWinKey(const TWinKey&) = delete;
  TWinKey& operator=(const TWinKey&) = delete;

  // Opens the keyer's port (PttPortNumber) and brings it into host mode; 0 on success. On a
  // failure from the open on, the port is closed, PttPortType becomes 0 (no keying) and the
  // message is shown, with nothing held.
  int Open();
  int WriteByte(uint8_t byte);
  // 0x09, then 0x48 when PttPin is 1 (else 0x44).
  int SetPinConfig();
  // 0x18, then 0x01 or 0x00; the second write's result. Nothing (0) while not open.
  int SetPtt(bool on);
  // Ends host mode (0x00 0x03), lets it go out and closes the port. Nothing while not open.
  void Close();
  bool IsOpen() const { return open_; }

  // The waits of the handshake, in ms (tests may shorten the idle ones).
  std::chrono::milliseconds settleWait{400};
  std::chrono::milliseconds readPause{20};
  int readAttempts = 100;
  std::chrono::milliseconds closeWait{100};

 private:
  int Fail(int code);
  // Reads one byte at a time until `wanted` (-1: any byte) arrives; false after readAttempts.
  bool AwaitByte(int wanted);
  bool WriteAll(std::initializer_list<uint8_t> bytes);

  KeyingPortSettings& s_;
  ComHandle& handle_;
  Links links_;
  bool open_ = false;
};

// The keying paths built apart, for the port code: the keyer's calls go to the keyer, the
// others to the hooks given (none: nothing).
class WinKeyHooks final : public KeyingPortHooks {
 public:
  WinKeyHooks(TWinKey& winKey, KeyingPortHooks* others) : winKey_(winKey), others_(others) {}
  void OpenPttRig() override {
    if (others_ != nullptr) others_->OpenPttRig();
  }
  void RigSetPtt(bool on) override {
    if (others_ != nullptr) others_->RigSetPtt(on);
  }
  void WinKeyOpen() override { winKey_.Open(); }
  void WinKeySetPtt(bool on) override { winKey_.SetPtt(on); }
  void WinKeyClose() override { winKey_.Close(); }
  void OpenExchangePort() override {
    if (others_ != nullptr) others_->OpenExchangePort();
  }

 private:
  TWinKey& winKey_;
  KeyingPortHooks* others_;
};

}  // namespace vestrel
