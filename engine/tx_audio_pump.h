#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/modes/amtor/amtor_fec_tx_pump.h"
#include "engine/sound_control.h"
#include "engine/tx_seams.h"
#include "engine/tx_symbol_queue.h"
#include "engine/tx_symbol_source.h"

namespace vestrel {

class TEngine;

// Places the n mono samples in one channel of n stereo frames, in place from the end
// backwards: channel 0 leaves them (returns n), 1 gives (sample, 0), 2 gives (0, sample), both
// returning 2n; any other channel, or n <= 0 for 1 and 2, returns 0. `samples` holds 2n.
int SpreadToOutputChannel(int16_t* samples, int count, int channel);

struct TxPumpLinks {
  SoundControl* sound = nullptr;
  PttControl* ptt = nullptr;
  TxTextPump* text = nullptr;
  LoggerLink* logger = nullptr;
  TxKeyingPort* keying = nullptr;
  FatalErrorSink* fatal = nullptr;
};

// Drains the TxSymbolQueue into the 8 playback buffers through the current mode's
// synthesisers, echoes what each returned buffer carried, and ends the transmission when the
// buffer with the end mark comes back. GUI thread only; the playback device only moves the
// buffers' atomic counters.
class TTxAudioPump : private TxSymbolSource {
 public:
  static constexpr uint32_t kBufferTarget = 2000;  // a buffer is complete at this many samples
  static constexpr int32_t kShiftFigures = 0;
  static constexpr int32_t kShiftLetters = 1;
  static constexpr int32_t kShiftUnknown = 99;

  explicit TTxAudioPump(TEngine& engine);
  TTxAudioPump(const TTxAudioPump&) = delete;
  TTxAudioPump& operator=(const TTxAudioPump&) = delete;

  void Connect(const TxPumpLinks& links) { links_ = links; }
  const TxPumpLinks& Links() const { return links_; }
  // The pumps of the packet, MFSK and block modes register here; a mode without one sends
  // nothing.
  void SetModePump(int32_t mode, TxSymbolSource* pump);

  // Handler of WM_WAVEOUT_DONE; also run by the main timer and the transmit switch. A
  // transmission found without an open playback device is ended (PTT off, back to receive).
  void PumpTxAudio();

  // Shared with the per-mode pumps.
  int32_t Shift = kShiftUnknown;  // register last sent: letters, figures or unknown
  bool Third = false;             // the third register is selected
  uint32_t Phase = 0;             // synthesiser phase, FrequencyUnit & 0x7FFF
  int32_t IdleCount = 0;

  // The register shift (-1, -2 or -16) a start-stop character needs first, or 0; updates
  // Shift and Third as if it were sent.
  TxSymbol RegisterShiftFor(TxSymbol character);
  // A control code just taken from the queue: updates the registers (and switches Pause on
  // for a pause point) and returns the code to send in its place.
  TxSymbol TakeControl(TxSymbol code);
  // Keys the CW identification elements -8, -9 (with `dahSymbols` carrier symbols) and -10.
  uint32_t SynthCwElement(TxSymbol code, int dahSymbols, int16_t* out);
  // The tail before CW identification (silence when the carrier is already stopped); the line
  // state becomes "stopped".
  uint32_t StopCarrier(int16_t* out);
  // The tail of the end of transmission, or silence that resets the line state when the
  // carrier was stopped.
  uint32_t EndTail(int16_t* out);
  void RunTextPump();
  TEngine& Engine() { return engine_; }

 private:
  bool WantsBuffer() const override;
  bool QueueIdle() const override;
  uint32_t NextSymbol(int16_t* out, std::string& text, int32_t& endMark) override;

  TxSymbolSource* SourceFor(int32_t mode);
  TxSymbol ChooseSymbol(int32_t& endMark);
  uint32_t Synthesise(TxSymbol symbol, int16_t* out);
  void Recycle();
  void EndTransmission();
  void Fill(TxSymbolSource& source);
  // Copies what fits of a symbol into the buffer and keeps the rest for the next one.
  uint32_t Place(uint32_t bufferIndex, uint32_t at, uint32_t limit, const int16_t* samples, uint32_t n,
                 int32_t endMark);
  uint32_t DrainCarry(uint32_t bufferIndex, uint32_t limit);
  bool WriteBuffer(uint32_t bufferIndex, uint32_t count);

  TEngine& engine_;
  TxPumpLinks links_;
  TAmtorFecTxPump amtor_;
  std::array<TxSymbolSource*, 23> modePumps_{};
  bool busy_ = false;

  std::vector<int16_t> scratch_;  // one symbol, sized from the longest at the current speed
  std::vector<int16_t> carry_;    // what did not fit into the last buffer
  uint32_t carryPos_ = 0;
  uint32_t carryLen_ = 0;
  int32_t carryEndMark_ = 0;
};

}  // namespace vestrel
