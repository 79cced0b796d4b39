#pragma once
#include <array>
#include <cmath>
#include <cstdint>
#include <span>

#include "engine/dsp/fsk_detector.h"
#include "engine/engine_window.h"
#include "engine/level_ring.h"
#include "engine/mode_receiver.h"
#include "engine/modes/packet/hdlc_deframer.h"
#include "engine/sine_table.h"

namespace vestrel {

// Where the packet receiver hands every good frame: its bytes with the two check bytes.
class Ax25FrameSink {
 public:
  virtual void PutAx25Frame(std::span<const uint8_t> frame) = 0;

 protected:
  ~Ax25FrameSink() = default;
};

// Receiver of AX.25 packet radio: two-tone AFSK, NRZI, HDLC, at 300 Bd (HF) or 1200 Bd (UHF).
// The FSK front end gives the filtered mixer products of both tones; the discriminator is
// |second tone| - |first tone|. It is sampled nine times per bit into a ring; once per bit a
// timing search over the last ten bits moves the bit clock a ninth of a bit towards the phase
// of largest magnitude (the middle of the bits), a carrier-detect integrator weighs where the
// transitions fall, and the sign decides the bit: no change of sign against the last decision
// is a 1, a change a 0. Frames go to the sink; the carrier-detect flag (DCD) drives the packet
// channel access and status panel 9 ("*" on, " " off).
// Up to 300 Bd (HF: the 200 Hz shift is narrow against the speed, and a bit's worth of
// filtering pays) three such slicers listen to the same samples, each behind a moving average
// of one bit on the mixer products: the first with the 43-tap low-pass, the sign of three
// sub-samples around the middle of the bit, and a threshold that follows the levels of the two
// tones (Slicer::Centred); the second with a narrower 53-tap low-pass, the newest sub-sample,
// at 0; the third on the first's discriminator, at 0. Noise rarely breaks the same frame in all; a frame any
// one finds goes to the sink once. Carrier detect, the level and the accessors follow
// the first. Above 300 Bd one slicer runs, on the newest sub-sample, without the average.
class TAx25Decoder final : public ModeReceiver {
 public:
  static constexpr int kSubSamples = 9;       // ring samples per bit
  static constexpr uint32_t kRingSize = 256;  // power of two, more than 10 bits and the search
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr int kDcdFull = 16000;
  static constexpr int kLevelEvery = 9;  // input samples per level written

  TAx25Decoder(const SineTable& sine, EngineWindow& window, Ax25FrameSink& sink);
  // The same, writing its level into the tuning displays' ring; index is the ring's write
  // index (TModemParams::LevelRingIndex).
  TAx25Decoder(const SineTable& sine, EngineWindow& window, Ax25FrameSink& sink, LevelRing& levels,
               int32_t& levelIndex);

  // The engine start: tones 2100 and 2300 Hz, 300 Bd, then enabled.
  void Start();
  // baud: 1..5000; chooses the front end's path and final filter by speed and resets.
  // Refused (false, nothing changed) otherwise.
  bool SetBaud(int baud);
  // Stops (false) or resumes all work.
  void SetEnabled(bool on) { enabled_ = on; }
  // The squelch decision for the samples that follow: closed feeds 0 to the bit decisions.
  void SetSquelchOpen(bool open) { squelchOpen_ = open; }

  // ModeReceiver
  // Restarts the bit clock, the deframer and carrier detect (off, panel 9 " ") and empties
  // the filters; speed and tones stay.
  void Reset() override;
  bool SelectMode(const ModeRow& row) override;  // the row's speed: 300 or 1200 Bd
  // Phase steps (FrequencyUnit) of the first and second tone; refused outside 0..32767.
  bool SetTones(int32_t first, int32_t second) override;
  bool SetSpeed(double baud, int filterWidth) override;
  // A block of input samples at 11025 samples/s, with the squelch decision of that block.
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  // One input sample, with the squelch decision of the last block.
  void ProcessSample(float x);

  bool Enabled() const { return enabled_; }
  bool SquelchOpen() const { return squelchOpen_; }
  bool Dcd() const { return dcd_; }
  int DcdIntegrator() const { return dcdIntegrator_; }
  int Baud() const { return baud_; }
  double SamplesPerBit() const { return samplesPerBit_; }
  double Discriminator() const { return slicers_[0].discriminator; }
  int PathRate() const { return slicers_[0].detector.PathRate(); }
  int32_t ToneAStep() const { return slicers_[0].detector.ToneAStep(); }
  int32_t ToneBStep() const { return slicers_[0].detector.ToneBStep(); }
  // The first slicer's deframer.
  const THdlcDeframer& Deframer() const { return slicers_[0].hdlc; }
  // Three slicers up to 300 Bd, one above.
  int SlicerCount() const { return slicerCount_; }

 private:
  static constexpr size_t kPart = 2048;       // samples per pass of the block loop
  static constexpr size_t kSharedPart = 512;  // per pass with several slicers: frames stay in order
  static constexpr int kMaxSlicers = 3;
  // The third slicer has the first's front end and slices its discriminator (its own
  // detector stays without a set-up).
  static constexpr int kSharedFront = 2;
  static constexpr int kSearchBits = 10;  // bits the timing search weighs

  // One demodulator: front end, sub-sample ring, bit clock and deframer. A plain value.
  struct Slicer {
    explicit Slicer(const SineTable& sine) : detector(sine) {}
    float R(uint32_t i) const { return ring[i & kRingMask]; }
    // The next sub-sample into the ring, and the timing search's magnitude over the last ten
    // bits at its phase, kept up to date per sub-sample rather than summed anew per bit.
    void Push(float v) {
      ringIndex = (ringIndex + 1) & kRingMask;
      const uint32_t gone = (ringIndex - kSubSamples * kSearchBits) & kRingMask;
      columns[ringIndex] =
          columns[(ringIndex - kSubSamples) & kRingMask] + std::abs(v) - std::abs(ring[gone]);
      ring[ringIndex] = v;
    }
    TFskDetector detector;
    int decisionHalfWidth = 0;  // the bit's sign from 2 w + 1 sub-samples; 0: the newest one
    uint32_t ringIndex = 0;
    int bitPhase = 0;  // sub-samples since the last bit decision, 0..8
    bool prevSign = false;
    double subAcc = 0.0;
    double discriminator = 0.0;
    double before = 0.0;      // the held output one sample back (interpolation)
    double beforeThat = 0.0;  // and two
    // The sub-sample less the middle between the levels of the two tones, each followed at
    // once towards a sub-sample beyond it and over some 64 bits towards one inside: an offset
    // tune or a clock off by a percent moves one tone towards the other's filter, and the
    // discriminator's zero then no longer lies between them.
    float Centred(float v) {
      constexpr float kAttack = 0.5f;
      constexpr float kDecay = 1.0f / (64 * kSubSamples);
      high += (v - high) * (v > high ? kAttack : kDecay);
      low += (v - low) * (v < low ? kAttack : kDecay);
      return v - 0.5f * (high + low);
    }
    bool track = false;  // slice at Centred, not at 0
    float high = 0.0f;
    float low = 0.0f;
    std::array<float, kRingSize> ring{};
    // columns[i]: the sum of |ring| at i and the nine sub-samples a bit apart before it.
    std::array<double, kRingSize> columns{};
    THdlcDeframer hdlc;
  };

  template <int Path>
  void Run(std::span<const float> block);
  static constexpr int kOutputEvery = 3;  // the full-rate front end up to 1200 Bd
  template <bool First>
  void Clock(Slicer& s, size_t n);
  template <bool First>
  void Tick(Slicer& s, double d, int& levelCount, double& subAcc);
  void RunThirds(std::span<const float> block);
  template <bool First>
  void BitDecision(Slicer& s);
  void CarrierDetect(const Slicer& s, uint32_t c);
  void Deliver(std::span<const uint8_t> frame);
  void ShowDcd();
  void ResetSlicer(Slicer& s);

  std::array<Slicer, kMaxSlicers> slicers_;
  int slicerCount_ = 1;
  EngineWindow& window_;
  Ax25FrameSink& sink_;
  LevelRing* levels_ = nullptr;
  int32_t* levelIndex_ = nullptr;

  bool enabled_ = false;
  bool squelchOpen_ = true;
  int levelCount_ = 0;
  int baud_ = 300;
  int dcdIntegrator_ = 0;
  bool dcd_ = false;
  int dcdShown_ = 0;  // 0 nothing shown yet or " ", 1 "*"
  double samplesPerBit_ = 11025.0 / 300;
  double subStep_ = samplesPerBit_ / kSubSamples;
  // Bit decisions of the first slicer, the clock of the check for a frame heard twice.
  int64_t bits_ = 0;
  int64_t lastBits_ = 0;  // bits_ at the last delivery
  int lastLength_ = 0;    // 0: nothing delivered since the reset
  std::array<uint8_t, THdlcDeframer::kMaxBytes> last_{};
  std::array<double, kPart> part_{};  // the discriminator after each sample of a part
};

}  // namespace vestrel
