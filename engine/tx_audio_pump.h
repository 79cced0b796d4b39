#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine_window.h"
#include "engine/modem_params.h"
#include "engine/sound_control.h"
#include "engine/tone_synth.h"
#include "engine/tx_audio_buffers.h"
#include "engine/tx_seams.h"
#include "engine/tx_state.h"
#include "engine/tx_symbol_queue.h"
#include "engine/tx_symbol_source.h"

namespace vestrel {

class ModeRegistry;
struct ModeRow;

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

// Drains the TxSymbolQueue into the 8 playback buffers through the current mode's transmit
// source (its row's TxFamily in the ModeRegistry), echoes what each returned buffer carried,
// and ends the transmission when the buffer with the end mark comes back. The pump is also the
// source of the character modes (start-stop and PSK): CharacterSource(). The per-mode sources
// build on its shared helpers (registers, control codes, CW elements, tail). GUI thread only;
// the playback device only moves the buffers' atomic counters.
class TTxAudioPump : private TxSymbolSource {
 public:
  static constexpr uint32_t kBufferTarget = 2000;  // a buffer is complete at this many samples
  static constexpr int32_t kShiftFigures = 0;
  static constexpr int32_t kShiftLetters = 1;
  static constexpr int32_t kShiftUnknown = 99;

  TTxAudioPump(TTxState& tx, TxSymbolQueue& queue, SentEchoQueue& echo, TxAudioBuffers& buffers,
               TModemParams& params, TToneSynth& synth, EngineWindow& window, const ModeRegistry& modes);
  TTxAudioPump(const TTxAudioPump&) = delete;
  TTxAudioPump& operator=(const TTxAudioPump&) = delete;

  void Connect(const TxPumpLinks& links) { links_ = links; }
  const TxPumpLinks& Links() const { return links_; }
  // The transmit source of the start-stop and PSK modes: the pump's own character path.
  TxSymbolSource& CharacterSource() { return *this; }

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
  // What the per-mode sources share with the frame.
  TTxState& Tx() { return tx_; }
  TxSymbolQueue& Queue() { return queue_; }
  TModemParams& Params() { return params_; }
  TToneSynth& Synth() { return synth_; }

 private:
  bool WantsBuffer() const override;
  bool QueueIdle() const override;
  uint32_t NextSymbol(int16_t* out, std::string& text, int32_t& endMark) override;
  bool SelectMode(const ModeRow&) override { return true; }
  void LeaveMode() override {}
  bool SetSpeed(double) override { return true; }
  bool SetTones(int32_t, int32_t) override { return true; }

  TxSymbolSource* SourceFor(const ModeRow& row);
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

  TTxState& tx_;
  TxSymbolQueue& queue_;
  SentEchoQueue& echo_;
  TxAudioBuffers& buffers_;
  TModemParams& params_;
  TToneSynth& synth_;
  EngineWindow& window_;
  const ModeRegistry& modes_;
  TxPumpLinks links_;
  bool busy_ = false;

  std::vector<int16_t> scratch_;  // one symbol, sized from the longest at the current speed
  std::vector<int16_t> carry_;    // what did not fit into the last buffer
  uint32_t carryPos_ = 0;
  uint32_t carryLen_ = 0;
  int32_t carryEndMark_ = 0;
};

}  // namespace vestrel
