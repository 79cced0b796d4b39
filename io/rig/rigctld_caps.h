#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace vestrel {

// What a rig can do, as the control daemon's capability dump (\dump_caps) states it.
struct RigctldCaps {
  bool getFreq = false, setFreq = false;
  bool getMode = false, setMode = false;
  bool getVfo = false, setVfo = false;
  bool getPtt = false, setPtt = false;
  bool getSplit = false, setSplit = false;
  bool getRit = false, setRit = false;  // the RIT offset
  bool vfoOps = false;                  // "Can ctl Mem/VFO"
  // "Has targetable VFO": the rig reads a VFO other than the current one directly; without
  // it the daemon selects that VFO for the read and back, on the radio itself.
  bool targetableVfo = false;
  bool pttTypeNone = true;  // "PTT type: None": PTT only if the backend can set it
  std::set<std::string> getFuncs, setFuncs, modes, vfos, vfoOpList;
};

// Reads the top-level "Key: value" lines of a capability dump; unknown lines are skipped.
RigctldCaps ParseDumpCaps(std::string_view text);

// How this connection names a VFO: with the daemon started with --vfo every command carries
// one (vfoMode); without, only \get_vfo_info reads a VFO other than the current one
// (vfoInfo), and a write to the other VFO selects it for the write and back.
struct RigVfoAccess {
  bool vfoMode = false;
  bool vfoInfo = false;
};

struct RigParamMasks {
  uint32_t readable = 0;
  uint32_t writeable = 0;
};

// The server's parameter masks for a rig (rig_params.h): what the capability table in
// rigctld_caps.cpp grants.
RigParamMasks BuildParamMasks(const RigctldCaps& caps, const RigVfoAccess& access);

// Mode names of the daemon and mode bits. A name reads as its bit; a bit writes as the first
// of its names that the rig lists. nullopt / nullptr where no entry fits.
std::optional<uint32_t> ModeBitFromName(std::string_view name);
const char* ModeNameForBit(uint32_t bit, const RigctldCaps& caps);

// VFO names of the daemon: 'A', 'B', or 0 for one that is neither (VFOC, MEM, ...).
char VfoLetterFromName(std::string_view name);
// The daemon's name of VFO 'A' or 'B'.
const char* VfoName(char letter);
// A Vfo state: the receive VFO and whether the other one transmits (split); states that
// say nothing of split (only the VFO selected) have split nullopt.
struct VfoState {
  uint32_t bit;
  char rx;
  std::optional<bool> split;
};
// The state of a bit (nullptr for one that is no Vfo state), and the bit of a state:
// with haveSplit the four receive/transmit pairs, without it VFO A or B alone.
const VfoState* FindVfoState(uint32_t bit);
uint32_t VfoStateBit(char rxVfo, bool split, bool haveSplit);

}  // namespace vestrel
