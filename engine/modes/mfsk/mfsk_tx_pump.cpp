#include "engine/modes/mfsk/mfsk_tx_pump.h"

#include <algorithm>

#include "engine/mode_table.h"
#include "engine/tx_audio_pump.h"

namespace vestrel {

namespace {
// TxEnding counts the end along: 1 the end is queued, 3 the postamble has been written.
constexpr int32_t kEndWritten = 3;
constexpr int kCwDahSymbols = 4;
}  // namespace

bool TMfskTxPump::SelectMode(const ModeRow& row) {
  tx_.SetMode(row.mfskTones == 32);
  return true;
}

bool TMfskTxPump::SetTones(int32_t lower, int32_t) {
  tx_.SetTones(lower);
  return true;
}

bool TMfskTxPump::WantsBuffer() const {
  const TTxState& tx = frame_.Tx();
  return tx.TxState != 0 && tx.TxEnding < kEndWritten;
}

// The pending codes are the pump's own framing, not text waiting: only the symbol queue counts.
bool TMfskTxPump::QueueIdle() const {
  return frame_.Queue().Empty();
}

uint32_t TMfskTxPump::MaxSymbolSamples() const {
  return std::max(tx_.MaxSymbolSamples(), frame_.Synth().MaxSymbolSamples());
}

void TMfskTxPump::Pend(TxSymbol code, int times) {
  if (pendingPos_ == pendingCount_) pendingPos_ = pendingCount_ = 0;
  for (int i = 0; i < times && pendingCount_ < kPendingCapacity; ++i) pending_[pendingCount_++] = code;
}

TxSymbol TMfskTxPump::TakePending() {
  const TxSymbol code = pending_[pendingPos_++];
  if (pendingPos_ == pendingCount_) pendingPos_ = pendingCount_ = 0;
  return code;
}

// Before the carrier stops: the -23 that ends the last word, now, and the zero bits that push
// it out of the interleaver and the receiver's decoder, then `last`.
TxSymbol TMfskTxPump::FlushThen(TxSymbol last) {
  Pend(kTxMfskZeros, kFlushCodes);
  Pend(last);
  return kTxMfskTuneA;
}

TxSymbol TMfskTxPump::Choose() {
  TTxState& tx = frame_.Tx();
  TModemParams& params = frame_.Params();
  TxSymbolQueue& queue = frame_.Queue();
  if (tx.TxState == 1) {
    pendingPos_ = pendingCount_ = 0;
    frame_.IdleCount = 0;
    tx.TxState = 3;
    // CW identification asked for from receive: the carrier stays off.
    if (params.TxLineState != 0) {
      params.TxLineState = 2;
      return kTxSilence;
    }
    Pend(kTxMfskPad);
    return kTxPreamble;
  }
  if (pendingPos_ < pendingCount_) return TakePending();

  if (tx.TxPaused || queue.Empty()) {
    if (tx.RxAtFreeBuffer && !tx.TxPaused) {
      const TxTextPump* text = frame_.Links().text;
      if (text == nullptr || text->InputAllSent()) {
        if (++frame_.IdleCount > kIdleRounds) {
          frame_.IdleCount = 0;
          tx.TxEnding = 1;
          return FlushThen(kTxEnd);
        }
      } else {
        frame_.IdleCount = 0;
      }
    }
    Pend(kTxMfskTuneA);
    return 0;  // NUL, closed by the -23
  }
  frame_.IdleCount = 0;

  const TxSymbol head = queue.Head();
  queue.Pop();
  switch (head) {
    case kTxPausePoint:
      if (TxTextPump* text = frame_.Links().text) text->SetPause(true);
      return kTxMfskTuneA;
    case kTxEnd:
      tx.TxEnding = 1;
      return params.TxLineState == 2 ? kTxEnd : FlushThen(kTxEnd);
    case kTxStopCarrier:
      return params.TxLineState == 2 ? kTxStopCarrier : FlushThen(kTxStopCarrier);
    default:
      return head;
  }
}

uint32_t TMfskTxPump::Synthesise(TxSymbol code, int16_t* out, int32_t& endMark) {
  TModemParams& params = frame_.Params();
  TToneSynth& synth = frame_.Synth();
  switch (code) {
    case kTxSilence:
      return synth.WriteTxSilence(out, frame_.Phase);
    case kTxStopCarrier: {
      const uint32_t n =
          params.TxLineState == 2 ? synth.WriteTxSilence(out, frame_.Phase) : tx_.EncodeSymbol(kTxEnd, out);
      params.TxLineState = 2;
      return n;
    }
    case kTxEnd:
      frame_.Tx().TxEnding = kEndWritten;
      endMark = kTxEnd;
      if (params.TxLineState == 2) {
        params.TxLineState = 0;
        return synth.WriteTxSilence(out, frame_.Phase);
      }
      return tx_.EncodeSymbol(kTxEnd, out);
    case kTxLineReset:
      params.TxLineState = 0;
      return synth.WriteTxSilence(out, frame_.Phase);
    case kTxCwDit:
    case kTxCwGap:
      return frame_.SynthCwElement(code, 0, out);
    case kTxCwDah:
      return frame_.SynthCwElement(code, kCwDahSymbols, out);
    default:
      break;
  }
  if (code < 0 && params.TxLineState == 2) return synth.WriteTxSilence(out, frame_.Phase);
  return tx_.EncodeSymbol(code, out);
}

// Codes that sound nothing (a -1 of the transmit switch, a code half a symbol long) are passed
// over, so the frame never fills their place with silence; the queue ends in an idle NUL,
// which always sounds.
uint32_t TMfskTxPump::NextSymbol(int16_t* out, std::string& text, int32_t& endMark) {
  for (;;) {
    const TxSymbol code = Choose();
    if (code > 0) text.push_back(static_cast<char>(code));
    const uint32_t n = Synthesise(code, out, endMark);
    if (n != 0 || endMark != 0) return n;
  }
}

}  // namespace vestrel
