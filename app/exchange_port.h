#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "app/form_parts.h"
#include "engine/messages.h"
#include "engine/modem_params.h"
#include "engine/modes/packet/buf_fifo.h"
#include "engine/modes/packet/kiss_output.h"
#include "engine/modes/packet/packet_channel.h"
#include "io/exchange_input.h"
#include "io/message_box.h"
#include "io/ptt_ports.h"
#include "io/serial_workers.h"

namespace vestrel {

// The data-exchange port and the inward side of the exchange channels: the port's outgoing
// queue (received text, and received packets as KISS), the three inward parsers (port,
// exchange library, automation methods) with the text buffer they share, and the opening of
// the port as a keying-port hook. Every parser runs on the GUI thread: the port's reader
// thread only moves bytes over (WM_EXCHANGE_INPUT). GUI thread only.
class TExchangePort final : public ExchangePortPart, public KissOutput, public KeyingPortHooks, private ExchangeInputTarget {
 public:
  // Library bytes taken per pull of the text pump: a peer that keeps the channel full cannot
  // hold the GUI thread.
  static constexpr int kMaxPullPerPump = 256;

  struct Links {
    std::shared_ptr<WorkerShared> shared;
    MessageBoxSink* boxes = nullptr;
    Poster* poster = nullptr;                  // WM_PUMP_TX; null: none
    MacroPart* macros = nullptr;               // null: words pass unexpanded
    ExchangeLibraryPart* library = nullptr;    // null: no library channel
    const TModemParams* params = nullptr;      // the mode; null: never KISS
    const int32_t* isKiss = nullptr;           // the setting IsKISS (section "AX25"); null: off
    BufFifo* frames = nullptr;                 // the packet transmit queue
    TPacketChannel* channel = nullptr;         // the KISS parameters
    KeyingPortHooks* others = nullptr;         // the rig's keying paths, which this passes on
  };

  TExchangePort() = default;
  explicit TExchangePort(Links links) : links_(std::move(links)) {}
  void Connect(Links links) { links_ = std::move(links); }
  // The keying ports whose OpenExchangePort this hook runs.
  void AttachPorts(TPttPorts* ports) { ports_ = ports; }

  // ExchangePortPart
  bool IsOpen() const override;
  bool QueueExchangeByte(uint8_t c) override;
  void PullExchangeText(const std::function<void(const std::string&)>& append) override;
  KissOutput* Kiss() override { return this; }
  void TakePortInput() override;
  void ShowExchangeWriteError() override;

  // KissOutput: a received packet for the port's peer, while the port is open.
  void WriteKiss(std::span<const uint8_t> kissFrame) override;

  // KeyingPortHooks: the exchange port opens with the keying port; the rig's paths pass on.
  void OpenPttRig() override;
  void RigSetPtt(bool on) override;
  void OpenExchangePort() override;

  // One library byte through the library's parser: 0 when none waits (or a pull is already
  // running), else 1.
  int PullExchangeTxSymbol();
  // The automation methods' symbols (AddSymbol, AddString).
  void AddSymbol(int symbol) override { automationInput_.PutByte(symbol, *this); }

  TPreBuff& preBuff() { return preBuff_; }

 private:
  // ExchangeInputTarget
  bool KissInput() const override;
  void QueueFrame(std::span<const int16_t> items) override;
  void KissCommand(int command, uint8_t value) override;
  bool ExpandMacroEscape(std::string& word) override;
  void AppendText(const std::string& text) override;

  Links links_;
  TPttPorts* ports_ = nullptr;
  TPreBuff preBuff_;
  TExtInputHandler portInput_;
  TExtInputHandler libraryInput_;
  TExtInputHandler automationInput_;
  bool pulling_ = false;
  bool takingInput_ = false;
};

}  // namespace vestrel
