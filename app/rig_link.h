#pragma once
#include <chrono>
#include <memory>
#include <string>

#include "app/form_parts.h"
#include "io/ptt_ports.h"
#include "io/rig/omni_work.h"
#include "io/rig/rigctld_server.h"

namespace vestrel {

class TRxForm;

// The window's rig-control link: TOmniWork over rigctld daemons at the addresses of section
// "Rigctld", made at the first need and kept for the run. It keys the rig for the keying ports
// (PTT types 4 and 5) and shows panel 8 and the TX AFC button on the window.
class TRigLink final : public RigPart, public KeyingPortHooks, private RigWindow {
 public:
  // server: the rig-control server to use; null: rigctld daemons at the settings' addresses.
  TRigLink(TRxForm& form, RigServer* server = nullptr);

  // RigPart
  void Open() override { work_.StartRigControl(); }
  void AdjustSplit() override { work_.EverySecond(); }
  void SplitAtTransmit() override { work_.SetSplitTxFrequency(1); }
  void Restart() override { work_.StartRigControl(); }
  int ShowSetupDialog() override { return work_.ShowSetupDialog(); }
  void MouseWheel(int delta) override { work_.MouseWheel(delta); }
  bool TuneToSignal() override { return work_.TuneToSignal(); }
  void ReportRefusals() override { work_.ReportRefusals(); }

  // KeyingPortHooks: the rig paths of the keying port.
  void OpenPttRig() override { work_.OpenPttRig(); }
  void RigSetPtt(bool on) override { work_.SetPtt(on); }

  TOmniWork& work() { return work_; }
  static constexpr const char* kNotKeyedMark = "NoPTT";

 private:
  // RigWindow
  void SetTuneByPanel(std::string_view text) override;
  void SetTxAfcButtonEnabled(bool enabled) override;
  void Wait(std::chrono::milliseconds time) override;
  void ShiftRxFrequency(int units) override;
  // Panel 8 shows kNotKeyedMark over its "tune by" text while the mark stands.
  void SetNotKeyedMark(bool shown) override;

  RigServer& MakeServer();

  TRxForm& form_;
  RigServer* given_;
  std::string tuneBy_;  // panel 8's own text, shown again when the mark goes
  bool notKeyed_ = false;
  std::unique_ptr<RigctldServer> server_;
  TOmniWork work_;
};

}  // namespace vestrel
