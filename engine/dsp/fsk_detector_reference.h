#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/dsp/decimator2.h"
#include "engine/dsp/decimator2_ex.h"
#include "engine/dsp/decimator3.h"
#include "engine/dsp/fir_filter.h"
#include "engine/dsp/fsk_mixer.h"
#include "engine/dsp/reqt_filter.h"
#include "engine/sine_table.h"

namespace vestrel {

// The FSK front end written plainly: four mixer arms, each a chain of the single filters, every
// pre-filter output computed. Same interface and results as TFskDetector, which is the one the
// decoders use; this one is the reference it is tested and measured against.
class TFskDetectorReference {
 public:
  explicit TFskDetectorReference(const SineTable& sine) : mixer_(sine) {}

  bool Setup(int path, std::span<const double> table) { return SetupWithAverage(path, table, 0); }
  bool SetupWithAverage(int path, std::span<const double> table, int averageLength);
  void Reset();
  void SetTones(int32_t lowerStep, int32_t upperStep) { mixer_.SetTones(lowerStep, upperStep); }
  bool Step(float x);

  int PathRate() const { return pathRate_; }

  double OutASin = 0.0;
  double OutBSin = 0.0;
  double OutACos = 0.0;
  double OutBCos = 0.0;

 private:
  struct Arm {
    TReqtFilter average;
    Decimator2Ex pre;
    Decimator2 dec2;
    Decimator3 dec3;
    FirFilter fir;
  };
  bool Run919(double* p);
  bool Run2756(double* p);

  FskMixer mixer_;
  int pathRate_ = 0;
  int averageLength_ = 0;
  int count1_ = 0;
  int count2_ = 0;
  int count3_ = 0;
  std::array<Arm, 4> arms_;  // A-sine, B-sine, A-cosine, B-cosine
};

}  // namespace vestrel
