#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_modem_targets.h"
#include "engine/frequency_unit.h"

namespace vestrel::test {

// Records every push as one text line, e.g. "StartStopSetBaud 45 0" or "PskRxSetStep 5052".
// The planning calls answer as the real objects plan (PS33X5 and MFSK bands).
class RecordingModemTargets : public ModemTargets {
 public:
  void StartStopSetBaud(double baud, int filterWidth) override { Log("StartStopSetBaud", baud, filterWidth); }
  void StartStopSetTones(int32_t lo, int32_t hi) override { Log("StartStopSetTones", lo, hi); }
  void StartStopSetDataBits(int bits) override { Log("StartStopSetDataBits", bits); }
  void Ps2x5RxSetBaud(double baud, int filterWidth) override { Log("Ps2x5RxSetBaud", baud, filterWidth); }
  void Ps2x5RxSetTones(int32_t lo, int32_t hi) override { Log("Ps2x5RxSetTones", lo, hi); }
  void Ps2x5TxSetSpeed(double baud) override { Log("Ps2x5TxSetSpeed", baud); }
  Ps33x5RxBand Ps33x5RxSetSpeed(int step, double centreHz) override {
    Log("Ps33x5RxSetSpeed", step, centreHz);
    return PlanPs33x5Band(step, centreHz);
  }
  Ps33x5TxBand Ps33x5TxSetSpeed(int step, double centreHz, double outputRate) override {
    Log("Ps33x5TxSetSpeed", step, centreHz, outputRate);
    const Ps33x5RxBand band = PlanPs33x5Band(step, centreHz);
    return {HzToUnits(band.lowerHz, outputRate), HzToUnits(band.upperHz, outputRate)};
  }
  void AmtorFecSetBaud(double baud) override { Log("AmtorFecSetBaud", baud); }
  void AmtorFecSetTones(int32_t lo, int32_t hi) override { Log("AmtorFecSetTones", lo, hi); }
  void AmtorArqSetBaud(double baud) override { Log("AmtorArqSetBaud", baud); }
  void AmtorArqSetTones(int32_t lo, int32_t hi) override { Log("AmtorArqSetTones", lo, hi); }
  void PacketRxSetBaud(int baud) override { Log("PacketRxSetBaud", baud); }
  void PacketRxSetTones(int32_t lo, int32_t hi) override { Log("PacketRxSetTones", lo, hi); }
  void PacketSlotTimer(bool on) override { Log("PacketSlotTimer", on ? 1 : 0); }
  void UpdatePacketTiming() override { Log("UpdatePacketTiming"); }
  void PskRxSetRate(int code) override { Log("PskRxSetRate", code); }
  void PskRxSetStep(int32_t step) override { Log("PskRxSetStep", step); }
  void PskTxSetRate(int code) override { Log("PskTxSetRate", code); }
  void PactorSetBaud(int index, double baud) override { Log("PactorSetBaud", index, baud); }
  void PactorSetTones(int32_t lo, int32_t hi) override { Log("PactorSetTones", lo, hi); }
  void MfskRxSetMode(int mfsk8) override {
    mfskRx8 = mfsk8;
    Log("MfskRxSetMode", mfsk8);
  }
  MfskPlan MfskRxSetTones(int32_t base) override {
    Log("MfskRxSetTones", base);
    return PlanMfskTones(base, mfskRx8, kRxRate);
  }
  void MfskTxSetMode(int mfsk8) override {
    mfskTx8 = mfsk8;
    Log("MfskTxSetMode", mfsk8);
  }
  MfskPlan MfskTxSetTones(int32_t base) override {
    Log("MfskTxSetTones", base);
    return PlanMfskTones(base, mfskTx8, txRate);
  }
  void DtmfReset() override { Log("DtmfReset"); }

  // Number of recorded lines that start with `prefix`.
  int Count(std::string_view prefix) const {
    int n = 0;
    for (const std::string& c : calls) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
  bool Has(std::string_view line) const {
    for (const std::string& c : calls)
      if (c == line) return true;
    return false;
  }
  // The last line that starts with `prefix`, or "".
  std::string Last(std::string_view prefix) const {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
      if (it->rfind(prefix, 0) == 0) return *it;
    return {};
  }

  std::vector<std::string> calls;
  double txRate = 11025.0;  // the output rate the MFSK transmitter plan uses
  int mfskRx8 = 0;
  int mfskTx8 = 0;

 private:
  static std::string Text(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
  }
  template <class... Args>
  void Log(const char* name, Args... args) {
    std::string line = name;
    ((line += ' ', line += Text(static_cast<double>(args))), ...);
    calls.push_back(std::move(line));
  }
};

}  // namespace vestrel::test
