#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/level_ring.h"
#include "engine/mode_receiver.h"
#include "engine/modes/amtor/fsk_sub_sampler.h"
#include "engine/rx_text_sink.h"

namespace vestrel {

// Receiver of PACTOR-I packets sent in FEC (broadcast) form at one speed, 100 or 200 Bd. A
// packet is a header byte (0x55 or 0xAA), 8 or 20 data bytes, a status byte whose low two bits
// count packets, and the 16-bit frame check, all least significant bit first; the data may be
// sent inverted, and each packet is repeated with its bits inverted. The discriminator is
// sampled 11 times a bit into a ring; a header found 104 or 200 bits back, at the middle of at
// least 3 positions, starts the packet, read byte by byte with a local re-timing. A packet whose
// check fails is combined bit by bit with the repetition before it. Each new counter prints the
// data bytes, behind a "_" per lost byte when counters were skipped.
class TPactorFecDecoder {
 public:
  static constexpr int kSubSamples = 11;  // ring values per bit
  static constexpr uint32_t kRingSize = 8192;
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr int kByteSpan = 8 * kSubSamples;  // 88
  static constexpr int kMaxLength = 23;              // bytes after the header at 200 Bd
  static constexpr uint16_t kGoodCheck = 0x0F47;     // CalcFcs16 of a good packet, bytes 1..L
  // After this many sub-samples without a good packet the last counter is forgotten: the two
  // bits tell up to three lost packets, each sent twice, so after eight packet lengths (7.7 s)
  // a counter no longer says how many were lost, and a new transmission starts afresh.
  static constexpr int kForgetPackets = 8;
  using Ring = std::array<float, kRingSize>;

  // levels and levelIndex: the tuning displays' ring and its write index; null for none (the
  // 100 Bd receiver, whose partner writes the level).
  TPactorFecDecoder(const SineTable& sine, RxTextSink& sink, LevelRing* levels = nullptr,
                    int32_t* levelIndex = nullptr);

  // Disables, 100 Bd, tones 2100 and 2300 Hz, counters and ring cleared, then enabled.
  void Reset();
  // 100 or 200 (refused otherwise: false, nothing changed): timing, path and filter; the ring,
  // hold-off and last counter cleared.
  bool SetBaud(int baud);
  void SetTones(int32_t lower, int32_t upper) { front_.SetTones(lower, upper); }
  // The state of a fresh set-up, the set-up kept.
  void ClearState();
  void SetEnabled(bool on) { enabled_ = on; }
  void SetSquelchOpen(bool open) { squelchOpen_ = open; }

  // Input samples, already truncated to whole numbers.
  void ProcessBlock(std::span<const float> block);

  // Bytes after the header (11 or 23) and the check of a packet sent inverted.
  int Length() const { return length_; }
  uint16_t InvertedCheck() const { return length_ == 11 ? 0xC438 : 0x77FF; }
  int Speed() const { return speed_; }
  int LastCounter() const { return lastCounter_; }
  bool Enabled() const { return enabled_; }
  const TFskSubSampler& Front() const { return front_; }

 private:
  using Soft = std::array<std::array<float, 8>, kMaxLength + 1>;
  template <int Path>
  void Run(std::span<const float> block);
  void Push(float v);
  void Search();
  bool Decode(uint32_t a);
  uint32_t Retime(uint32_t a) const;
  void ReadPacket(uint32_t a, Soft& soft) const;
  bool Combine(uint32_t a, bool& inverted);
  int Check(std::span<const uint8_t> bytes) const;  // 0 bad, 1 good, 2 good and inverted
  void Deliver(bool inverted);
  int Header(uint32_t k) const;  // 0x55, 0xAA or 0
  double Confidence(uint32_t k) const;
  float R(uint32_t p) const { return ring_[p & kRingMask]; }

  TFskSubSampler front_;
  RxTextSink& sink_;

  bool enabled_ = false;
  bool squelchOpen_ = true;
  int speed_ = 100;
  int length_ = 11;
  uint32_t lookBack_ = 104 * kSubSamples;
  int holdOff_ = 0;
  int lastCounter_ = -1;
  int sinceGood_ = 0;  // sub-samples since the last good packet
  Ring ring_{};
  uint32_t ringIndex_ = 0;
  Soft previous_{};
  Soft current_{};
  std::array<uint8_t, kMaxLength + 1> packet_{};
  std::array<float, 3 * 1056 + 64> window_{};  // the ring around a packet, unwrapped, for the correlation
};

// Both PACTOR-I FEC receivers as the receiver of mode 18: the same input, each sample truncated
// to a whole number, goes to the 100 Bd receiver first and then to the 200 Bd one; tones and the
// squelch decision go to both. Only the 200 Bd receiver writes the tuning displays' level.
class TPactorReceiver final : public ModeReceiver {
 public:
  TPactorReceiver(const SineTable& sine, RxTextSink& sink, LevelRing* levels = nullptr,
                  int32_t* levelIndex = nullptr);

  // The engine start: both receivers reset (100 Bd).
  void Start();

  // ModeReceiver. SelectMode sets the first receiver to 100 Bd and the second to 200 Bd; the
  // speed menu does not reach PACTOR (SetSpeed changes nothing).
  void Reset() override;
  bool SelectMode(const ModeRow&) override;
  bool SetTones(int32_t lower, int32_t upper) override;
  bool SetSpeed(double, int) override { return true; }
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  TPactorFecDecoder& Slow() { return slow_; }
  TPactorFecDecoder& Fast() { return fast_; }

 private:
  TPactorFecDecoder slow_;
  TPactorFecDecoder fast_;
  std::array<float, 2048> truncated_{};
};

}  // namespace vestrel
