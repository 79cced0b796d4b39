#pragma once
#include <functional>
#include <memory>

#include "app/app_settings.h"
#include "app/form_parts.h"
#include "io/port_io.h"
#include "io/ptt_ports.h"
#include "io/win_key.h"
#include "platform/port_backend.h"

namespace vestrel {

// The window's keying ports: the port code over the serial ports, the port-I/O component over
// ppdev (or the backend given) and the WinKey keyer, on the settings' port keys and the
// workers' handles and semaphores.
class TKeyingPorts final : public PortsPart {
 public:
  struct Links {
    MessageBoxSink* boxes = nullptr;
    ModemLineControl* lines = nullptr;  // null: the system's
    PortBackend* backend = nullptr;     // null: ppdev
    KeyingPortHooks* hooks = nullptr;   // the rig and exchange-port paths; WinKey is built in
    std::function<bool()> transmitting;
    bool* useTxD = nullptr;
    const TModemParams* modem = nullptr;
  };

  TKeyingPorts(TAppSettings& settings, std::shared_ptr<WorkerShared> shared, const Links& links);

  void ApplyPortSettings() override;
  void SetPttPort(int type, int number, int pttPin, int powerPin1, int powerPin2) override;
  void SetDataExchangePort(int n) override { ports_.SetDataExchangePort(n); }
  // The shutdown's close, after which nothing opens a port again. A worker that did not stop
  // may hold a semaphore for good: then nothing waits for it.
  void ClosePorts(bool workersAbandoned) override;
  void ClosePortsToReopen() override { ports_.ClosePorts(); }
  void ReopenPorts() override { ports_.ReopenPorts(); }
  void SetPtt(bool on) override { ports_.SetPtt(on); }
  void ClosePortDriver() override { portIO_.CloseDriver(); }
  bool KeyingPortOpen() const override { return ports_.KeyingPortOpen(); }
  void WriteTxdByte(uint8_t code) override { ports_.WriteTxdByte(code); }
  void ShowComWriteError() override { ports_.ShowComWriteError(); }
  void SetPortDriverMissing() override { ports_.PortDriverMissing = true; }
  bool PortDriverMissing() const override { return ports_.PortDriverMissing; }

  TPttPorts& ports() { return ports_; }
  TPortIO& portIO() { return portIO_; }
  TWinKey& winKey() { return winKey_; }

 private:
  TAppSettings& settings_;
  std::shared_ptr<WorkerShared> shared_;  // outlives the keyer, which closes on its handle
  std::unique_ptr<PortBackend> ownBackend_;
  TPortIO portIO_;
  TWinKey winKey_;
  WinKeyHooks hooks_;
  TPttPorts ports_;
};

}  // namespace vestrel
