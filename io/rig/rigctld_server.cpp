#include "io/rig/rigctld_server.h"

namespace vestrel {

Rig& RigctldServer::Rig1() {
  if (!rig1_) rig1_ = std::make_unique<RigctldRig>(settings_.rig1, settings_.timing);
  return *rig1_;
}

Rig& RigctldServer::Rig2() {
  if (!rig2_) rig2_ = std::make_unique<RigctldRig>(settings_.rig2, settings_.timing);
  return *rig2_;
}

}  // namespace vestrel
