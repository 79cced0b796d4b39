#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/app_settings.h"
#include "app/form_parts.h"
#include "app/macro_table.h"
#include "engine/tx_state.h"
#include "engine/tx_symbol_queue.h"
#include "platform/clock.h"

namespace vestrel {

// What the macro escapes act on: the transmitter, the window's controls and the features
// built apart from the macros. The main window implements it; tests record the calls.
class MacroHost {
 public:
  enum class QsoField { kCall, kRst, kName, kOther };

  // The transmit state and the symbol queue that the escapes queue control codes into.
  virtual TxSymbolQueue& Queue() = 0;
  virtual TTxState& Tx() = 0;
  // TModemParams::TxLineState (1: CW identification requested).
  virtual void SetTxLineState(int32_t state) = 0;
  virtual int Mode() const = 0;
  virtual bool Transmitting() const = 0;
  virtual bool Paused() const = 0;
  virtual void SetTransmit(bool on) = 0;
  virtual void SetPause(bool on) = 0;

  // The transmit text control (Input).
  virtual void HoldTyping() = 0;
  virtual bool PumpBusy() const = 0;
  virtual void KeepCaretAfterSent() = 0;
  virtual void InsertAtCaret(const std::string& text) = 0;
  virtual void FocusInput() = 0;
  virtual void ClearInput() = 0;
  // The macro run again once the current message has been handled (through the window, so
  // that its guards apply then); any other work the same way.
  virtual void RunMacroLater(int n) = 0;
  virtual void Later(std::function<void()> work) = 0;

  // AFC and TX AFC (the buttons and one AFC pass), the tones in Hz.
  virtual void SetAfc(bool on) = 0;
  virtual void SetTxAfc(bool on) = 0;
  virtual void SetRxFrequency(double hz) = 0;
  virtual void SetTxFrequency(double hz) = 0;

  // The beacon: on with its text at the next second, or stopped.
  virtual void StartBeacon() = 0;
  virtual void StopBeacon() = 0;

  // The text windows and the QSO fields (8-bit text).
  virtual void ClearRx() = 0;
  virtual void ClearSent() = 0;
  virtual void ClearQsoFields() = 0;
  virtual std::string QsoFieldText(QsoField field) const = 0;
  virtual void SetQsoFieldText(QsoField field, const std::string& text) = 0;
  // The logger link: a field exported, OtherEdit's exit handler, a command with its flags (the
  // broadcast and the automation event).
  virtual void ExportQsoField(const std::string& key, const std::string& value, uint32_t code) = 0;
  virtual void OtherEditExit() = 0;
  virtual void LoggerCommand(uint32_t code, uint32_t flags) = 0;

  // The audio history.
  virtual void ReplayLastAudio(int seconds) = 0;
  virtual void SaveLastAudio(int seconds, bool decodeAfter) = 0;

  // A date in the system's short date format.
  virtual std::string ShortDate(const CivilTime& t) const = 0;
  // One character of the automation methods for the exchange-input parser's automation channel.
  virtual void AddSymbol(int symbol) = 0;

 protected:
  ~MacroHost() = default;
};

// Bounds that keep a macro from growing or looping without end.
// - A file is read up to kMacroFileLimit bytes ("~[f" and Send Text File); the rest is not read.
// - One expansion (a macro, a file, everything the pump expands while handling one message)
//   performs at most kMacroInsertLimit inserting escapes ("m", "f"); past it they insert nothing.
// - No escape makes the text longer than kMacroTextLimit bytes; an insert that would is left
//   out.
inline constexpr size_t kMacroFileLimit = 65536;
inline constexpr int kMacroInsertLimit = 100;
inline constexpr size_t kMacroTextLimit = 262144;
inline constexpr size_t kMacroBodyLimit = 98;

// The text of a regular file, at most `limit` bytes: read in pieces of 99 bytes, each taken up
// to its first NUL, a lone LF made CR LF. nullopt when the path cannot be opened or is no
// regular file (a FIFO, a device, a directory), so that reading never waits or runs on.
// A "\" in the path is read as "/".
std::optional<std::string> ReadMacroFile(std::string path, size_t limit = kMacroFileLimit);

// Counts the number in the text up: blanks trimmed, the last digit incremented with carry
// through its run of digits ("1" inserted where the carry leaves it); no digit: "1" appended;
// empty: "1". 599 -> 600, A9 -> A10, 12B -> 13B, X -> X1.
void IncrementNumberText(std::string& text);

// The leading decimal digits of an escape's argument: no digit reads as 0; a number beyond
// int32 is out of range (nullopt).
std::optional<int32_t> EscapeNumber(std::string_view text);

// Text from outside the operator's macros (QSO fields, the logger's ini, named values): each
// tilde or backtick directly before "[" dropped, so it can never form an escape.
std::string PlainInsertText(std::string_view text);

// The macro language: macros expanded into Input, one escape at a time for the text pump, the
// file sender and the exchange-input parser, and the named values.
class TMacroLanguage : public MacroPart {
 public:
  TMacroLanguage(MacroHost& host, const TMacroTable& macros, const TAppSettings& settings, Clock& clock)
      : host_(host), macros_(macros), settings_(settings), clock_(clock) {}

  void RunMacro(int n) override;
  bool ExpandMacroEscape(std::string& text) override;
  void SetVal(const std::string& name, const std::string& value) override;
  void AddSymbol(int symbol) override { host_.AddSymbol(symbol); }
  // The value of the first exactly equal name, else "***".
  std::string GetVal(const std::string& name) const;

  // Every escape of text expanded, within the bounds; a fresh expansion.
  void ExpandAll(std::string& text);
  // Starts a fresh expansion (the count of inserting escapes back to 0).
  void ResetExpansionBound();
  int InsertsUsed() const { return insertsUsed_; }

 private:
  void Perform(const std::string& body, std::string& text, size_t at);
  // An insert of the operator's own text ("m", "f"), searched again; counted against the bound.
  void InsertOwn(std::string& text, size_t at, std::string_view insert);
  // An insert from outside, made plain; it cannot join the text around it into an escape.
  void InsertPlain(std::string& text, size_t at, std::string_view insert);
  void QueueEnd();
  void PostSymbol(TxSymbol s) { host_.Queue().PostTxSymbol(s); }
  void IncrementField(MacroHost::QsoField field, const char* key, uint32_t code);
  CivilTime LocalTime();
  CivilTime UtcTime();
  std::string IniValue(const std::string& key);

  MacroHost& host_;
  const TMacroTable& macros_;
  const TAppSettings& settings_;
  Clock& clock_;
  std::vector<std::pair<std::string, std::string>> values_;
  int insertsUsed_ = 0;
  bool resetPosted_ = false;
};

}  // namespace vestrel
