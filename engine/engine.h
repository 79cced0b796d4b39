#pragma once
#include "engine/codes/baudot.h"
#include "engine/display_flags.h"
#include "engine/frequency_control.h"
#include "engine/engine_window.h"
#include "engine/level_ring.h"
#include "engine/mode_registry.h"
#include "engine/mode_switch.h"
#include "engine/modem_params.h"
#include "engine/modes/amtor/amtor_fec_tx_pump.h"
#include "engine/modes/amtor/arq_decoder.h"
#include "engine/modes/amtor/fec_decoder.h"
#include "engine/modes/dtmf/dtmf_decoder.h"
#include "engine/modes/mfsk/mfsk_decoder.h"
#include "engine/modes/mfsk/mfsk_transmitter.h"
#include "engine/modes/mfsk/mfsk_tx_pump.h"
#include "engine/modes/packet/ax25_decoder.h"
#include "engine/modes/packet/buf_fifo.h"
#include "engine/modes/packet/packet_channel.h"
#include "engine/modes/packet/packet_channel_access.h"
#include "engine/modes/packet/packet_frame_output.h"
#include "engine/modes/packet/packet_tx_pump.h"
#include "engine/modes/pactor/pactor_fec_decoder.h"
#include "engine/modes/ps2x5/block_capture_file.h"
#include "engine/modes/ps2x5/fsk2x5_decoder.h"
#include "engine/modes/ps2x5/fsk2x5_transmitter.h"
#include "engine/modes/ps33x5/fsk33x5_transmitter.h"
#include "engine/modes/ps33x5/ifsk33_decoder.h"
#include "engine/modes/psk/psk_decoder.h"
#include "engine/modes/psk/psk_tx_shaper.h"
#include "engine/modes/psk/psk_tx_source.h"
#include "engine/modes/rtty/rtty_decoder.h"
#include "engine/rx_block_processor.h"
#include "engine/rx_text_sink.h"
#include "engine/sample_rates.h"
#include "engine/sine_table.h"
#include "engine/tone_synth.h"
#include "engine/tx_audio_buffers.h"
#include "engine/tx_audio_pump.h"
#include "engine/tx_state.h"
#include "engine/tx_symbol_queue.h"

namespace vestrel {

// The composition root of the engine: the one instance of every engine object. The main window
// owns one TEngine; each test builds its own, or builds any single object alone from the few
// things it takes. Each object is handed only what it uses and only stores references, so the
// order of the members below does not matter; the receivers and transmitters are registered
// for their families in the constructor, once every member exists. Nothing of it is global.
class TEngine {
 public:
  TEngine(EngineWindow& window, RxTextSink& rxSink);
  TEngine(const TEngine&) = delete;
  TEngine& operator=(const TEngine&) = delete;

  // Starts every object that has a start, in the start order (at the engine start, before the
  // loaded speed, shift and mode are applied).
  void Start();
  // The engine's part of the program's shutdown: open block-mode messages end (their reports
  // printed, their files moved to their final names).
  void Shutdown();

  EngineWindow& window;
  RxTextSink& rxSink;

  // Shared state.
  const SineTable sine;
  TModemParams params;
  TSampleRates rates;
  TDisplayFlags display;
  LevelRing levels;  // written at params.LevelRingIndex
  TTxState tx;

  // Which object runs each receiver and transmitter family.
  ModeRegistry modes;

  // The receive spine and the mode, speed and shift switches.
  TRxBlockProcessor rxBlocks{params, window, modes};
  ModeSwitch modeSwitch{params, window, modes, rates, display};
  // Tuning by click, step and frequency, and the AFC the block processor runs.
  TFrequencyControl freq{params, rxBlocks, modes, rates, tx};

  // The transmit side: the symbol and echo queues, the playback buffers, the synthesisers, the
  // pump that joins them, and the sources of the modes with their own.
  TxSymbolQueue TxQueue{window};
  SentEchoQueue SentEcho{window};
  TxAudioBuffers txBuffers;
  TToneSynth synth{sine, params};
  TTxAudioPump txPump{tx, TxQueue, SentEcho, txBuffers, params, synth, window, modes};
  TAmtorFecTxPump amtorFecTx{txPump};

  // Received Baudot codes to text (registers, UnshiftOnSpace, ExtendedBaudot), and the
  // start-stop decoder of RTTY, ASCII-7 and ASCII-8.
  TBaudotDecoder baudot{params, rxSink};
  TRttyDecoder rtty{sine, params, window, baudot, levels, params.LevelRingIndex};

  // BPSK31/63/125 and QPSK31/63: the receiver; the shaper behind the PSK synthesisers and the
  // CW elements, on the lower transmit tone; the transmit source that sets its rate.
  TPskDecoder psk{sine, params, window, rxSink, levels, params.LevelRingIndex};
  TPskTxShaper pskShaper{sine, params, rates};
  TPskTxSource pskTx{txPump.CharacterSource(), pskShaper};

  // MFSK16 and MFSK8: the receiver, the transmitter and its program in the transmit frame.
  TMfskDecoder mfsk{sine, params, window, rxSink, levels, params.LevelRingIndex};
  TMfskTransmitter mfskTx{sine, params, rates};
  TMfskTxPump mfskPump{txPump, mfskTx};

  // AX.25 packet: the transmit queue that the exchange channels fill with KISS frames, the
  // channel parameters and timing, the outputs of received frames (KISS and monitor lines),
  // the receiver, the transmitter and the channel access its slot timer ticks.
  BufFifo bufFifo;
  TPacketChannel packetChannel;
  TPacketFrameOutput packetOutput{rxSink};
  TAx25Decoder ax25{sine, window, packetOutput, levels, params.LevelRingIndex};
  TPacketTxPump packetTx{sine, params, tx, bufFifo, packetChannel};
  TPacketChannelAccess packetAccess{params, tx, bufFifo, packetChannel, ax25, txPump, window};

  // DTMF, which reads the squelch setting and the spectrum of the block processor itself.
  TDtmfDecoder dtmf{sine, rxBlocks, rxSink, &levels, &params.LevelRingIndex};

  // AMTOR FEC and the AMTOR ARQ monitor.
  TFecDecoder amtorFec{sine, params, window, baudot, rxSink, &levels, &params.LevelRingIndex};
  TArqDecoder amtorArq{sine, params, window, baudot, rxSink, &levels, &params.LevelRingIndex};

  // Both PACTOR-I FEC receivers, 100 and 200 Bd.
  TPactorReceiver pactor{sine, rxSink, &levels, &params.LevelRingIndex};

  // The block modes: where their received messages are kept; the PS2X5 and PS33X5 receivers,
  // modulators and transmit sources.
  BlockCaptureSettings blockCapture;
  TFsk2x5Decoder ps2x5{sine, window, rxSink, blockCapture, levels, params.LevelRingIndex};
  TFsk2x5Transmitter ps2x5Tx{sine, params, rates};
  TPs2x5TxPump ps2x5Pump{txPump, ps2x5Tx, ps2x5.Message()};
  TIfsk33Decoder ps33x5{params, window, rxSink, blockCapture, levels, params.LevelRingIndex};
  TFsk33x5Transmitter ps33x5Tx{sine, params};
  TPs33x5TxPump ps33x5Pump{txPump, ps33x5Tx, ps33x5.Message(), rates};
};

}  // namespace vestrel
