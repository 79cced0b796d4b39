#pragma once
#include <cstdint>

namespace vestrel {

// The decoders and encoders that the mode, speed and shift switches push tones and speeds into.
// One method per push. Tones are FrequencyUnit phase steps (transmit steps at OutSamplingFreq).
// Called on the GUI thread on a menu choice or a mode change, never per sample.
class ModemTargets {
 public:
  // The band a PS33X5 receiver planned: lowest and highest tone, Hz at 11025 samples/s.
  struct Ps33x5RxBand {
    double lowerHz = 0.0;
    double upperHz = 0.0;
  };
  // The band a PS33X5 transmitter planned: phase steps of its lowest and highest tone.
  struct Ps33x5TxBand {
    int32_t lowerStep = 0;
    int32_t upperStep = 0;
  };
  // The tones an MFSK receiver or transmitter planned from its base tone: first and last tone.
  struct MfskPlan {
    int32_t firstStep = 0;
    int32_t lastStep = 0;
    int32_t firstBin = 0;
    int32_t lastBin = 0;
  };

  // Start-stop decoder (RTTY, ASCII-7, ASCII-8). filterWidth: 0 Optimal, 1 Wide, 2 Narrow.
  virtual void StartStopSetBaud(double baud, int filterWidth) = 0;
  virtual void StartStopSetTones(int32_t lower, int32_t upper) = 0;
  virtual void StartStopSetDataBits(int bits) = 0;  // 5, 7 or 8

  // PS2X5 receiver and transmitter.
  virtual void Ps2x5RxSetBaud(double baud, int filterWidth) = 0;
  virtual void Ps2x5RxSetTones(int32_t lower, int32_t upper) = 0;
  virtual void Ps2x5TxSetSpeed(double baud) = 0;

  // PS33X5 receiver and transmitter. step: speed step, baud = step x 1.5625 (1, 2, 4, 8, 16, 32).
  // centreHz: band centre; outputRate: the transmit sample rate.
  virtual Ps33x5RxBand Ps33x5RxSetSpeed(int step, double centreHz) = 0;
  virtual Ps33x5TxBand Ps33x5TxSetSpeed(int step, double centreHz, double outputRate) = 0;

  // AMTOR FEC decoder and AMTOR ARQ monitor.
  virtual void AmtorFecSetBaud(double baud) = 0;
  virtual void AmtorFecSetTones(int32_t lower, int32_t upper) = 0;
  virtual void AmtorArqSetBaud(double baud) = 0;
  virtual void AmtorArqSetTones(int32_t lower, int32_t upper) = 0;

  // AX.25 packet demodulator (300 or 1200 Bd) and its channel-access slot timer.
  virtual void PacketRxSetBaud(int baud) = 0;
  virtual void PacketRxSetTones(int32_t lower, int32_t upper) = 0;
  virtual void PacketSlotTimer(bool on) = 0;
  virtual void UpdatePacketTiming() = 0;  // after every speed change

  // PSK receiver and transmitter. rateCode: 31, 63 or 125.
  virtual void PskRxSetRate(int rateCode) = 0;
  virtual void PskRxSetStep(int32_t step) = 0;  // oscillator step := lower receive tone
  virtual void PskTxSetRate(int rateCode) = 0;

  // The two PACTOR-I FEC receivers: index 0 runs at 100 Bd, index 1 at 200 Bd.
  virtual void PactorSetBaud(int index, double baud) = 0;
  virtual void PactorSetTones(int32_t lower, int32_t upper) = 0;  // both receivers

  // MFSK receiver and transmitter. mfsk8: 0 MFSK16, 1 MFSK8. base: lowest tone.
  virtual void MfskRxSetMode(int mfsk8) = 0;
  virtual MfskPlan MfskRxSetTones(int32_t base) = 0;
  virtual void MfskTxSetMode(int mfsk8) = 0;
  virtual MfskPlan MfskTxSetTones(int32_t base) = 0;

  // DTMF decoder.
  virtual void DtmfReset() = 0;

 protected:
  ~ModemTargets() = default;
};

}  // namespace vestrel
