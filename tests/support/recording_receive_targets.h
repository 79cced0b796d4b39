#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "engine/receive_targets.h"

namespace vestrel::test {

// Records every per-block call as "Name open" (or "Name" for calls without a squelch flag)
// and keeps every sample handed to a demodulator, in order.
class RecordingReceiveTargets : public ReceiveTargets {
 public:
  void AfcTuneFsk() override { calls.emplace_back("AfcTuneFsk"); }
  void AfcTuneFskSeparate() override { calls.emplace_back("AfcTuneFskSeparate"); }
  void AfcTunePsk() override { calls.emplace_back("AfcTunePsk"); }
  void AfcTuneMfsk() override { calls.emplace_back("AfcTuneMfsk"); }
  void AfcTunePs33x5() override { calls.emplace_back("AfcTunePs33x5"); }
  void SyncTxFrequencyToRx() override { calls.emplace_back("SyncTxFrequencyToRx"); }

  void StartStopDemodulate(std::span<const float> b, int open) override { Block("StartStop", b, open); }
  void PskBpskDemodulate(std::span<const float> b, int open) override { Block("PskBpsk", b, open); }
  void PskQpskDemodulate(std::span<const float> b, int open) override { Block("PskQpsk", b, open); }
  void AmtorFecDemodulate(std::span<const float> b, int open) override { Block("AmtorFec", b, open); }
  void PacketDemodulate(std::span<const float> b, int open) override { Block("Packet", b, open); }
  void DtmfDemodulate(std::span<const float> b) override { Block("Dtmf", b, -1); }
  void MfskDemodulate(std::span<const float> b, int open) override { Block("Mfsk", b, open); }
  void AmtorArqDemodulate(std::span<const float> b, int open) override { Block("AmtorArq", b, open); }
  void PactorDemodulate(std::span<const float> b, int open) override { Block("Pactor", b, open); }
  void Ps2x5Demodulate(std::span<const float> b, int open) override { Block("Ps2x5", b, open); }
  void Ps33x5Demodulate(std::span<const double> s, int open) override {
    calls.push_back("Ps33x5 " + std::to_string(open));
    ps33x5Samples.insert(ps33x5Samples.end(), s.begin(), s.end());
  }

  std::vector<std::string> calls;
  std::vector<float> samples;
  std::vector<double> ps33x5Samples;

 private:
  void Block(const char* name, std::span<const float> b, int open) {
    calls.push_back(open < 0 ? std::string(name) : std::string(name) + " " + std::to_string(open));
    samples.insert(samples.end(), b.begin(), b.end());
  }
};

}  // namespace vestrel::test
