#include "engine/modes/ps2x5/block_tx_pump.h"

#include <algorithm>

#include "engine/modes/ps2x5/block_message.h"
#include "engine/tx_audio_pump.h"

namespace vestrel {

namespace {
constexpr int kCwDahSymbols = 4;  // as the generic pump
}  // namespace

// Until the end has been synthesised (TxEnding 3): blocks still pending after the end was
// queued go out first.
bool TBlockTxPump::WantsBuffer() const {
  const TTxState& tx = frame_.Tx();
  return tx.TxState != 0 && tx.TxEnding < 2;
}

bool TBlockTxPump::QueueIdle() const {
  return frame_.Queue().Empty();
}

uint32_t TBlockTxPump::MaxSymbolSamples() const {
  return std::max(modulator_.MaxSymbolSamples(), frame_.Synth().MaxSymbolSamples());
}

uint32_t TBlockTxPump::Silence(int16_t* out) {
  return frame_.Synth().WriteTxSilence(out, frame_.Phase);
}

uint32_t TBlockTxPump::Start(int16_t* out) {
  TTxState& tx = frame_.Tx();
  TModemParams& params = frame_.Params();
  receiverMessage_.EndMessage(true);
  gathered_ = 0;
  gather_.fill(0);
  pendingPos_ = kBlockSymbols;
  after_ = 0;
  modulator_.ResetBlocks();
  frame_.IdleCount = 0;
  tx.TxState = 3;
  if (params.TxLineState != 0) {
    params.TxLineState = 2;
    return Silence(out);
  }
  return modulator_.EncodeSymbol(kTxPreamble, out);
}

bool TBlockTxPump::CloseBlock(bool end) {
  if (!end && gathered_ == 0) return false;
  const int length = gathered_;
  if (end) {
    gather_[length < kBlockBytes ? length : kBlockBytes - 1] = kEndOfText;
  }
  modulator_.BuildBlock(gather_, end, length, pending_, echo_);
  pendingPos_ = 0;
  gathered_ = 0;
  gather_.fill(0);
  return true;
}

uint32_t TBlockTxPump::SendPending(int16_t* out, std::string& text) {
  const uint8_t echo = echo_[pendingPos_];
  const uint8_t symbol = pending_[pendingPos_];
  ++pendingPos_;
  if (echo > 0) text.push_back(static_cast<char>(echo));
  return modulator_.EncodeSymbol(symbol, out);
}

uint32_t TBlockTxPump::Idle(int16_t* out) {
  // The carrier stopped for CW stays off.
  if (frame_.Params().TxLineState == 2) return Silence(out);
  return modulator_.EncodeSymbol(0, out);
}

uint32_t TBlockTxPump::Act(TxSymbol code, int16_t* out, int32_t& endMark) {
  TTxState& tx = frame_.Tx();
  TModemParams& params = frame_.Params();
  switch (code) {
    case kTxEnd:
      tx.TxEnding = 3;
      endMark = kTxEnd;
      if (params.TxLineState == 2) {
        params.TxLineState = 0;
        return Silence(out);
      }
      return modulator_.EncodeSymbol(kTxEnd, out);
    case kTxStopCarrier: {
      const uint32_t n = params.TxLineState == 2 ? Silence(out) : modulator_.EncodeSymbol(kTxEnd, out);
      params.TxLineState = 2;
      return n;
    }
    case kTxLineReset:
      params.TxLineState = 0;
      return Silence(out);
    case kTxCwDit:
    case kTxCwGap:
      return frame_.SynthCwElement(code, 0, out);
    case kTxCwDah:
      return frame_.SynthCwElement(code, kCwDahSymbols, out);
    default:
      return 0;
  }
}

uint32_t TBlockTxPump::NextSymbol(int16_t* out, std::string& text, int32_t& endMark) {
  TTxState& tx = frame_.Tx();
  if (tx.TxState == 1) return Start(out);
  if (BlockPending()) return SendPending(out, text);
  if (after_ != 0) {
    const TxSymbol code = after_;
    after_ = 0;
    return Act(code, out, endMark);
  }
  TxSymbolQueue& queue = frame_.Queue();
  for (;;) {
    if (tx.TxPaused || queue.Empty()) {
      const TxTextPump* typing = frame_.Links().text;
      if (tx.RxAtFreeBuffer && !tx.TxPaused && (typing == nullptr || typing->InputAllSent())) {
        if (++frame_.IdleCount > 3) {
          // Everything typed has gone: the gathered characters close as the end block.
          frame_.IdleCount = 0;
          tx.TxEnding = 1;
          CloseBlock(true);
          after_ = kTxEnd;
          return SendPending(out, text);
        }
      } else if (tx.RxAtFreeBuffer && !tx.TxPaused) {
        frame_.IdleCount = 0;
      }
      return Idle(out);
    }
    frame_.IdleCount = 0;
    const TxSymbol code = queue.Head();
    queue.Pop();
    if (code >= 0) {
      gather_[gathered_++] = static_cast<uint8_t>(code);
      if (gathered_ == kBlockBytes) {
        CloseBlock(false);
        return SendPending(out, text);
      }
      continue;
    }
    if (code == kTxBlockPad) {
      CloseBlock(true);
      return SendPending(out, text);
    }
    if (code == kTxEnd) tx.TxEnding = 1;
    if (code == kTxPausePoint) frame_.TakeControl(code);
    const bool waits = code == kTxEnd || code == kTxStopCarrier || code == kTxLineReset || code == kTxCwDit ||
                       code == kTxCwDah || code == kTxCwGap;
    if (CloseBlock(false)) {
      if (waits) after_ = code;
      return SendPending(out, text);
    }
    if (waits) return Act(code, out, endMark);
    // Register codes and the like mean nothing in a block mode.
  }
}

}  // namespace vestrel
