#pragma once
#include <atomic>

#include "engine/codes/baudot.h"
#include "engine/engine_modem_targets.h"
#include "engine/engine_receive_targets.h"
#include "engine/engine_window.h"
#include "engine/mode_switch.h"
#include "engine/modem_params.h"
#include "engine/modes/rtty/rtty_decoder.h"
#include "engine/rx_block_processor.h"
#include "engine/rx_text_sink.h"
#include "engine/sine_table.h"
#include "engine/tone_synth.h"
#include "engine/tx_audio_buffers.h"
#include "engine/tx_audio_pump.h"
#include "engine/tx_state.h"
#include "engine/tx_symbol_queue.h"

namespace vestrel {

// The one instance of every engine object. The main window owns one TEngine; each test
// builds its own. Members are added here as the engine grows; nothing of it is global.
class TEngine {
 public:
  TEngine(EngineWindow& window, RxTextSink& rxSink) : window(window), rxSink(rxSink) {}
  TEngine(const TEngine&) = delete;
  TEngine& operator=(const TEngine&) = delete;

  EngineWindow& window;
  RxTextSink& rxSink;

  const SineTable sine;
  TModemParams params;

  // Output sample rate of the transmit audio (calibrated card rate) and the calibrated
  // input rate of the card; both default to the nominal 11025 samples/s.
  double OutSamplingFreq = 11025.0;
  double SamplingFreq = 11025.0;

  // 100 ms ticks during which no display is painted (menus and dialogs set it; speed,
  // shift and mode changes clear it).
  int DisplayPause = 0;

  // Where the mode, speed and shift switches push tones and speeds.
  EngineModemTargets modemTargets{*this};
  // SetMode, SetBaudRate, SetShift, UpdateFilterMenu.
  ModeSwitch modeSwitch{*this, modemTargets};

  // Where the receive block processor runs the AFC and the demodulators, and the processor.
  EngineReceiveTargets receiveTargets{*this};
  TRxBlockProcessor rxBlocks{params, window, receiveTargets};

  // Set by a mode switch so that the spectrum display redraws its frequency scale.
  int FrequencyScaleChanged = 0;

  // The transmit side: flags, the symbol and echo queues, the playback buffers, the
  // synthesisers and the pump that joins them.
  TTxState tx;
  TxSymbolQueue TxQueue{window};
  SentEchoQueue SentEcho{window};
  TxAudioBuffers txBuffers;
  TToneSynth synth{sine, params};
  TTxAudioPump txPump{*this};

  // Received Baudot codes to text (registers, UnshiftOnSpace, ExtendedBaudot), and the
  // start-stop decoder of RTTY, ASCII-7 and ASCII-8 (Start() at engine start).
  TBaudotDecoder baudot{params, rxSink};
  TRttyDecoder rtty{sine, params, window, baudot, rxBlocks.Levels, params.LevelRingIndex};

  // The two device flags of the transmit state under the names the sound layer uses: set once
  // by the shutdown, and while the sound devices are closed and reopened. The sound callbacks
  // read them on the device threads.
  std::atomic<bool>& EngineClosing = tx.EngineClosing;
  std::atomic<bool>& SoundDevicesBusy = tx.SoundDevicesBusy;
};

}  // namespace vestrel
