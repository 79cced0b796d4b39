#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/modem_params.h"
#include "io/keying_port_settings.h"
#include "io/message_box.h"
#include "io/port_io.h"
#include "io/serial_workers.h"
#include "platform/serial_port.h"

namespace vestrel {

// The keying paths built apart from the ports: the rig-control server (PTT types 4 and 5),
// the WinKey keyer (type 6) and the data-exchange port. Each default does nothing.
class KeyingPortHooks {
 public:
  virtual ~KeyingPortHooks() = default;
  virtual void OpenPttRig() {}
  virtual void RigSetPtt(bool /*on*/) {}
  virtual void WinKeyOpen() {}
  virtual void WinKeySetPtt(bool /*on*/) {}
  virtual void WinKeyClose() {}
  virtual void OpenExchangePort() {}
};

// What the keying ports need of the rest of the program.
struct PttPortsLinks {
  MessageBoxSink* boxes = nullptr;
  KeyingPortHooks* hooks = nullptr;     // null: none of those paths
  ModemLineControl* lines = nullptr;    // null: the system's
  std::function<bool()> transmitting;   // TxState != 0; null: never
  bool* useTxD = nullptr;               // FSK on the PTT port's TxD line, cleared when it is shared
  const TModemParams* modem = nullptr;  // the mode and speed a TxD line follows; null: none
};

// The keying port (PTT) and, with it, the data-exchange port: the choice of port, the line
// masks, opening and closing (always together), and SetPtt. GUI thread only; the workers
// reach the COM ports through the handles and semaphores of WorkerShared.
class TPttPorts {
 public:
  static constexpr const char* kComCaption = "Vestrel - COM-port error";
  static constexpr uint8_t kDtr = 1;  // line mask bits of a COM port
  static constexpr uint8_t kRts = 2;

  TPttPorts(KeyingPortSettings& settings, TPortIO& portIO, std::shared_ptr<WorkerShared> shared,
            PttPortsLinks links);
  ~TPttPorts();
  TPttPorts(const TPttPorts&) = delete;
  TPttPorts& operator=(const TPttPorts&) = delete;

  // Closes the ports first (unkeying them as they were opened), then stores the clamped
  // values, sets the masks and reopens.
  void SetPttPort(int type, int number, int pttPin, int powerPin1, int powerPin2);
  // n outside 1..99: none.
  void SetDataExchangePort(int n);
  // OpenPttPort, then the exchange port; keyed again when transmitting. After a mode or speed
  // change a COM keying port that stays the same device is set up again without being
  // closed: a reopen would raise its lines for a moment. A WinKey keyer on the same device
  // stays as it is, in host mode.
  void ReopenPorts();
  void OpenPttPort();
  // The data-exchange port (called through KeyingPortHooks::OpenExchangePort by ReopenPorts):
  // with SharedComPort it is the keying port's own object; else COM ExchangePortNumber
  // (1..99) at ExchangeSpeed, 8N1, RTS and DTR on. Failures are reported as for the keying
  // port and leave it closed.
  void OpenExchangePort();
  // Unkeys as the ports were opened, ends pending transfers, then forgets the handles under
  // both semaphores. A semaphore wait that times out takes nothing and so releases nothing;
  // a port still in a worker's hands closes when the worker lets go.
  void ClosePorts();
  void ClosePorts(std::chrono::milliseconds semaphoreWait);
  // The program's last close: after it nothing opens or keys a port again, not even a call
  // that was under way (a message box runs a message loop, in which the window may close).
  void Shutdown(std::chrono::milliseconds semaphoreWait);
  void SetPtt(bool on);
  // The keying port is a COM port (type 1) whose TxD line may carry the start-stop codes.
  bool KeyingPortOpen() const;
  // Queues one code for the TxD line (the COM writer sends it); never blocks.
  void WriteTxdByte(uint8_t code);
  // Shows the COM writer's failed write once, if one waits (WM_COM_WRITE_ERROR).
  void ShowComWriteError();
  // 0 when the port-I/O driver is open, -2 at once after an earlier failure, -1 on failure
  // (reported once, with a beep).
  int OpenPortDriver();

  // Derived state.
  uint8_t PttLineMask = 0;
  uint8_t PowerLineMask = 0;
  bool SharedComPort = false;
  uint16_t LptBaseAddress = 0;
  bool PortDriverMissing = false;

  // The wait for each port semaphore (10000 ms; tests shorten it).
  std::chrono::milliseconds semaphoreWait{10000};

  const std::shared_ptr<WorkerShared>& shared() const { return shared_; }

 private:
  // The type and masks a keying path was opened with; SetPtt and ClosePorts use these.
  struct Keying {
    int type = 0;
    uint8_t ptt = 0;
    uint8_t power = 0;
  };

  void ComputeMasks();
  void UpdateSharedComPort();
  void OpenComPort();
  void OpenParallelPort();
  bool ReconfigureInPlace();
  SerialFormat ComFormat() const;
  void WakeComWriter();
  void SetIdleLines(SerialPort& port, uint8_t power);
  void Report(const char* text);
  void ShowMessage(const char* caption, const std::string& text);
  bool Transmitting() const { return links_.transmitting && links_.transmitting(); }

  KeyingPortSettings& s_;
  TPortIO& portIO_;
  std::shared_ptr<WorkerShared> shared_;
  PttPortsLinks links_;
  KeyingPortHooks noHooks_;
  KeyingPortHooks& hooks_;
  Keying keying_;
  bool shutDown_ = false;
};

}  // namespace vestrel
