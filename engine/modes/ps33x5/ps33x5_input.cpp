#include "engine/modes/ps33x5/ps33x5_input.h"

#include "engine/frequency_unit.h"

namespace vestrel {

TPs33x5Input::TPs33x5Input() {
  converter_.Setup(kRxRate, kRate);
}

void TPs33x5Input::Reset() {
  converter_.Reset();
  fill_ = 0;
}

void TPs33x5Input::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  open_ = squelchOpen;
  converter_.PushBlockTo(block, [this](double y) {
    part_[fill_] = y;
    if (++fill_ == kChunk) Flush();
  });
  Flush();
}

void TPs33x5Input::Flush() {
  if (fill_ > 0) ProcessConverted(std::span<const double>(part_.data(), fill_), open_);
  fill_ = 0;
}

}  // namespace vestrel
