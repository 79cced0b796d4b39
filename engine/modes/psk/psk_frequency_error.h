#pragma once
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace vestrel {

// The PSK receiver's own frequency error, gathered at each symbol decision from the
// differential product d = z conj(z_old) of the matched-filter pair now and one symbol back.
// A tone off by f turns d by 2 pi f T a symbol; the modulation turns it by whole half turns
// (BPSK) or quarter turns (QPSK), which d^order removes. Each decision adds d^order scaled to
// |d|, so a strong symbol counts more than a weak one but none counts as its square.
// The sums are kept apart by the step d shows (0, a quarter, a half or three quarters of a
// turn): the noise that the pair now and the pair before share through the filters gives d a
// real part of its own, which turns d^4 one way on the quarter steps up and the other way on
// the quarter steps down; a text sends more of one than of the other, so the two are weighed
// alike before they are added (TPskFrequencyError::Sums::Phasor).
// The reader takes the sums once per block and starts afresh.
class TPskFrequencyError {
 public:
  struct Class {
    double re = 0.0;      // sum of |d| cos(order arg d)
    double im = 0.0;      // sum of |d| sin(order arg d)
    double weight = 0.0;  // sum of |d|
    double count = 0.0;   // decisions (smoothed, a real number)
  };
  struct Sums {
    std::array<Class, 4> step{};  // by the step d shows, in quarter turns
    int symbols = 0;

    // The phasor of the whole (re, im) and the weight behind it, the quarter steps up and down
    // weighed alike: each as many times as the rarer of the two came (so a lone step is not
    // blown up into many).
    void Phasor(double& re, double& im, double& weight) const {
      re = step[0].re + step[2].re;
      im = step[0].im + step[2].im;
      weight = step[0].weight + step[2].weight;
      const Class& up = step[1];
      const Class& down = step[3];
      if (up.count > 0.0 && down.count > 0.0) {
        const double n = std::min(up.count, down.count);
        re += (up.re / up.count + down.re / down.count) * n;
        im += (up.im / up.count + down.im / down.count) * n;
        weight += (up.weight / up.count + down.weight / down.count) * n;
      }
    }
    // |phasor| / weight: 1 for a steady error, about 1 / sqrt(symbols) for noise.
    double Coherence() const {
      double re, im, weight;
      Phasor(re, im, weight);
      return weight > 0.0 ? std::hypot(re, im) / weight : 0.0;
    }
    // Older sums fade by `decay` and this block's join them.
    void FadeAndAdd(const Sums& block, double decay) {
      for (size_t k = 0; k < step.size(); ++k) {
        Class& c = step[k];
        const Class& b = block.step[k];
        c.re = c.re * decay + b.re;
        c.im = c.im * decay + b.im;
        c.weight = c.weight * decay + b.weight;
        c.count = c.count * decay + b.count;
      }
      symbols += block.symbols;
    }
    // Every phasor turned by `angle` (radians).
    void Turn(double angle) {
      const double c = std::cos(angle), s = std::sin(angle);
      for (Class& k : step) {
        const double re = k.re * c - k.im * s;
        k.im = k.re * s + k.im * c;
        k.re = re;
      }
    }
  };

  // order: 2 for BPSK, 4 for QPSK. (i, q) the pair now, (iOld, qOld) one symbol back.
  void Add(double i, double q, double iOld, double qOld, int order) {
    // d = (i + jq)(iOld - j qOld)
    const double re = i * iOld + q * qOld;
    const double im = q * iOld - i * qOld;
    const double m = std::hypot(re, im);
    if (!(m > 0.0) || !std::isfinite(m)) return;
    // The step d shows: BPSK 0 or a half turn; QPSK the nearest quarter turn.
    const int k = order == 4 && std::abs(im) > std::abs(re) ? (im > 0.0 ? 1 : 3) : (re >= 0.0 ? 0 : 2);
    // d^order / |d|^(order - 1), by repeated squaring of the unit phasor.
    double c = re / m, s = im / m;
    for (int n = order; n > 1; n /= 2) {
      const double c2 = c * c - s * s;
      s = 2.0 * c * s;
      c = c2;
    }
    Class& cl = sums_.step[k];
    cl.re += m * c;
    cl.im += m * s;
    cl.weight += m;
    cl.count += 1.0;
    ++sums_.symbols;
  }

  Sums Take() {
    const Sums s = sums_;
    sums_ = Sums{};
    return s;
  }
  void Clear() { sums_ = Sums{}; }

 private:
  Sums sums_;
};

}  // namespace vestrel
