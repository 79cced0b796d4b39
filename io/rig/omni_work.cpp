#include "io/rig/omni_work.h"

#include <cstdlib>
#include <utility>

#include "engine/frequency_unit.h"
#include "io/rig/rig_params.h"

namespace vestrel {
namespace {

// The control lines of a COM port as the PTT settings name them: pin 1 DTR, pin 2 RTS.
constexpr uint8_t kDtrLine = 1;
constexpr uint8_t kRtsLine = 2;

uint8_t PinLine(int32_t pin) {
  return pin == 1 ? kDtrLine : pin == 2 ? kRtsLine : 0;
}

// The Vfo states in which VFO B receives.
constexpr uint32_t kVfoBReceives = kPmVfoBA | kPmVfoBB | kPmVfoB;

// Marks a call with waits under way for the time of the call.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

// Spectrum bins of a move of hz: (round(hz x 32768 / 11025) + 8) / 16, truncated toward zero.
int BinsOf(int64_t hz) {
  const int32_t e = RoundToInt32(static_cast<double>(hz) * kUnitsPerCycle / kRxRate);
  return static_cast<int>((int64_t{e} + 8) / 16);
}

}  // namespace

void ShiftSpectrumPeaks(std::array<float, SpectrumArrays::kSize>& peaks, int n) {
  constexpr int lo = SpectrumArrays::kFirstBin, hi = SpectrumArrays::kLastBin;
  // Each source is read before it is overwritten: upwards when the sources lie above, downwards
  // when they lie below.
  if (n >= 0) {
    for (int i = lo; i <= hi; ++i) {
      const int64_t src = int64_t{i} + n;
      peaks[i] = src <= hi ? peaks[static_cast<size_t>(src)] : 0.0f;
    }
  } else {
    for (int i = hi; i >= lo; --i) {
      const int64_t src = int64_t{i} + n;
      peaks[i] = src >= lo ? peaks[static_cast<size_t>(src)] : 0.0f;
    }
  }
}

TOmniWork::TOmniWork(RigControlSettings& settings, const KeyingPortSettings& ports, TModemParams& params,
                     const TSampleRates& rates, TRxBlockProcessor& blocks, Links links)
    : s_(settings),
      ports_(ports),
      params_(params),
      rates_(rates),
      blocks_(blocks),
      links_(std::move(links)) {}

RigServer& TOmniWork::Server() {
  if (server_ == nullptr) server_ = &links_.makeServer();
  return *server_;
}

Rig* TOmniWork::TakeRig(int number) {
  return number == 2 ? &Server().Rig2() : &Server().Rig1();
}

TOmniWork::Read TOmniWork::ReadRetried(Rig& rig, RigValue (Rig::*read)(), int64_t unknown) {
  Read r;
  for (int i = 0; i < readTries; ++i) {
    if (i > 0) links_.window->Wait(readGap);
    const RigValue v = (rig.*read)();
    if (!v.Ok()) return r;
    r = {true, v.value};
    if (v.value != unknown) break;
  }
  return r;
}

int TOmniWork::TuneFailed() {
  tuneState_ = 0;
  return kNotConnected;
}

bool TOmniWork::Write(RigStatus status) {
  return status == RigStatus::kOk;
}

void TOmniWork::Freeze() {
  blocks_.SpectrumFreeze = 2;
}

// ---- Connections ----

int TOmniWork::OpenTuneRig() {
  tuneState_ = 0;
  tuneRig_ = nullptr;
  if (s_.RigNumber != 1 && s_.RigNumber != 2) return 0;
  Rig* rig = TakeRig(s_.RigNumber);
  tuneState_ = 1;
  const RigValue readable = rig->ReadableParams();
  const RigValue writeable = rig->WriteableParams();
  const RigValue mode = rig->Mode();
  if (!readable.Ok() || !writeable.Ok() || !mode.Ok()) return TuneFailed(), 0;
  readable_ = static_cast<uint32_t>(readable.value);
  writeable_ = static_cast<uint32_t>(writeable.value);
  tuneRig_ = rig;
  tuneState_ = 3;
  return 3;
}

void TOmniWork::OpenPttRig() {
  pttState_ = 0;
  pttRig_ = nullptr;
  keyedByCat_ = false;
  const int type = ports_.PttPortType;
  if (type != 4 && type != 5) return;
  Rig* rig = TakeRig(ports_.PttPortNumber == 2 ? 2 : 1);
  if (!rig->Mode().Ok()) return;
  if (type == 4) {
    pttLines_ = PinLine(ports_.PttPin);
    powerLines_ = static_cast<uint8_t>(PinLine(ports_.PowerPin1) | PinLine(ports_.PowerPin2));
    PortBits& bits = rig->GetPortBits();
    RigStatus st = RigStatus::kOk;
    auto line = [&st](RigStatus s) {
      if (st == RigStatus::kOk) st = s;
    };
    // The idle lines: the power lines up, the PTT line down.
    if (powerLines_ & kRtsLine) line(bits.SetRts(true));
    if (pttLines_ & kRtsLine) line(bits.SetRts(false));
    if (pttLines_ & kDtrLine) {
      line(bits.SetDtr(false));
    } else {
      line(bits.SetDtr((powerLines_ & kDtrLine) != 0));
    }
    if (st != RigStatus::kOk) {
      // The daemon keys the rig only by CAT or by a PTT line of its own: said once a run.
      if (st == RigStatus::kNotSupported && !portLinesReported_) {
        portLinesReported_ = true;
        links_.boxes->ShowMessage(kErrorCaption, kNoPortLines);
      }
      return;
    }
  }
  pttRig_ = rig;
  pttState_ = 3;
}

int TOmniWork::SetPtt(bool on) {
  const bool cat = ports_.PttPortType == 5;
  if (on) unkeyOwed_ = false;  // a new keying takes its place
  if (!on) {
    // The transmission is over, and the mark with it.
    keyedByCat_ = false;
    if (notKeyedShown_) {
      notKeyedShown_ = false;
      links_.window->SetNotKeyedMark(false);
    }
  }
  if (pttState_ != 3) {
    if (!on && cat) unkeyOwed_ = true;
    return 2;
  }
  RigStatus st = RigStatus::kOk;
  if (ports_.PttPortType == 4) {
    PortBits& bits = pttRig_->GetPortBits();
    if (pttLines_ & kRtsLine) st = bits.SetRts(on);
    if (st == RigStatus::kOk && (pttLines_ & kDtrLine)) st = bits.SetDtr(on);
  } else if (cat) {
    st = pttRig_->SetTx(on ? kPmTx : kPmRx);
    keyedByCat_ = on && st == RigStatus::kOk;
    // A queued unkey may still be lost with the link: it counts once the rig shows it.
    if (!on) unkeyOwed_ = true;
  }
  if (st != RigStatus::kOk) pttState_ = 0;
  return 0;
}

void TOmniWork::RetryUnkey() {
  if (!unkeyOwed_ || server_ == nullptr) return;
  // Taken again from the same server object, whose rig reconnects by itself.
  Rig* rig = TakeRig(ports_.PttPortNumber == 2 ? 2 : 1);
  const RigValue tx = rig->Tx();
  if (tx.Ok() && tx.value == kPmRx) {
    unkeyOwed_ = false;
    if (ports_.PttPortType == 5 && pttState_ != 3) {
      pttRig_ = rig;
      pttState_ = 3;
    }
    return;
  }
  if (tx.Ok() && tx.value != kPmTx) {
    // Not known yet (the link has just come back), or never: a rig that cannot report its
    // transmit state takes a delivered unkey on trust.
    const RigValue readable = rig->ReadableParams();
    const bool canTell = !readable.Ok() || readable.value == kPmUnknown || (readable.value & kPmTx) != 0;
    if (!canTell && rig->SetTx(kPmRx) == RigStatus::kOk) unkeyOwed_ = false;
    return;
  }
  // Still keyed, or the server cannot be reached: sent again.
  rig->SetTx(kPmRx);
}

int64_t TOmniWork::GetMode() {
  if (tuneState_ != 3) return kPmUnknown;
  const RigValue mode = tuneRig_->Mode();
  if (!mode.Ok()) return TuneFailed(), kPmUnknown;
  return mode.value;
}

uint32_t TOmniWork::CanWriteParam(uint32_t mask) {
  return tuneState_ == 3 ? writeable_ & mask : 0;
}

int TOmniWork::ShowSetupDialog() {
  if (tuneState_ != 3 && OpenTuneRig() != 3) return 1;
  return Server().SetDialogVisible(true) == RigStatus::kOk ? 0 : 1;
}

// ---- Tuning ----

template <typename F>
int TOmniWork::Guarded(int busyResult, F call) {
  if (busy_) return busyResult;
  int r;
  {
    BusyScope busy(busy_);
    r = call();
  }
  // Asked for during one of the waits of this call.
  if (restartOwed_) StartRigControl();
  return r;
}

int TOmniWork::QsyToSignal(int kind) {
  return Guarded(kBusy, [&] { return Qsy(kind); });
}

int TOmniWork::Qsy(int kind) {
  // The receive centre against the transmit centre, each at its own sample rate.
  const double rx =
      (static_cast<double>(params_.RxTone[0]) + params_.RxTone[1]) / 2.0 * kRxRate / kUnitsPerCycle;
  const double tx = (static_cast<double>(params_.TxTone[0]) + params_.TxTone[1]) / 2.0 *
                    UsableTxRate(rates_.OutSamplingFreq) / kUnitsPerCycle;
  const int32_t d = RoundToInt32(rx - tx);
  const int32_t e = RoundToInt32(d * kUnitsPerCycle / kRxRate);
  const int r = Tune(kind, d, static_cast<int>((int64_t{e} + 8) / 16));
  if (r == kDone) {
    // The signal now sounds on the transmit tones: the receive tones go there too.
    for (int i = 0; i < 2; ++i) {
      params_.RxTone[i] -= e;
      params_.RxToneBin[i] = UnitsToBin(params_.RxTone[i]);
    }
  }
  return r;
}

int TOmniWork::ShiftFrequency(int kind, int hz) {
  return Guarded(kBusy, [&] { return Tune(kind, hz, BinsOf(hz)); });
}

int TOmniWork::Tune(int kind, int64_t d, int bins) {
  if (kind == 0) return kOff;
  if (tuneState_ != 3) return kNotConnected;
  Rig& rig = *tuneRig_;
  const Read mode = ReadRetried(rig, &Rig::Mode, kPmUnknown);
  if (!mode.ok) return TuneFailed();
  if (mode.value == kPmUnknown) return kModeUnknown;
  if (mode.value & kPmLowerSideband) d = -d;
  int r;
  if (kind == 1) {
    r = TuneRit(rig, d);
  } else if (kind == 2) {
    r = TuneVfo(rig, d);
  } else {
    return kBadKind;
  }
  if (r == kDone) ShiftSpectrumPeaks(blocks_.Spectrum.SpectrumPeak, bins);
  return r;
}

int TOmniWork::TuneRit(Rig& rig, int64_t d) {
  const Read rit = ReadRetried(rig, &Rig::Rit, kPmUnknown);
  if (!rit.ok) return TuneFailed();
  if (rit.value == kPmUnknown) return kRitUnknown;
  int64_t start = 0;
  if (rit.value == kPmRitOff) {
    Freeze();
    if (!Write(rig.ClearRit()) || !Write(rig.SetRit(kPmRitOn))) return TuneFailed();
  } else {
    const RigValue offset = rig.RitOffset();
    if (!offset.Ok()) return TuneFailed();
    start = offset.value;
  }
  Freeze();
  if (!Write(rig.SetRitOffset(start + d))) return TuneFailed();
  return kDone;
}

int TOmniWork::TuneVfo(Rig& rig, int64_t d) {
  constexpr uint32_t kAB = kPmFreqA | kPmFreqB;
  if ((readable_ & kAB) == kAB && (writeable_ & kAB) == kAB) {
    const Read vfo = ReadRetried(rig, &Rig::Vfo, kPmUnknown);
    if (!vfo.ok) return TuneFailed();
    if (vfo.value == kPmUnknown) return kVfoUnknown;
    if (vfo.value & kVfoBReceives) {
      const Read b = ReadRetried(rig, &Rig::FreqB, 0);
      if (!b.ok) return TuneFailed();
      if (b.value == 0) return kFreqUnknown;
      Freeze();
      return Write(rig.SetFreqB(b.value + d)) ? kDone : TuneFailed();
    }
    const Read a = ReadRetried(rig, &Rig::FreqA, 0);
    if (!a.ok) return TuneFailed();
    if (a.value == 0) return kFreqUnknown;
    Freeze();
    if (!Write(rig.SetFreqA(a.value + d))) return TuneFailed();
    if (s_.TuneVFOBtoA != 0) {
      Freeze();
      if (!Write(rig.SetFreqB(a.value + d + s_.VFOBoffset))) return TuneFailed();
      lastApplied_ = a.value + d;
    }
    return kDone;
  }
  if ((readable_ & kPmFreq) && (writeable_ & kPmFreq)) {
    const Read f = ReadRetried(rig, &Rig::Freq, 0);
    if (!f.ok) return TuneFailed();
    if (f.value == 0) return kFreqUnknown;
    Freeze();
    if (!Write(rig.SetFreq(f.value + d))) return TuneFailed();
    if (s_.TuneVFOBtoA != 0) SplitCheck(f.value + d);
    return kDone;
  }
  return kUnsupported;
}

// ---- Split ----

int TOmniWork::SetSplitTxFrequency(int64_t arg) {
  if (s_.TuneVFOBtoA == 0) return kOff;
  if (tuneState_ != 3) return kNotConnected;
  return Guarded(kSplitRunning, [&] { return SplitCheck(arg); });
}

int TOmniWork::SplitCheck(int64_t arg) {
  if (s_.TuneVFOBtoA == 0) return kOff;
  if (tuneState_ != 3) return kNotConnected;
  Rig& rig = *tuneRig_;
  const RigValue vfo = rig.Vfo();
  if (!vfo.Ok()) return TuneFailed();
  if (vfo.value != kPmUnknown && (vfo.value & kVfoBReceives)) return kSplitVfoB;

  enum class Set { kFreqB, kSelectB, kSwap } set;
  constexpr uint32_t kSelect = kPmVfoA | kPmVfoB;
  constexpr uint32_t kSwapSplit = kPmVfoSwap | kPmSplitOn | kPmSplitOff;
  if ((readable_ & kPmFreqA) && (writeable_ & kPmFreqB)) {
    set = Set::kFreqB;
  } else if ((readable_ & kPmFreqA) && (writeable_ & kPmFreq) && (writeable_ & kSelect) == kSelect) {
    set = Set::kSelectB;
  } else if ((readable_ & kPmFreq) && (writeable_ & kPmFreq) && (writeable_ & kSwapSplit) == kSwapSplit) {
    set = Set::kSwap;
  } else {
    return kUnsupported;
  }

  int64_t f = arg;
  if (arg < 3) {
    const Read read = ReadRetried(rig, set == Set::kSwap ? &Rig::Freq : &Rig::FreqA, 0);
    if (!read.ok) return TuneFailed();
    // Not known yet: nothing written and nothing remembered, so no sum is made with 0 Hz.
    if (read.value == 0) return kFreqUnknown;
    f = read.value;
  }
  // Changed: always from StartRigControl and for a frequency given; at transmit switching
  // whenever it differs; otherwise once the dial has settled (the same as at the previous
  // check) more than 50 Hz from where the transmit VFO was last put.
  bool changed;
  if (arg >= 2) {
    changed = true;
  } else if (arg == 1 && f != lastApplied_) {
    changed = true;
  } else {
    changed = std::llabs(f - lastApplied_) > 50 && f == lastSeen_;
  }
  lastSeen_ = f;
  if (!changed) return kDone;

  const int64_t txf = f + s_.VFOBoffset;
  bool ok = false;
  switch (set) {
    case Set::kFreqB:
      ok = Write(rig.SetFreqB(txf));
      break;
    case Set::kSelectB:
      ok = Write(rig.SetVfo(kPmVfoB)) && Write(rig.SetFreq(txf)) && Write(rig.SetVfo(kPmVfoA)) &&
           Write(rig.SetSplit(kPmSplitOn));
      break;
    case Set::kSwap:
      ok = Write(rig.SetSplit(kPmSplitOff)) && Write(rig.SetVfo(kPmVfoSwap)) && Write(rig.SetFreq(txf)) &&
           Write(rig.SetVfo(kPmVfoSwap)) && Write(rig.SetSplit(kPmSplitOn));
      break;
  }
  if (!ok) return TuneFailed();
  lastApplied_ = f;
  return kDone;
}

// ---- Start, wheel, timer ----

void TOmniWork::StartRigControl() {
  // Asked again from one of its own waits (Ctrl+U, the setup dialog): runs once this one ends.
  if (busy_) {
    restartOwed_ = true;
    return;
  }
  BusyScope busy(busy_);
  do {
    restartOwed_ = false;
    StartRigControlOnce();
  } while (restartOwed_);
}

void TOmniWork::OffMessage(const char* text) {
  links_.window->SetTuneByPanel("");
  links_.boxes->ShowMessage(kErrorCaption, text);
}

void TOmniWork::StartRigControlOnce() {
  RigWindow& w = *links_.window;
  if (s_.TuneRig == 1) {
    w.SetTuneByPanel("RIT");
  } else if (s_.TuneRig == 2) {
    w.SetTuneByPanel("VFO");
  } else {
    s_.TuneRig = 0;
    w.SetTuneByPanel("");
  }
  if (s_.TuneRig != 0 || s_.TuneVFOBtoA != 0) {
    bool failed = OpenTuneRig() != 3;
    RigValue mode{kPmUnknown, RigStatus::kOk};
    if (!failed) {
      mode = tuneRig_->Mode();
      for (int i = 0; mode.Ok() && mode.value == kPmUnknown && i < startModeRetries; ++i) {
        w.Wait(startModeGap);
        // The rig may have been let go meanwhile (a failed call made in the wait).
        if (tuneState_ != 3) break;
        mode = tuneRig_->Mode();
      }
      failed = tuneState_ != 3 || !mode.Ok();
    }
    if (!failed && mode.value != kPmUnknown) {
      // The capabilities are known before Mode answers, and they may not have been when the
      // rig was taken: the masks again.
      const RigValue readable = tuneRig_->ReadableParams();
      const RigValue writeable = tuneRig_->WriteableParams();
      failed = !readable.Ok() || !writeable.Ok();
      readable_ = static_cast<uint32_t>(readable.value);
      writeable_ = static_cast<uint32_t>(writeable.value);
    }
    if (failed) {
      tuneState_ = 0;
      s_.TuneRig = 0;
      s_.TuneVFOBtoA = 0;
      w.SetTxAfcButtonEnabled(true);
      OffMessage(kStartFailed);
      return;
    }
    if (mode.value == kPmUnknown) {
      s_.TuneRig = 0;
      s_.TuneVFOBtoA = 0;
      OffMessage(kNoAnswer);
    }
  }
  if (s_.TuneRig == 1 && CanWriteParam(kPmRitOffset) == 0) {
    s_.TuneRig = 0;
    OffMessage(kNoRit);
  }
  if (s_.TuneRig != 0) {
    s_.LastTuneRig = s_.TuneRig;
    w.SetTxAfcButtonEnabled(false);
  } else {
    w.SetTxAfcButtonEnabled(true);
  }
  if (s_.TuneVFOBtoA != 0 && SplitCheck(2) == kUnsupported) {
    s_.TuneRig = 0;
    s_.TuneVFOBtoA = 0;
    // Rig tuning is off now: the panel and the TX AFC button say so as well.
    w.SetTxAfcButtonEnabled(true);
    OffMessage(kNoBtoA);
  }
}

void TOmniWork::MouseWheel(int delta) {
  if (s_.UseWheel == 0) return;
  const int hz = static_cast<int>(int64_t{delta} * s_.WheelSpeed / 4);
  if (s_.TuneRig == 0) {
    links_.window->ShiftRxFrequency(HzToUnits(hz));
    return;
  }
  if (ShiftFrequency(s_.TuneRig, hz) == kUnsupported) CommandSetMissing();
}

bool TOmniWork::TuneToSignal() {
  if (s_.TuneRig == 0) return false;
  const int r = QsyToSignal(s_.TuneRig);
  if (r == kUnsupported) CommandSetMissing();
  return r == kDone;
}

void TOmniWork::CommandSetMissing() {
  links_.boxes->ShowMessage(kErrorCaption, kNoCommandSet);
  s_.TuneRig = 0;
  StartRigControl();
}

std::string TOmniWork::RefusalText(const RigRefusal& refusal) {
  const char* what = "";
  switch (refusal.param) {
    case RigRefusal::Param::kTx:
      return "rigctld did not key the rig: it answered \"" + refusal.answer +
             "\". Start rigctld with a PTT of its own: by CAT (-P RIG) or by a line of the rig's port "
             "(for example -p /dev/ttyUSB0 -P RTS).";
    case RigRefusal::Param::kFreq:
      what = "the frequency";
      break;
    case RigRefusal::Param::kMode:
      what = "the mode";
      break;
    case RigRefusal::Param::kRit:
      what = "the RIT";
      break;
    case RigRefusal::Param::kVfo:
      what = "the VFO change";
      break;
    case RigRefusal::Param::kSplit:
      what = "the split";
      break;
  }
  return std::string("rigctld refused ") + what + ": it answered \"" + refusal.answer + "\".";
}

void TOmniWork::ReportRefusals() {
  for (Rig* rig : {tuneRig_, pttRig_ != tuneRig_ ? pttRig_ : nullptr}) {
    if (rig == nullptr) continue;
    while (const auto refusal = rig->TakeRefusal())
      links_.boxes->ShowMessage(kErrorCaption, RefusalText(*refusal));
  }
  const bool notKeyed = keyedByCat_ && pttRig_ != nullptr && pttRig_->KeyRefused();
  if (notKeyed != notKeyedShown_) {
    notKeyedShown_ = notKeyed;
    links_.window->SetNotKeyedMark(notKeyed);
  }
}

void TOmniWork::EverySecond() {
  RetryUnkey();
  SetSplitTxFrequency(0);
}

}  // namespace vestrel
