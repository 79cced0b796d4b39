#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace vestrel {

// Outcome of one call to the rig-control server. kServerError stands where the server
// itself would fail a call: no connection to the rig's control daemon, or lost.
enum class RigStatus { kOk, kServerError, kNotSupported, kInvalidValue };

struct RigValue {
  int64_t value = 0;
  RigStatus status = RigStatus::kOk;
  bool Ok() const { return status == RigStatus::kOk; }
};

// The control lines of the rig's own serial port.
class PortBits {
 public:
  virtual RigStatus SetRts(bool on) = 0;
  virtual RigStatus SetDtr(bool on) = 0;

 protected:
  ~PortBits() = default;
};

// A write the rig's server refused although the link to it held: what was written, and the
// server's own answer to it.
struct RigRefusal {
  enum class Param { kTx, kFreq, kMode, kRit, kVfo, kSplit };
  Param param = Param::kTx;
  std::string answer;  // as the server sent it, e.g. "set_ptt: 1 RPRT -1"
};

// One rig. Every call returns at once: reads answer from a cache that the server keeps
// up to date, writes are queued and reach the rig in the order they were made. A state read
// (Mode, Rit, Vfo, Split, Tx) answers kPmUnknown, and a frequency read 0, until the rig has
// told; the two masks answer kPmUnknown until the rig's capabilities are known, which is
// always before any state read answers anything else. Values are the kPm... bits of
// rig_params.h, frequencies and offsets in Hz.
class Rig {
 public:
  virtual RigValue ReadableParams() = 0;
  virtual RigValue WriteableParams() = 0;

  virtual RigValue Mode() = 0;
  virtual RigStatus SetMode(int64_t mode) = 0;
  virtual RigValue Rit() = 0;  // kPmRitOn / kPmRitOff
  virtual RigStatus SetRit(int64_t rit) = 0;
  virtual RigValue RitOffset() = 0;
  virtual RigStatus SetRitOffset(int64_t hz) = 0;
  virtual RigStatus ClearRit() = 0;
  virtual RigValue Vfo() = 0;
  virtual RigStatus SetVfo(int64_t vfo) = 0;
  virtual RigValue Freq() = 0;
  virtual RigStatus SetFreq(int64_t hz) = 0;
  virtual RigValue FreqA() = 0;
  virtual RigStatus SetFreqA(int64_t hz) = 0;
  virtual RigValue FreqB() = 0;
  virtual RigStatus SetFreqB(int64_t hz) = 0;
  virtual RigValue Split() = 0;  // kPmSplitOn / kPmSplitOff
  virtual RigStatus SetSplit(int64_t split) = 0;
  virtual RigValue Tx() = 0;  // kPmRx / kPmTx
  virtual RigStatus SetTx(int64_t tx) = 0;
  // The control lines of the rig's own port. Where the server cannot reach them, their
  // writes answer kNotSupported.
  virtual PortBits& GetPortBits() = 0;
  // The next refusal not yet taken. Each kind of write is reported once, and again only after
  // one of its kind has gone through. A server that cannot tell reports none.
  virtual std::optional<RigRefusal> TakeRefusal() { return std::nullopt; }
  // True while the last keying write (Tx := kPmTx) was refused: the rig is not keyed.
  virtual bool KeyRefused() { return false; }

 protected:
  ~Rig() = default;
};

// The server: two rigs and its own setup dialog.
class RigServer {
 public:
  virtual Rig& Rig1() = 0;
  virtual Rig& Rig2() = 0;
  virtual RigStatus SetDialogVisible(bool visible) = 0;

 protected:
  ~RigServer() = default;
};

}  // namespace vestrel
