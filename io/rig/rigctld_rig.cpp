#include "io/rig/rigctld_rig.h"

#include <bit>
#include <utility>

#include "io/rig/rig_params.h"

namespace vestrel {
namespace {

std::optional<std::string> Record(const std::map<std::string, std::string>& records, const char* key) {
  const auto it = records.find(key);
  if (it == records.end()) return std::nullopt;
  return it->second;
}

bool IsOneBitOf(int64_t value, uint32_t set) {
  return value > 0 && value <= 0xFFFFFFFF && std::has_single_bit(static_cast<uint32_t>(value)) &&
         (static_cast<uint32_t>(value) & set) != 0;
}

}  // namespace

RigctldRig::RigctldRig(RigctldEndpoint endpoint, RigctldTiming timing)
    : endpoint_(std::move(endpoint)), timing_(timing), poller_([this] { Run(); }) {}

RigctldRig::~RigctldRig() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  socket_.Interrupt();
  poller_.join();
}

RigctldRig::Link RigctldRig::LinkState() {
  std::lock_guard lock(mutex_);
  return link_;
}

// ---- GUI side ----

RigValue RigctldRig::ReadState(auto pick) {
  std::lock_guard lock(mutex_);
  if (link_ == Link::kOffline) return {0, RigStatus::kServerError};
  return {pick(), RigStatus::kOk};
}

RigValue RigctldRig::ReadableParams() {
  return ReadState([this]() -> int64_t { return capsKnown_ ? masks_.readable : kPmUnknown; });
}
RigValue RigctldRig::WriteableParams() {
  return ReadState([this]() -> int64_t { return capsKnown_ ? masks_.writeable : kPmUnknown; });
}
RigValue RigctldRig::Mode() {
  return ReadState([this]() -> int64_t { return state_.mode.value_or(kPmUnknown); });
}
RigValue RigctldRig::Rit() {
  return ReadState(
      [this]() -> int64_t { return state_.rit ? (*state_.rit ? kPmRitOn : kPmRitOff) : kPmUnknown; });
}
RigValue RigctldRig::RitOffset() {
  return ReadState([this]() -> int64_t { return state_.ritOffset.value_or(0); });
}
RigValue RigctldRig::Vfo() {
  return ReadState([this]() -> int64_t {
    if (!state_.vfo) return kPmUnknown;
    const bool withSplit = (masks_.readable & kPmVfoAA) != 0;
    if (withSplit && !state_.split) return kPmUnknown;
    return VfoStateBit(*state_.vfo, state_.split.value_or(false), withSplit);
  });
}
RigValue RigctldRig::Freq() {
  return ReadState([this]() -> int64_t { return state_.freq.value_or(0); });
}
RigValue RigctldRig::FreqA() {
  return ReadState([this]() -> int64_t { return state_.freqA.value_or(0); });
}
RigValue RigctldRig::FreqB() {
  return ReadState([this]() -> int64_t { return state_.freqB.value_or(0); });
}
RigValue RigctldRig::Split() {
  return ReadState(
      [this]() -> int64_t { return state_.split ? (*state_.split ? kPmSplitOn : kPmSplitOff) : kPmUnknown; });
}
RigValue RigctldRig::Tx() {
  return ReadState([this]() -> int64_t { return state_.tx ? (*state_.tx ? kPmTx : kPmRx) : kPmUnknown; });
}

RigStatus RigctldRig::SetMode(int64_t mode) {
  return Queue(Param::kMode, mode);
}
RigStatus RigctldRig::SetRit(int64_t rit) {
  return Queue(Param::kRit, rit);
}
RigStatus RigctldRig::SetRitOffset(int64_t hz) {
  return Queue(Param::kRitOffset, hz);
}
RigStatus RigctldRig::ClearRit() {
  return Queue(Param::kRitOffset, 0);
}
RigStatus RigctldRig::SetVfo(int64_t vfo) {
  return Queue(Param::kVfo, vfo);
}
RigStatus RigctldRig::SetFreq(int64_t hz) {
  return Queue(Param::kFreq, hz);
}
RigStatus RigctldRig::SetFreqA(int64_t hz) {
  return Queue(Param::kFreqA, hz);
}
RigStatus RigctldRig::SetFreqB(int64_t hz) {
  return Queue(Param::kFreqB, hz);
}
RigStatus RigctldRig::SetSplit(int64_t split) {
  return Queue(Param::kSplit, split);
}
RigStatus RigctldRig::SetTx(int64_t tx) {
  return Queue(Param::kTx, tx);
}

// Every bit a write of `param` may carry.
uint32_t RigctldRig::ParamBits(Param param) {
  switch (param) {
    case Param::kFreq:
      return kPmFreq;
    case Param::kFreqA:
      return kPmFreqA;
    case Param::kFreqB:
      return kPmFreqB;
    case Param::kMode:
      return kPmModes;
    case Param::kRit:
      return kPmRitOn | kPmRitOff;
    case Param::kRitOffset:
      return kPmRitOffset;
    case Param::kVfo:
      return kPmVfoStates | kPmVfoSwap;
    case Param::kSplit:
      return kPmSplitOn | kPmSplitOff;
    case Param::kTx:
      return kPmRx | kPmTx;
  }
  return 0;
}

// kInvalidValue for a value of the wrong shape; with the capabilities known, kNotSupported
// for one the rig cannot take.
RigStatus RigctldRig::Validate(Param param, int64_t value) const {
  const uint32_t bits = ParamBits(param);
  bool shapeOk = false;
  uint32_t needed = bits;
  switch (param) {
    case Param::kFreq:
    case Param::kFreqA:
    case Param::kFreqB:
      shapeOk = value > 0 && value <= 100'000'000'000;
      break;
    case Param::kRitOffset:
      shapeOk = value >= -1'000'000 && value <= 1'000'000;
      break;
    default:
      shapeOk = IsOneBitOf(value, bits);
      needed = static_cast<uint32_t>(value);
      break;
  }
  if (!shapeOk) return RigStatus::kInvalidValue;
  if (capsKnown_ && (masks_.writeable & needed) != needed) return RigStatus::kNotSupported;
  return RigStatus::kOk;
}

RigStatus RigctldRig::Queue(Param param, int64_t value) {
  {
    std::lock_guard lock(mutex_);
    if (link_ == Link::kOffline) return RigStatus::kServerError;
    if (const RigStatus status = Validate(param, value); status != RigStatus::kOk) return status;
    const Write w{param, value};
    writes_.push_back(w);
    ++writeSeq_;
    // Before the capabilities the cache stays empty: it is rebuilt on connecting.
    if (capsKnown_) Foresee(w);
  }
  wake_.notify_all();
  return RigStatus::kOk;
}

void RigctldRig::Foresee(const Write& w) {
  State& s = state_;
  auto freqOf = [&s](char v) { return v == 'B' ? s.freqB : s.freqA; };
  switch (w.param) {
    case Param::kFreq:
      s.freq = w.value;
      if (s.vfo == 'A') s.freqA = w.value;
      if (s.vfo == 'B') s.freqB = w.value;
      break;
    case Param::kFreqA:
      s.freqA = w.value;
      if (s.vfo == 'A') s.freq = w.value;
      break;
    case Param::kFreqB:
      s.freqB = w.value;
      if (s.vfo == 'B') s.freq = w.value;
      break;
    case Param::kMode:
      s.mode = static_cast<uint32_t>(w.value);
      break;
    case Param::kRit:
      s.rit = w.value == kPmRitOn;
      break;
    case Param::kRitOffset:
      s.ritOffset = w.value;
      break;
    case Param::kTx:
      s.tx = w.value == kPmTx;
      break;
    case Param::kSplit:
      s.split = w.value == kPmSplitOn;
      break;
    case Param::kVfo: {
      const auto v = static_cast<uint32_t>(w.value);
      if (v == kPmVfoSwap) {
        if (caps_.vfoOpList.count("XCHG") != 0) {
          std::swap(s.freqA, s.freqB);
          s.mode.reset();
        } else if (s.vfo) {
          s.vfo = *s.vfo == 'A' ? 'B' : 'A';
        }
      } else if (const VfoState* state = FindVfoState(v)) {
        if (s.vfo != state->rx) s.mode.reset();  // the other VFO may be in another mode
        s.vfo = state->rx;
        if (state->split) s.split = *state->split;
      }
      if (s.vfo) s.freq = freqOf(*s.vfo);
      break;
    }
  }
}

// ---- Poller side ----

void RigctldRig::Run() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
    }
    if (!socket_.IsOpen() && !OpenLink()) {
      std::unique_lock lock(mutex_);
      link_ = Link::kOffline;
      writes_.clear();
      wake_.wait_for(lock, timing_.reconnectInterval, [this] { return stop_; });
      continue;
    }
    if (!ApplyWrites() || !PollOnce()) {
      DropLink();
      // A daemon that accepts and then fails at once is not hammered.
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, timing_.reconnectInterval, [this] { return stop_; });
      continue;
    }
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, timing_.pollInterval, [this] { return stop_ || !writes_.empty(); });
  }
}

std::string RigctldRig::Cmd(const char* op, const std::string& args, const char* vfo) const {
  std::string c = op;
  if (access_.vfoMode) c += std::string(" ") + vfo;
  if (!args.empty()) c += " " + args;
  return c;
}

bool RigctldRig::Exchange(const std::string& command, Reply& reply) {
  return socket_.WriteAll("+" + command + "\n", timing_.replyTimeout) && ReadReply(reply);
}

bool RigctldRig::ReadReply(Reply& reply) {
  reply = Reply{};
  // The whole reply within one time-out, so a daemon that talks without end is lost too.
  const auto deadline = std::chrono::steady_clock::now() + timing_.replyTimeout;
  for (std::string line;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !socket_.ReadLine(line, left)) return false;
    switch (AddReplyLine(reply, line)) {
      case ReplyStep::kMore:
        break;
      case ReplyStep::kDone:
        return true;
      case ReplyStep::kFailed:
        return false;
    }
  }
}

bool RigctldRig::OpenLink() {
  if (!socket_.Connect(endpoint_.host, endpoint_.port, timing_.connectTimeout)) return false;
  RigVfoAccess access;
  // Whether the daemon runs with --vfo: a one-line answer ending in 0 or 1 ("ChkVFO: 1").
  std::string line;
  if (!socket_.WriteAll("\\chk_vfo\n", timing_.replyTimeout) ||
      !socket_.ReadLine(line, timing_.replyTimeout)) {
    socket_.Close();
    return false;
  }
  access.vfoMode = !line.empty() && line.rfind("RPRT", 0) != 0 && line.back() == '1';

  // Some daemon versions end the one-line answer above with an RPRT record as well; the
  // reply reader skips it.
  Reply reply;
  const bool ok = Exchange("\\dump_caps", reply);
  if (!ok || reply.code != 0) {
    socket_.Close();
    return false;
  }
  std::string text;
  for (const std::string& l : reply.lines) text += l + "\n";
  const RigctldCaps caps = ParseDumpCaps(text);

  if (!access.vfoMode) {
    Reply info;
    if (!Exchange("\\get_vfo_info VFOA", info)) {
      socket_.Close();
      return false;
    }
    access.vfoInfo = info.code == 0 && info.records.count("Freq") != 0;
  }

  std::lock_guard lock(mutex_);
  caps_ = caps;
  access_ = access;
  masks_ = BuildParamMasks(caps, access);
  capsKnown_ = true;
  state_ = State{};
  // Writes queued while connecting are checked against what the rig can do.
  std::deque<Write> keep;
  for (const Write& w : writes_)
    if (Validate(w.param, w.value) == RigStatus::kOk) keep.push_back(w);
  writes_.swap(keep);
  link_ = Link::kOnline;
  return true;
}

void RigctldRig::DropLink() {
  socket_.Close();
  std::lock_guard lock(mutex_);
  link_ = Link::kOffline;
  capsKnown_ = false;
  state_ = State{};
  writes_.clear();
}

bool RigctldRig::ApplyWrites() {
  for (;;) {
    Write w;
    {
      std::lock_guard lock(mutex_);
      if (stop_ || writes_.empty()) return true;
      w = writes_.front();
      writes_.pop_front();
    }
    if (!ApplyWrite(w)) return false;
  }
}

bool RigctldRig::CurrentVfo(char& letter) {
  letter = 'A';
  if (!caps_.getVfo) return true;
  Reply r;
  if (!Exchange("v", r)) return false;
  if (const auto name = Record(r.records, "VFO"); r.code == 0 && name && VfoLetterFromName(*name) != 0)
    letter = VfoLetterFromName(*name);
  return true;
}

bool RigctldRig::Send(const std::string& command, std::optional<std::string>* refused) {
  Reply r;
  if (!Exchange(command, r)) return false;
  if (r.code != 0 && !*refused) {
    std::string answer;
    for (const std::string& line : r.lines) answer += line + " ";
    answer += r.code == Reply::kBadCode ? std::string("RPRT ?") : "RPRT " + std::to_string(r.code);
    *refused = answer;
  }
  return true;
}

bool RigctldRig::ApplyWrite(const Write& w) {
  std::optional<std::string> refused;
  auto send = [&](const std::string& command) { return Send(command, &refused); };
  const std::string value = std::to_string(w.value);
  bool linked = true;
  switch (w.param) {
    case Param::kFreq:
      linked = send(Cmd("F", value));
      break;
    case Param::kFreqA:
    case Param::kFreqB: {
      const char target = w.param == Param::kFreqA ? 'A' : 'B';
      char current;
      if (access_.vfoMode) {
        linked = send(Cmd("F", value, VfoName(target)));
      } else if (!CurrentVfo(current)) {
        linked = false;
      } else if (current == target) {
        linked = send("F " + value);
      } else {
        linked = send(std::string("V ") + VfoName(target)) && send("F " + value) &&
                 send(std::string("V ") + VfoName(current));
      }
      break;
    }
    case Param::kMode: {
      const char* name = ModeNameForBit(static_cast<uint32_t>(w.value), caps_);
      // Passband 0: the rig's normal filter for the mode.
      if (name == nullptr) return true;
      linked = send(Cmd("M", std::string(name) + " 0"));
      break;
    }
    case Param::kRit:
      linked = send(Cmd("U", w.value == kPmRitOn ? "RIT 1" : "RIT 0"));
      break;
    case Param::kRitOffset:
      linked = send(Cmd("J", value));
      break;
    case Param::kTx:
      linked = send(Cmd("T", w.value == kPmTx ? "1" : "0"));
      break;
    case Param::kSplit: {
      char current;
      if (!CurrentVfo(current)) return false;
      const char other = current == 'A' ? 'B' : 'A';
      linked = w.value == kPmSplitOn ? send(Cmd("S", std::string("1 ") + VfoName(other)))
                                     : send(Cmd("S", std::string("0 ") + VfoName(current)));
      break;
    }
    case Param::kVfo: {
      const auto v = static_cast<uint32_t>(w.value);
      if (v == kPmVfoSwap) {
        linked = send(Cmd("G", caps_.vfoOpList.count("XCHG") != 0 ? "XCHG" : "TOGGLE"));
        break;
      }
      const VfoState* state = FindVfoState(v);
      if (state == nullptr) return true;
      linked = send(std::string("V ") + VfoName(state->rx));
      if (linked && state->split) {
        const char other = state->rx == 'A' ? 'B' : 'A';
        linked = send(Cmd("S", *state->split ? std::string("1 ") + VfoName(other)
                                             : std::string("0 ") + VfoName(state->rx)));
      }
      break;
    }
  }
  if (linked) NoteOutcome(w, refused);
  return linked;
}

void RigctldRig::NoteOutcome(const Write& w, const std::optional<std::string>& refused) {
  using Kind = RigRefusal::Param;
  Kind kind = Kind::kTx;
  switch (w.param) {
    case Param::kFreq:
    case Param::kFreqA:
    case Param::kFreqB:
      kind = Kind::kFreq;
      break;
    case Param::kMode:
      kind = Kind::kMode;
      break;
    case Param::kRit:
    case Param::kRitOffset:
      kind = Kind::kRit;
      break;
    case Param::kVfo:
      kind = Kind::kVfo;
      break;
    case Param::kSplit:
      kind = Kind::kSplit;
      break;
    case Param::kTx:
      kind = Kind::kTx;
      break;
  }
  std::lock_guard lock(mutex_);
  if (w.param == Param::kTx) keyRefused_ = w.value == kPmTx && refused.has_value();
  if (!refused) {
    refusedKinds_.erase(kind);
    return;
  }
  if (refusedKinds_.insert(kind).second) refusals_.push_back({kind, *refused});
}

std::optional<RigRefusal> RigctldRig::TakeRefusal() {
  std::lock_guard lock(mutex_);
  if (refusals_.empty()) return std::nullopt;
  RigRefusal r = refusals_.front();
  refusals_.pop_front();
  return r;
}

bool RigctldRig::KeyRefused() {
  std::lock_guard lock(mutex_);
  return keyRefused_;
}

bool RigctldRig::PollOnce() {
  uint64_t seq;
  {
    std::lock_guard lock(mutex_);
    seq = writeSeq_;
  }
  // A write queued meanwhile ends the round: its result would be stale, and the write
  // should not wait behind reads.
  auto overtaken = [this, seq] {
    std::lock_guard lock(mutex_);
    return stop_ || writeSeq_ != seq;
  };
  State s;
  Reply r;
  auto read = [&](const std::string& command) { return Exchange(command, r); };
  auto number = [&](const char* key) {
    return r.code == 0 ? ParseRigctldInteger(Record(r.records, key).value_or("")) : std::nullopt;
  };
  // A frequency that does not parse leaves what was known: 0 Hz or "14070000junk" is no
  // frequency to add an offset to.
  auto frequency = [&](const char* key) {
    return r.code == 0 ? ParseRigctldFrequency(Record(r.records, key).value_or("")) : std::nullopt;
  };

  if (caps_.getVfo) {
    if (!read("v")) return false;
    if (const auto name = Record(r.records, "VFO"); r.code == 0 && name && VfoLetterFromName(*name) != 0)
      s.vfo = VfoLetterFromName(*name);
  }
  if (caps_.getSplit) {
    if (overtaken()) return true;
    if (!read(Cmd("s"))) return false;
    if (const auto split = number("Split")) s.split = *split != 0;
  }
  if (caps_.getFreq) {
    if (overtaken()) return true;
    if (!read(Cmd("f"))) return false;
    s.freq = frequency("Frequency");
  }
  if (masks_.readable & kPmFreqA) {
    for (const char v : {'A', 'B'}) {
      if (overtaken()) return true;
      std::optional<int64_t> f;
      if (access_.vfoMode) {
        if (!read(Cmd("f", {}, VfoName(v)))) return false;
        f = frequency("Frequency");
      } else {
        if (!read(std::string("\\get_vfo_info ") + VfoName(v))) return false;
        f = frequency("Freq");
      }
      (v == 'A' ? s.freqA : s.freqB) = f;
    }
  }
  if (caps_.getMode) {
    if (overtaken()) return true;
    if (!read(Cmd("m"))) return false;
    if (const auto name = Record(r.records, "Mode"); r.code == 0 && name) {
      const auto bit = ModeBitFromName(*name);
      s.mode = bit ? *bit : 0;  // a mode with no bit of its own is known, but none of ours
    }
  }
  if (caps_.getRit) {
    if (overtaken()) return true;
    if (!read(Cmd("j"))) return false;
    s.ritOffset = number("RIT");
  }
  if (masks_.readable & kPmRitOn) {
    if (overtaken()) return true;
    if (!read(Cmd("u", "RIT"))) return false;
    if (r.code == 0 && !r.bare.empty()) s.rit = r.bare.back() != "0";
  }
  if (caps_.getPtt) {
    if (overtaken()) return true;
    if (!read(Cmd("t"))) return false;
    if (const auto ptt = number("PTT")) s.tx = *ptt != 0;
  }

  std::lock_guard lock(mutex_);
  if (writeSeq_ != seq || stop_) return true;
  // A value the rig failed to report keeps what was known before.
  auto merge = [](auto& into, const auto& from) {
    if (from) into = from;
  };
  merge(state_.vfo, s.vfo);
  merge(state_.split, s.split);
  merge(state_.freq, s.freq);
  merge(state_.freqA, s.freqA);
  merge(state_.freqB, s.freqB);
  merge(state_.mode, s.mode);
  merge(state_.ritOffset, s.ritOffset);
  merge(state_.rit, s.rit);
  merge(state_.tx, s.tx);
  return true;
}

}  // namespace vestrel
