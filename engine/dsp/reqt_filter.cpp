#include "engine/dsp/reqt_filter.h"

namespace vestrel {

bool TReqtFilter::SetLength(int length) {
  if (length < 1 || length > kMaxLength) return false;
  length_ = static_cast<uint32_t>(length);
  ring_.assign(length_, 0.0);
  pos_ = 0;
  sum_ = 0.0;
  return true;
}

void TReqtFilter::Reset() {
  ring_.assign(ring_.size(), 0.0);
  pos_ = 0;
  sum_ = 0.0;
}

}  // namespace vestrel
