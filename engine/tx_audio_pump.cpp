#include "engine/tx_audio_pump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/codes/baudot.h"
#include "engine/mode_registry.h"

namespace vestrel {

int SpreadToOutputChannel(int16_t* samples, int count, int channel) {
  if (channel == 0) return count;
  if (channel != 1 && channel != 2) return 0;
  if (count <= 0) return 0;
  // From the end backwards, so every sample is read before its slot is overwritten.
  const int signal = channel == 1 ? 0 : 1;
  for (int i = count - 1; i >= 0; --i) {
    const int16_t s = samples[i];
    samples[2 * i + signal] = s;
    samples[2 * i + (1 - signal)] = 0;
  }
  return 2 * count;
}

TTxAudioPump::TTxAudioPump(TTxState& tx, TxSymbolQueue& queue, SentEchoQueue& echo, TxAudioBuffers& buffers,
                           TModemParams& params, TToneSynth& synth, EngineWindow& window,
                           const ModeRegistry& modes)
    : tx_(tx),
      queue_(queue),
      echo_(echo),
      buffers_(buffers),
      params_(params),
      synth_(synth),
      window_(window),
      modes_(modes) {}

TxSymbolSource* TTxAudioPump::SourceFor(const ModeRow& row) {
  // A receive-only mode has no source of its own: a transmission still running when the mode
  // changed to one ends through the character path, so its end mark comes back and keys off.
  if (row.transmitter == TxFamily::kNone) return this;
  return modes_.Transmitter(row.transmitter);
}

void TTxAudioPump::RunTextPump() {
  if (links_.text) links_.text->PumpTxText();
}

void TTxAudioPump::PumpTxAudio() {
  TTxState& tx = tx_;
  if (busy_ || tx.SoundDevicesBusy || tx.EngineClosing) return;
  if (links_.sound == nullptr) return;
  if (!links_.sound->OutputOpen()) {
    // Keyed without a playback device (its open failed, or it was closed under the
    // transmission): no buffer can come back to end it, so it ends here.
    if (tx.TxState != 0 || tx.TxActive) {
      busy_ = true;
      EndTransmission();
      busy_ = false;
    }
    return;
  }
  busy_ = true;
  RunTextPump();
  // Recycling belongs to the frame, whatever the mode: a returned end mark must key off even
  // when the current mode has no pump of its own.
  Recycle();
  if (TxSymbolSource* source = SourceFor(ModeRowOf(params_.Mode))) Fill(*source);
  if (links_.text) links_.text->ShowSentChar();
  busy_ = false;
}

void TTxAudioPump::Recycle() {
  TxAudioBuffers& b = buffers_;
  while (b.Completed.load() > 0) {
    TxAudioBuffer& buf = b.buffers[b.RecycleIndex];
    const std::string text = buf.text;
    const int32_t endMark = buf.endMark;
    b.Completed.fetch_sub(1);
    b.RecycleIndex = (b.RecycleIndex + 1) & TxAudioBuffers::kMask;
    for (char c : text) echo_.PostSentEcho(static_cast<uint8_t>(c));
    if (endMark != 0) EndTransmission();
  }
}

void TTxAudioPump::EndTransmission() {
  TTxState& tx = tx_;
  tx.TxActive = false;
  if (links_.ptt) links_.ptt->SetPtt(false);
  Phase = 0;
  carryPos_ = carryLen_ = 0;
  carryEndMark_ = 0;
  if (links_.text) links_.text->SetTxButton(false);
  tx.TxState = 0;
  tx.TxEnding = 0;
  tx.EndQueued = false;
  if (links_.logger) links_.logger->NotifyCommand(110);
  tx.SoundDevicesBusy = true;
  if (!tx.UseDuplex) links_.sound->CloseSoundOutput();
  if (!links_.sound->InputOpen()) links_.sound->OpenSoundInput();
  tx.SoundDevicesBusy = false;
  window_.SetMenuEnabled("Mode", true);
}

uint32_t TTxAudioPump::DrainCarry(uint32_t bufferIndex, uint32_t limit) {
  if (carryLen_ == 0) return 0;
  TxAudioBuffer& buf = buffers_.buffers[bufferIndex];
  const uint32_t n = std::min(carryLen_ - carryPos_, limit);
  std::memcpy(buf.samples.data(), carry_.data() + carryPos_, n * sizeof(int16_t));
  carryPos_ += n;
  if (carryPos_ == carryLen_) {
    carryPos_ = carryLen_ = 0;
    if (carryEndMark_ != 0) buf.endMark = carryEndMark_;
    carryEndMark_ = 0;
  }
  return n;
}

uint32_t TTxAudioPump::Place(uint32_t bufferIndex, uint32_t at, uint32_t limit, const int16_t* samples,
                             uint32_t n, int32_t endMark) {
  TxAudioBuffer& buf = buffers_.buffers[bufferIndex];
  const uint32_t fit = std::min(n, limit - at);
  std::memcpy(buf.samples.data() + at, samples, fit * sizeof(int16_t));
  if (fit == n) {
    if (endMark != 0) buf.endMark = endMark;
    return fit;
  }
  const uint32_t rest = n - fit;
  if (carry_.size() < rest) carry_.resize(rest);
  std::memcpy(carry_.data(), samples + fit, rest * sizeof(int16_t));
  carryPos_ = 0;
  carryLen_ = rest;
  carryEndMark_ = endMark;
  return fit;
}

bool TTxAudioPump::WriteBuffer(uint32_t bufferIndex, uint32_t count) {
  TxAudioBuffers& b = buffers_;
  TxAudioBuffer& buf = b.buffers[bufferIndex];
  buf.length = static_cast<uint32_t>(
      SpreadToOutputChannel(buf.samples.data(), static_cast<int>(count), tx_.OutputCardChannel));
  // Counted before the write, so a completion that arrives at once is never missed.
  b.InFlight.fetch_add(1);
  const int error = links_.sound->WriteOutput(bufferIndex);
  if (error == 0) {
    b.FillIndex = (b.FillIndex + 1) & TxAudioBuffers::kMask;
    return true;
  }
  b.InFlight.fetch_sub(1);
  // Unkey before the message: the box may stand for minutes, and nothing will play.
  TTxState& tx = tx_;
  tx.TxActive = false;
  if (links_.ptt) links_.ptt->SetPtt(false);
  tx.TxState = 0;
  tx.TxEnding = 0;
  tx.EndQueued = false;
  Phase = 0;
  carryPos_ = carryLen_ = 0;
  carryEndMark_ = 0;
  links_.sound->CloseSoundOutput();
  char text[64];
  std::snprintf(text, sizeof text, "  Error in Out Write! (%d) %u", error, count);
  if (links_.fatal) {
    links_.fatal->ShowError(text, "Error");
    links_.fatal->RequestTerminate();
  }
  return false;
}

void TTxAudioPump::Fill(TxSymbolSource& source) {
  TxAudioBuffers& b = buffers_;
  const uint32_t minScratch = std::max(synth_.MaxSymbolSamples(), source.MaxSymbolSamples());
  if (scratch_.size() < minScratch) scratch_.resize(minScratch);
  while (source.WantsBuffer() || carryLen_ > 0) {
    if (b.Outstanding() > 7) break;
    if (source.QueueIdle() && b.InFlight.load() > 3) break;
    const uint32_t index = b.FillIndex;
    TxAudioBuffer& buf = b.buffers[index];
    buf.text.clear();
    buf.endMark = 0;
    const int channel = tx_.OutputCardChannel;
    const uint32_t limit =
        (channel == 1 || channel == 2) ? TxAudioBuffer::kCapacity / 2 : TxAudioBuffer::kCapacity;
    uint32_t count = DrainCarry(index, limit);
    // Nothing follows an end mark; a carried remainder completes its buffer on its own.
    while (count < kBufferTarget && carryLen_ == 0 && buf.endMark == 0) {
      int32_t endMark = 0;
      uint32_t n = source.NextSymbol(scratch_.data(), buf.text, endMark);
      if (n == 0) n = synth_.WriteTxSilence(scratch_.data(), Phase);
      window_.Post(WM_PUMP_TX);
      count += Place(index, count, limit, scratch_.data(), n, endMark);
      if (count < kBufferTarget) RunTextPump();
    }
    if (!WriteBuffer(index, count)) return;
  }
}

bool TTxAudioPump::WantsBuffer() const {
  return tx_.TxState != 0 && tx_.TxEnding == 0;
}

bool TTxAudioPump::QueueIdle() const {
  return queue_.Empty();
}

TxSymbol TTxAudioPump::RegisterShiftFor(TxSymbol c) {
  const int32_t codeSet = params_.BaudotCodeSet;
  const bool letters = BaudotLettersClass(c, codeSet) != 0;
  const bool third = (tx_.ExtendedBaudot || codeSet == 3) && BaudotThirdClass(c, codeSet) != 0;
  const int32_t want = letters ? kShiftLetters : kShiftFigures;
  // LTRS and FIGS also leave the third register, so they come before a third shift.
  if (Shift != want || (Third && !third)) {
    Shift = want;
    Third = false;
    return letters ? kTxLtrs : kTxFigs;
  }
  if (third && !Third) {
    Third = true;
    return kTxThird;
  }
  return 0;
}

TxSymbol TTxAudioPump::TakeControl(TxSymbol code) {
  switch (code) {
    case kTxPausePoint:
      if (links_.text) links_.text->SetPause(true);
      Shift = kShiftLetters;
      Third = false;
      return kTxLtrs;
    case kTxLtrs:
      Shift = kShiftLetters;
      Third = false;
      return code;
    case kTxFigs:
      Shift = kShiftFigures;
      Third = false;
      return code;
    case kTxThird:
      Third = true;
      return code;
    case kTxPreamble:
      Shift = kShiftUnknown;
      return code;
    default:
      return code;
  }
}

TxSymbol TTxAudioPump::ChooseSymbol(int32_t& endMark) {
  TTxState& tx = tx_;
  TxSymbolQueue& queue = queue_;
  const ModeRow& row = ModeRowOf(params_.Mode);
  if (tx.TxState == 1) {
    Shift = kShiftUnknown;
    return kTxPreamble;
  }
  if (tx.TxPaused || queue.Empty()) {
    TxSymbol idle = kTxLtrs;
    if (tx.NoDittle && row.transmitter == TxFamily::kStartStop) {
      idle = kTxSteadyMark;
      Shift = kShiftUnknown;
    } else {
      Shift = kShiftLetters;
      Third = false;
    }
    if (tx.RxAtFreeBuffer && !tx.TxPaused) {
      if (links_.text == nullptr || links_.text->InputAllSent()) {
        if (++IdleCount > 3) {
          IdleCount = 0;
          tx.TxEnding = 1;
          endMark = kTxEnd;
          return kTxEnd;
        }
      } else {
        IdleCount = 0;
      }
    }
    return idle;
  }
  IdleCount = 0;
  const TxSymbol head = queue.Head();
  if (head < 0) {
    queue.Pop();
    if (head == kTxEnd) {
      endMark = kTxEnd;
      tx.TxEnding = 1;
    }
    return TakeControl(head);
  }
  // Baudot's letters and figures registers.
  if (row.transmitter == TxFamily::kStartStop && row.dataBits == 5) {
    if (const TxSymbol shift = RegisterShiftFor(head)) return shift;
  }
  queue.Pop();
  return head;
}

uint32_t TTxAudioPump::NextSymbol(int16_t* out, std::string& text, int32_t& endMark) {
  const TxSymbol symbol = ChooseSymbol(endMark);
  if (symbol > 0) text.push_back(static_cast<char>(symbol));
  return Synthesise(symbol, out);
}

uint32_t TTxAudioPump::SynthCwElement(TxSymbol code, int dahSymbols, int16_t* out) {
  PskTxShaper* psk = synth_.Shaper();
  if (psk == nullptr) return 0;
  uint32_t n = 0;
  if (code == kTxCwGap) {
    for (int i = 0; i < 4; ++i) n += psk->PskTxSymbol(4, out + n, Phase);
    return n;
  }
  Phase = 0;
  const int carrier = code == kTxCwDah ? dahSymbols : 1;
  n += psk->PskTxSymbol(5, out + n, Phase);
  for (int i = 0; i < carrier; ++i) n += psk->PskTxSymbol(0, out + n, Phase);
  n += psk->PskTxSymbol(4, out + n, Phase);
  n += psk->PskTxSymbol(4, out + n, Phase);
  return n;
}

uint32_t TTxAudioPump::StopCarrier(int16_t* out) {
  TModemParams& params = params_;
  const uint32_t n =
      params.TxLineState == 2 ? synth_.WriteTxSilence(out, Phase) : synth_.WriteTxTail(out, Phase);
  params.TxLineState = 2;
  return n;
}

uint32_t TTxAudioPump::EndTail(int16_t* out) {
  TModemParams& params = params_;
  if (params.TxLineState == 2) {
    params.TxLineState = 0;
    return synth_.WriteTxSilence(out, Phase);
  }
  return synth_.WriteTxTail(out, Phase);
}

uint32_t TTxAudioPump::Synthesise(TxSymbol symbol, int16_t* out) {
  TToneSynth& synth = synth_;
  TModemParams& params = params_;
  switch (symbol) {
    case kTxSteadyMark:
      return synth.SynthSteadyMark(out, Phase);
    case kTxCwDit:
    case kTxCwGap:
      return SynthCwElement(symbol, 0, out);
    case kTxCwDah:
      return SynthCwElement(symbol, 4, out);
    case kTxStopCarrier:
      return StopCarrier(out);
    case kTxPreamble: {
      // With CW identification requested the carrier stays off: the stop before CW is then a
      // silence, not a tail out of nothing.
      uint32_t n;
      if (params.TxLineState != 0) {
        n = synth.WriteTxSilence(out, Phase);
        params.TxLineState = 2;
      } else {
        n = synth.WriteTxPreamble(out, Phase);
      }
      tx_.TxState = 3;
      return n;
    }
    case kTxEnd:
      return EndTail(out);
    case kTxLineReset:
      params.TxLineState = 0;
      return synth.WriteTxSilence(out, Phase);
    case kTxSilence:
      return synth.WriteTxSilence(out, Phase);
    default:
      break;
  }
  const bool shiftCode = symbol == kTxLtrs || symbol == kTxFigs || symbol == kTxThird;
  if (symbol < 0 && !shiftCode) return 0;
  if (shiftCode && params.TxLineState == 2) return synth.WriteTxSilence(out, Phase);
  const ModeRow& row = ModeRowOf(params.Mode);
  switch (row.transmitter) {
    case TxFamily::kStartStop: {
      const int code = CharToBaudot(symbol, row.number, params.BaudotCodeSet);
      if (tx_.UseTxD && links_.keying && links_.keying->KeyingPortOpen()) {
        links_.keying->WriteTxdByte(static_cast<uint8_t>(code));
      }
      return synth.SynthFskChar(code, out, Phase);
    }
    case TxFamily::kPsk:
      return row.quadrature ? synth.SynthQpskChar(symbol, out, Phase)
                            : synth.SynthBpskChar(symbol, out, Phase);
    default:
      return 0;
  }
}

}  // namespace vestrel
