#pragma once
#include <cstddef>
#include <span>

namespace vestrel {

// Sampling-rate converter by linear interpolation, without anti-alias filtering. Each input
// sample may complete zero or more output instants; every output sample goes to a sink.
// Times are in microseconds: the previous input sample stands at 0, the newest at the input
// period. A plain value: copy it mid-stream and both copies continue alike.
class TUniResample {
 public:
  // A stored output callback: a plain function and its context, no allocation.
  using Callback = void (*)(void* context, double sample);

  // Rates a converter accepts, Hz. A rate outside this range (or NaN, or infinite) would make a
  // single input sample produce an unbounded number of outputs.
  static constexpr double kMinRate = 1.0;
  static constexpr double kMaxRate = 10.0e6;

  TUniResample() = default;

  // Stores both rates and their periods, restarts from silence (previous sample 0, elapsed 0)
  // and stores the callback (may be null). Returns false when a rate is refused; a refused call
  // changes nothing.
  bool Setup(double inputRate, double outputRate, Callback callback = nullptr, void* context = nullptr);
  // Restarts from silence; rates and callback stay.
  void Reset() {
    previous_ = 0.0;
    elapsed_ = 0.0;
  }

  // Consumes one input sample and calls the stored callback for each output instant after the
  // previous input sample and not after this one. Returns -1 without a callback (nothing
  // changes), 1 when an output instant coincided exactly with this sample, else 0.
  int Push(double x) {
    if (callback_ == nullptr) return -1;
    Callback cb = callback_;
    void* ctx = context_;
    return PushTo(x, [cb, ctx](double y) { cb(ctx, y); });
  }

  // As Push, with the outputs handed to `sink(double)`, which the compiler can inline; the
  // stored callback is not used.
  template <class Sink>
  int PushTo(double x, Sink&& sink);

  // Every sample of `block` through PushTo.
  template <class Sample, class Sink>
  void PushBlockTo(std::span<const Sample> block, Sink&& sink) {
    if (block.empty()) return;
    // Equal rates from an output instant on: every input is an output instant, so each sample
    // comes out as it is (what PushTo gives, without its arithmetic).
    if (inputPeriod_ == outputPeriod_ && elapsed_ == 0.0) {
      for (const Sample s : block) sink(static_cast<double>(s));
      previous_ = static_cast<double>(block.back());
      return;
    }
    for (const Sample s : block) PushTo(static_cast<double>(s), sink);
  }

  double InputRate() const { return inputRate_; }
  double OutputRate() const { return outputRate_; }
  double Elapsed() const { return elapsed_; }
  bool HasCallback() const { return callback_ != nullptr; }

 private:
  double inputRate_ = 8000.0;
  double outputRate_ = 44100.0;
  double inputPeriod_ = 125.0;
  double outputPeriod_ = 1.0e6 / 44100.0;
  double previous_ = 0.0;
  double elapsed_ = 0.0;  // since the last output instant, at the newest input sample
  Callback callback_ = nullptr;
  void* context_ = nullptr;
};

template <class Sink>
int TUniResample::PushTo(double x, Sink&& sink) {
  const double tin = inputPeriod_;
  const double tout = outputPeriod_;
  if (elapsed_ + tin < tout) {
    previous_ = x;
    elapsed_ += tin;
    return 0;
  }
  const double p0 = previous_;
  const double diff = x - p0;
  previous_ = x;
  double t = 0.0;
  double elapsed = elapsed_;
  for (;;) {
    t = t + tout - elapsed;
    if (t == tin) {
      elapsed_ = 0.0;
      sink(x);
      return 1;
    }
    if (t > tin) {
      elapsed_ = tout - (t - tin);
      return 0;
    }
    sink(p0 + diff * t / tin);
    elapsed = 0.0;
  }
}

}  // namespace vestrel
