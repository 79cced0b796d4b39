#include "engine/modes/pactor/pactor_fec_decoder.h"

#include <algorithm>
#include <cmath>

#include "engine/codes/fcs16.h"
#include "engine/dsp/block_clones.h"
#include "engine/frequency_unit.h"

namespace vestrel {

namespace {

constexpr int kSearchRun = 11;       // positions of one bit tried for the header
constexpr int kRetimeReach = 2;      // sub-samples either side of a byte's expected place
constexpr int kFailedHoldOff = 8;    // sub-samples skipped after a packet that did not check
constexpr int kCorrelationSpan = 1056;  // 12 bytes: what the repetition is matched over
constexpr int kRepetitionTries = 55;
constexpr int kRepetitionBefore = 121;  // the first try, before one packet length back

int Sign(int32_t d) {
  return (d > 0) - (d < 0);
}

// The sum of a[i] b[i] over n values (a multiple of 8), in eight partial sums added in a fixed
// order: the same result on every run.
VESTREL_KERNEL_CLONES float Correlation(const float* a, const float* b, int n) {
  float part[8] = {};
  for (int i = 0; i < n; i += 8)
    for (int l = 0; l < 8; ++l) part[l] += a[i + l] * b[i + l];
  return ((part[0] + part[1]) + (part[2] + part[3])) + ((part[4] + part[5]) + (part[6] + part[7]));
}

}  // namespace

TPactorFecDecoder::TPactorFecDecoder(const SineTable& sine, RxTextSink& sink, LevelRing* levels,
                                     int32_t* levelIndex)
    : front_(sine, kSubSamples), sink_(sink) {
  front_.SetLevels(levels, levelIndex);
}

void TPactorFecDecoder::Reset() {
  enabled_ = false;
  SetBaud(100);
  SetTones(HzToUnits(2100.0), HzToUnits(2300.0));
  enabled_ = true;
}

bool TPactorFecDecoder::SetBaud(int baud) {
  if (baud != 100 && baud != 200) return false;
  if (!front_.SetBaud(baud)) return false;
  speed_ = baud;
  length_ = baud == 100 ? 11 : kMaxLength;
  lookBack_ = (baud == 100 ? 104 : 200) * kSubSamples;
  ClearState();
  return true;
}

void TPactorFecDecoder::ClearState() {
  front_.Reset();
  holdOff_ = 0;
  lastCounter_ = -1;
  sinceGood_ = 0;
  ring_.fill(0.0f);
  ringIndex_ = 0;
}

void TPactorFecDecoder::ProcessBlock(std::span<const float> block) {
  if (!enabled_) return;
  front_.WithPath([&](auto path) { Run<decltype(path)::value>(block); });
}

template <int Path>
VESTREL_BLOCK_CLONES void TPactorFecDecoder::Run(std::span<const float> block) {
  front_.RunOn<Path>(block, [this](double d) { Push(static_cast<float>(d)); });
}

void TPactorFecDecoder::Push(float v) {
  ringIndex_ = (ringIndex_ + 1) & kRingMask;
  ring_[ringIndex_] = squelchOpen_ ? v : 0.0f;
  if (lastCounter_ >= 0 && ++sinceGood_ > kForgetPackets * (length_ + 1) * kByteSpan) lastCounter_ = -1;
  if (holdOff_ > 0) {
    --holdOff_;
    return;
  }
  Search();
}

// The byte at k, least significant bit first, as a header: the first bit is not looked at.
int TPactorFecDecoder::Header(uint32_t k) const {
  int byte = 0;
  for (uint32_t b = 1; b < 8; ++b)
    if (R(k + kSubSamples * b) > 0.0f) byte |= 1 << b;
  return byte == 0x54 ? 0x55 : byte == 0xAA ? 0xAA : 0;
}

double TPactorFecDecoder::Confidence(uint32_t k) const {
  double c = 0.0;
  for (uint32_t b = 0; b < 8; ++b) c += std::abs(R(k + kSubSamples * b));
  return c;
}

// A header a packet's length back, over more than two positions of a bit: the most confident
// of them starts the packet.
void TPactorFecDecoder::Search() {
  const uint32_t k = ringIndex_ - lookBack_;
  const int header = Header(k);
  if (header == 0) return;
  double best = Confidence(k);
  uint32_t at = k;
  int count = 1;
  for (; count < kSearchRun; ++count) {
    const uint32_t p = k + static_cast<uint32_t>(count);
    if (Header(p) != header) break;
    const double c = Confidence(p);
    if (c > best) {
      best = c;
      at = p;
    }
  }
  if (count > 2) Decode(at);
}

// Of a - 2 .. a + 2, the position whose byte reads with the most confidence.
uint32_t TPactorFecDecoder::Retime(uint32_t a) const {
  uint32_t found = a - kRetimeReach;
  double best = Confidence(found);
  for (int d = -kRetimeReach + 1; d <= kRetimeReach; ++d) {
    const double c = Confidence(a + static_cast<uint32_t>(d));
    if (c > best) {
      best = c;
      found = a + static_cast<uint32_t>(d);
    }
  }
  return found;
}

// The header and L bytes from a, each re-timed around its expected place, each bit from three
// neighbouring values; the next byte is expected 88 sub-samples on, one nearer the re-timing.
void TPactorFecDecoder::ReadPacket(uint32_t a, Soft& soft) const {
  for (int i = 0; i <= length_; ++i) {
    const uint32_t found = Retime(a);
    for (uint32_t b = 0; b < 8; ++b) {
      const uint32_t p = found + kSubSamples * b;
      soft[i][b] = R(p - 1) + R(p) + R(p + 1);
    }
    a += kByteSpan + Sign(static_cast<int32_t>(found - a));
  }
}

int TPactorFecDecoder::Check(std::span<const uint8_t> bytes) const {
  const uint16_t r = CalcFcs16(bytes.subspan(1, length_));
  if (r == kGoodCheck) return 1;
  if (r == InvertedCheck()) return 2;
  return 0;
}

bool TPactorFecDecoder::Decode(uint32_t a) {
  ReadPacket(a, current_);
  for (int i = 0; i <= length_; ++i) {
    uint8_t byte = 0;
    for (int b = 0; b < 8; ++b)
      if (current_[i][b] > 0.0f) byte |= static_cast<uint8_t>(1u << b);
    packet_[i] = byte;
  }
  int check = Check(packet_);
  if (check == 0) {
    holdOff_ = kFailedHoldOff;
    bool inverted = false;
    if (!Combine(a, inverted)) return false;
    check = inverted ? 2 : 1;
  }
  Deliver(check == 2);
  return true;
}

// The copy before a damaged one is its repetition with every bit inverted: where the two
// anti-correlate best, read it too and take each bit from the difference of the two.
bool TPactorFecDecoder::Combine(uint32_t a, bool& inverted) {
  const uint32_t start = a - static_cast<uint32_t>(kByteSpan * length_ + kRepetitionBefore);
  const size_t behind = static_cast<size_t>(kByteSpan * length_ + kRepetitionBefore);
  const size_t n = behind + kCorrelationSpan;
  for (size_t i = 0; i < n; ++i) window_[i] = R(start + static_cast<uint32_t>(i));
  const float* cur = window_.data() + behind;
  float best = 0.0f;
  int bestTry = -1;
  for (int t = 0; t < kRepetitionTries; ++t) {
    const float anti = -Correlation(cur, window_.data() + t, kCorrelationSpan);
    if (bestTry < 0 || anti > best) {
      best = anti;
      bestTry = t;
    }
  }
  ReadPacket(start + static_cast<uint32_t>(bestTry), previous_);
  std::array<uint8_t, kMaxLength + 1> combined{};
  for (int i = 0; i <= length_; ++i) {
    uint8_t byte = 0;
    for (int b = 0; b < 8; ++b)
      if (current_[i][b] - previous_[i][b] > 0.0f) byte |= static_cast<uint8_t>(1u << b);
    combined[i] = byte;
  }
  const int check = Check(combined);
  if (check == 0) return false;
  packet_ = combined;
  inverted = check == 2;
  return true;
}

// A good packet: the rest of it skipped, its data bytes printed once per counter.
void TPactorFecDecoder::Deliver(bool inverted) {
  holdOff_ = length_ * kByteSpan + 66;
  sinceGood_ = 0;
  if (inverted)
    for (int i = 1; i <= length_; ++i) packet_[i] = static_cast<uint8_t>(~packet_[i]);
  const int counter = packet_[length_ - 2] & 3;
  if (counter == lastCounter_) return;  // the repetition
  const int data = length_ - 3;
  if (lastCounter_ >= 0 && counter != ((lastCounter_ + 1) & 3))
    for (int i = 0; i < data; ++i) sink_.PutRxChar('_');
  lastCounter_ = counter;
  for (int i = 1; i <= data; ++i) sink_.PutRxChar(packet_[i]);
}

TPactorReceiver::TPactorReceiver(const SineTable& sine, RxTextSink& sink, LevelRing* levels, int32_t* levelIndex)
    : slow_(sine, sink), fast_(sine, sink, levels, levelIndex) {}

void TPactorReceiver::Start() {
  slow_.Reset();
  fast_.Reset();
}

void TPactorReceiver::Reset() {
  slow_.ClearState();
  fast_.ClearState();
}

bool TPactorReceiver::SelectMode(const ModeRow&) {
  return slow_.SetBaud(100) && fast_.SetBaud(200);
}

bool TPactorReceiver::SetTones(int32_t lower, int32_t upper) {
  slow_.SetTones(lower, upper);
  fast_.SetTones(lower, upper);
  return true;
}

void TPactorReceiver::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  slow_.SetSquelchOpen(squelchOpen);
  fast_.SetSquelchOpen(squelchOpen);
  for (size_t at = 0; at < block.size(); at += truncated_.size()) {
    const size_t n = std::min(truncated_.size(), block.size() - at);
    for (size_t i = 0; i < n; ++i) truncated_[i] = std::trunc(block[at + i]);
    const std::span<const float> part(truncated_.data(), n);
    slow_.ProcessBlock(part);
    fast_.ProcessBlock(part);
  }
}

}  // namespace vestrel
