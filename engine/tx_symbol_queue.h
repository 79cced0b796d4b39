#pragma once
#include <array>
#include <cstdint>

#include "engine/messages.h"

namespace vestrel {

// A transmit symbol: 0..255 is a character of the current mode's code set, a negative value
// a control code.
using TxSymbol = int32_t;

inline constexpr TxSymbol kTxLtrs = -1;  // LTRS, or the idle character of the PSK modes
inline constexpr TxSymbol kTxFigs = -2;
inline constexpr TxSymbol kTxEnd = -3;  // end of transmission
inline constexpr TxSymbol kTxPreamble = -4;
inline constexpr TxSymbol kTxSilence = -5;      // 2002 samples of silence
inline constexpr TxSymbol kTxStopCarrier = -6;  // stop the carrier before CW identification
inline constexpr TxSymbol kTxLineReset = -7;    // silence, line state back to normal
inline constexpr TxSymbol kTxCwDit = -8;
inline constexpr TxSymbol kTxCwDah = -9;
inline constexpr TxSymbol kTxCwGap = -10;
inline constexpr TxSymbol kTxAmtorEnd = -12;   // AMTOR FEC: the tail and the end mark
inline constexpr TxSymbol kTxPhasing = -13;    // AMTOR FEC phasing (0x33)
inline constexpr TxSymbol kTxIdleBeta = -14;   // AMTOR FEC idle (0x78)
inline constexpr TxSymbol kTxAmtorStop = -15;  // AMTOR FEC: the tail before CW
inline constexpr TxSymbol kTxThird = -16;      // third-register shift
inline constexpr TxSymbol kTxSteadyMark = -17;
inline constexpr TxSymbol kTxMfskTuneA = -23;  // MFSK: a 1 and 16 zeros through the encoder
inline constexpr TxSymbol kTxMfskZeros = -24;  // MFSK: 16 zero code bits (the flush at the end)
inline constexpr TxSymbol kTxMfskPad = -25;    // MFSK: 8 symbols on the first tone
inline constexpr TxSymbol kTxMfskTuneB = -26;  // MFSK: some 0.9 s on the first tone
inline constexpr TxSymbol kTxPausePoint = -27;
inline constexpr TxSymbol kTxBlockPad = -29;

// A ring of N values (N a power of two) that refuses a new one once N - 1 are pending.
template <typename T, uint32_t N>
class BoundedRing {
 public:
  static_assert((N & (N - 1)) == 0);
  static constexpr uint32_t kSize = N;
  static constexpr uint32_t kMask = N - 1;
  static constexpr uint32_t kMaxPending = N - 1;

  bool Push(T value) {
    if (pending_ >= kMaxPending) return false;
    ring_[write_] = value;
    write_ = (write_ + 1) & kMask;
    ++pending_;
    return true;
  }
  // The oldest value; only when not Empty().
  T Head() const { return ring_[read_]; }
  void Pop() {
    if (pending_ == 0) return;
    read_ = (read_ + 1) & kMask;
    --pending_;
  }
  uint32_t Pending() const { return pending_; }
  bool Empty() const { return pending_ == 0; }
  void Clear() { write_ = read_ = pending_ = 0; }

 private:
  std::array<T, N> ring_{};
  uint32_t write_ = 0;
  uint32_t read_ = 0;
  uint32_t pending_ = 0;
};

// Everything that is transmitted, as one ring of 65536 symbols. Refuses a symbol once 65535
// are pending (the new one is dropped). GUI thread only.
class TxSymbolQueue {
 public:
  static constexpr uint32_t kMaxPending = 65535;

  explicit TxSymbolQueue(Poster& poster) : poster_(poster) {}

  // Stores the symbol and posts WM_PUMP_TX. Returns false when the queue was full.
  bool PostTxSymbol(TxSymbol symbol);
  // The same without the message (raw file sends post one WM_WAVEOUT_DONE at the end).
  bool QueueTxSymbol(TxSymbol symbol) { return ring_.Push(symbol); }

  uint32_t Pending() const { return ring_.Pending(); }
  bool Empty() const { return ring_.Empty(); }
  // The head; only when not Empty().
  TxSymbol Head() const { return ring_.Head(); }
  void Pop() { ring_.Pop(); }
  void Clear() { ring_.Clear(); }

 private:
  Poster& poster_;
  BoundedRing<TxSymbol, 65536> ring_;
};

// The characters really transmitted, on their way to the sent-text window: a ring of 1024,
// refusing once 1023 are pending. GUI thread only.
class SentEchoQueue {
 public:
  static constexpr uint32_t kMaxPending = 1023;

  explicit SentEchoQueue(Poster& poster) : poster_(poster) {}

  // Stores the character and posts WM_SENT_ECHO. Returns false when the queue was full.
  bool PostSentEcho(int32_t character);
  // Takes the oldest character; false when none waits.
  bool Take(int32_t& character);
  uint32_t Pending() const { return ring_.Pending(); }
  void Clear() { ring_.Clear(); }

 private:
  Poster& poster_;
  BoundedRing<int32_t, 1024> ring_;
};

}  // namespace vestrel
