#include "engine/modes/amtor/amtor_fec_tx_pump.h"

#include "engine/codes/baudot.h"
#include "engine/tx_audio_pump.h"

namespace vestrel {

namespace {
constexpr uint8_t kCodePhasing = 0x33;  // sent as DX while phasing
constexpr uint8_t kCodeIdle = 0x78;     // its repetition, and the idle signal
}  // namespace

bool TAmtorFecTxPump::WantsBuffer() const {
  const TTxState& tx = frame_.Tx();
  return tx.TxState != 0 && tx.TxEnding < 2;
}

// The inserts are the pump's own filler (phasing, the closing idle), not text waiting: only the
// symbol queue counts, so an idle link keeps 4 buffers ahead of the air like every mode.
bool TAmtorFecTxPump::QueueIdle() const {
  return frame_.Queue().Empty();
}

void TAmtorFecTxPump::Insert(TxSymbol symbol, int times) {
  if (insertPos_ == insertCount_) insertPos_ = insertCount_ = 0;
  for (int i = 0; i < times && insertCount_ < kInsertCapacity; ++i) inserts_[insertCount_++] = symbol;
}

TxSymbol TAmtorFecTxPump::TakeInsert() {
  const TxSymbol s = inserts_[insertPos_++];
  if (insertPos_ == insertCount_) insertPos_ = insertCount_ = 0;
  return s;
}

TxSymbol TAmtorFecTxPump::Choose() {
  TTxState& tx = frame_.Tx();
  TModemParams& params = frame_.Params();
  TxSymbolQueue& queue = frame_.Queue();
  if (tx.TxState == 1) {
    History.fill(kCodeIdle);
    HistoryIndex = 0;
    LineEndCount = 0;
    insertPos_ = insertCount_ = 0;
    frame_.IdleCount = 0;
    frame_.Shift = TTxAudioPump::kShiftUnknown;
    frame_.Third = false;
    frame_.Synth().ResetAmtorAccumulator();
    tx.TxState = 3;
    if (params.TxLineState != 0) {
      params.TxLineState = 2;
      return kTxSilence;
    }
    Insert(kTxPhasing, kPhasingRun);
    Insert(13);
    Insert(10);
    Insert(kTxLtrs);
    return kTxPreamble;
  }
  if (insertPos_ < insertCount_) return TakeInsert();

  if (tx.TxPaused || queue.Empty()) {
    if (!tx.RxAtFreeBuffer || tx.TxPaused) {
      frame_.Shift = TTxAudioPump::kShiftLetters;
      frame_.Third = false;
    } else if (frame_.Links().text == nullptr || frame_.Links().text->InputAllSent()) {
      if (++frame_.IdleCount > 2) {
        frame_.IdleCount = 0;
        tx.TxEnding = 1;
        frame_.Shift = TTxAudioPump::kShiftUnknown;
        Insert(kTxIdleBeta, 5);
        Insert(kTxAmtorEnd);
        return kTxIdleBeta;
      }
    } else {
      frame_.IdleCount = 0;
    }
    Insert(kTxPhasing, kPhasingRun);
    return TakeInsert();
  }
  frame_.IdleCount = 0;

  const TxSymbol head = queue.Head();
  if (head == 13 && LineEndCount > kLineLength) {
    frame_.Shift = TTxAudioPump::kShiftLetters;
    frame_.Third = false;
    Insert(kTxPhasing, kPhasingRun);
    return kTxLtrs;  // the CR stays queued behind the phasing run
  }
  if (head < 0) {
    queue.Pop();
    switch (head) {
      case kTxStopCarrier:
        if (params.TxLineState == 2) return kTxAmtorStop;
        Insert(kTxIdleBeta, 5);
        Insert(kTxAmtorStop);
        return TakeInsert();
      case kTxEnd:
        tx.TxEnding = 1;
        if (params.TxLineState == 2) return kTxAmtorEnd;
        Insert(kTxIdleBeta, 5);
        Insert(kTxAmtorEnd);
        return TakeInsert();
      default:
        return frame_.TakeControl(head);
    }
  }
  if (const TxSymbol shift = frame_.RegisterShiftFor(head)) return shift;
  queue.Pop();
  return head;
}

uint32_t TAmtorFecTxPump::SynthPair(TxSymbol code, int16_t* out, int32_t& endMark) {
  TToneSynth& synth = frame_.Synth();
  TModemParams& params = frame_.Params();
  uint32_t& phase = frame_.Phase;
  switch (code) {
    case kTxPreamble:
      return params.TxLineState != 0 ? synth.WriteTxSilence(out, phase) : synth.WriteTxPreamble(out, phase);
    case kTxSilence:
      return synth.WriteTxSilence(out, phase);
    case kTxAmtorStop:
      return frame_.StopCarrier(out);
    case kTxAmtorEnd:
      frame_.Tx().TxEnding = 3;
      endMark = kTxAmtorEnd;
      return frame_.EndTail(out);
    case kTxLineReset:
      params.TxLineState = 0;
      return synth.WriteTxSilence(out, phase);
    case kTxCwDit:
    case kTxCwGap:
      return frame_.SynthCwElement(code, 0, out);
    case kTxCwDah:
      return frame_.SynthCwElement(code, 5, out);
    case kTxSteadyMark:
      return synth.SynthSteadyMark(out, phase);
    default:
      break;
  }
  if (params.TxLineState == 2 && (code == kTxLtrs || code == kTxFigs || code == kTxThird)) {
    return synth.WriteTxSilence(out, phase);
  }
  const int dx = BaudotToCcir476(code, params.BaudotCodeSet);
  HistoryIndex = (HistoryIndex + 1) & 3;
  if (dx == kCodePhasing) {
    History[HistoryIndex] = kCodeIdle;
    LineEndCount = 0;
  } else {
    History[HistoryIndex] = static_cast<uint8_t>(dx);
    ++LineEndCount;
  }
  const int rx = History[(HistoryIndex + 2) & 3];
  const uint32_t n = synth.SynthAmtorChar(dx, out, phase);
  return n + synth.SynthAmtorChar(rx, out + n, phase);
}

uint32_t TAmtorFecTxPump::NextSymbol(int16_t* out, std::string& text, int32_t& endMark) {
  const TxSymbol symbol = Choose();
  if (symbol > 0) text.push_back(static_cast<char>(symbol));
  return SynthPair(symbol, out, endMark);
}

}  // namespace vestrel
