#pragma once
#include <memory>

#include "io/rig/rig_server.h"
#include "io/rig/rigctld_rig.h"

namespace vestrel {

// Where the two rigs' daemons listen. Settings file: section "Rigctld", keys "Rig1Host",
// "Rig1Port", "Rig2Host", "Rig2Port".
struct RigctldSettings {
  RigctldEndpoint rig1{"localhost", 4532};
  RigctldEndpoint rig2{"localhost", 4533};
  RigctldTiming timing;
};

// The rig-control server over rigctld daemons: one connection per rig, made when the rig
// is first asked for and kept for the server's life. Called on the GUI thread.
class RigctldServer final : public RigServer {
 public:
  explicit RigctldServer(RigctldSettings settings = {}) : settings_(std::move(settings)) {}

  Rig& Rig1() override;
  Rig& Rig2() override;
  // The daemon has no setup dialog of its own: its rig is chosen where it is started.
  RigStatus SetDialogVisible(bool) override { return RigStatus::kNotSupported; }

 private:
  const RigctldSettings settings_;
  std::unique_ptr<RigctldRig> rig1_, rig2_;
};

}  // namespace vestrel
