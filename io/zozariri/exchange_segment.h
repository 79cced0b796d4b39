#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vestrel {

// One exchange channel: a POSIX shared-memory segment that two programs map. It holds a
// header and two byte rings, each with one producer and one consumer:
//   toPeer   - symbols the terminal received, read by the other program;
//   fromPeer - symbols the other program wants sent, read by the terminal.
// Indexes are free-running 32-bit counters; a slot is index & (kRingSize - 1). Another
// process may write anything into the segment, so every index read from it is masked and a
// fill count above kRingSize is taken as corruption, never trusted.
struct ExchangeRing {
  static constexpr uint32_t kRingSize = 4096;  // bytes; a power of two
  uint32_t head;                               // written by the producer only
  uint32_t tail;                               // written by the consumer only
  uint8_t data[kRingSize];
};

struct ExchangeSegmentLayout {
  static constexpr uint32_t kMagic = 0x5A4F5A31;  // "ZOZ1"
  static constexpr uint32_t kVersion = 1;
  uint32_t magic;  // stored last by the creator, once the rest is set
  uint32_t version;
  ExchangeRing toPeer;
  ExchangeRing fromPeer;
};

class ExchangeSegment {
 public:
  static constexpr int kFirstChannel = 1;
  static constexpr int kLastChannel = 9;
  // Which end of the channel this process is: the terminal puts into toPeer and gets from
  // fromPeer; the peer the other way round.
  enum class Side { kTerminal, kPeer };

  ExchangeSegment() = default;
  ~ExchangeSegment();
  ExchangeSegment(const ExchangeSegment&) = delete;
  ExchangeSegment& operator=(const ExchangeSegment&) = delete;

  // Maps channel 1..9, creating its segment when no program has yet. False, with the
  // segment closed, for another channel number, a segment of another layout, or a system
  // failure. Opening again first closes the channel that was open.
  // The segment outlives the programs, so the terminal starts both rings afresh: nothing a
  // peer queued while no terminal held the channel is sent, and no text of an earlier run
  // reaches a peer. A peer's open leaves the rings as they are.
  bool Open(int channel, Side side);
  // What the terminal's last Open discarded of the bytes a peer had queued; 0 for a peer.
  uint32_t DiscardedOnOpen() const { return discarded_; }
  void Close();
  bool IsOpen() const { return seg_ != nullptr; }
  int Channel() const { return channel_; }

  // Appends one byte to this side's outgoing ring; false (the byte dropped) when the ring
  // is full or the channel is closed.
  bool Put(uint8_t byte);
  // The next byte of this side's incoming ring, 0..255, or -1 when none waits. Never blocks.
  int Get();

  // The segment's name for a channel: "/<prefix>-<channel>". The prefix comes from the
  // environment variable VESTREL_ZOZARIRI_PREFIX (so that tests do not share channels with
  // a running program), "vestrel-zozariri" without it.
  static std::string SegmentName(int channel);
  // Raw access to the mapped layout, for tools that inspect or repair a channel.
  ExchangeSegmentLayout* Layout() { return seg_; }

 private:
  ExchangeSegmentLayout* seg_ = nullptr;
  int channel_ = 0;
  Side side_ = Side::kTerminal;
  uint32_t discarded_ = 0;
};

}  // namespace vestrel
