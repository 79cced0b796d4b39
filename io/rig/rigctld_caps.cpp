#include "io/rig/rigctld_caps.h"

#include <array>
#include <sstream>

#include "io/rig/rig_params.h"

namespace vestrel {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::set<std::string> Words(std::string_view s) {
  std::set<std::string> out;
  std::istringstream in{std::string(s)};
  for (std::string w; in >> w;) out.insert(w);
  return out;
}

bool Has(const std::set<std::string>& set, const char* name) {
  return set.count(name) != 0;
}
bool BothVfos(const RigctldCaps& c) {
  return Has(c.vfos, "VFOA") && Has(c.vfos, "VFOB");
}
bool CanSwap(const RigctldCaps& c) {
  return c.vfoOps && (Has(c.vfoOpList, "XCHG") || Has(c.vfoOpList, "TOGGLE"));
}

using Need = bool (*)(const RigctldCaps&, const RigVfoAccess&);

// The capability table: which parameter bits a rig gets in each mask. Mode bits are added
// from the mode table below.
struct CapabilityRow {
  uint32_t bits;
  Need readable;
  Need writeable;
};

constexpr bool Never(const RigctldCaps&, const RigVfoAccess&) {
  return false;
}

const std::array<CapabilityRow, 9> kCapabilityTable = {{
    // Freq: the current VFO, f / F.
    {kPmFreq, [](const RigctldCaps& c, const RigVfoAccess&) { return c.getFreq; },
     [](const RigctldCaps& c, const RigVfoAccess&) { return c.setFreq; }},
    // FreqA, FreqB: f VFOx or \get_vfo_info VFOx; writes F VFOx, or V VFOx / F / V back.
    // Read only from a rig with targetable VFOs: on another the daemon would flip the radio's
    // VFOs at every poll.
    {kPmFreqA | kPmFreqB,
     [](const RigctldCaps& c, const RigVfoAccess& a) {
       return c.getFreq && c.targetableVfo && BothVfos(c) && (a.vfoMode || a.vfoInfo);
     },
     [](const RigctldCaps& c, const RigVfoAccess& a) {
       return c.setFreq && BothVfos(c) && (a.vfoMode || (c.setVfo && c.getVfo));
     }},
    // RitOffset: j / J (ClearRit is J 0).
    {kPmRitOffset, [](const RigctldCaps& c, const RigVfoAccess&) { return c.getRit; },
     [](const RigctldCaps& c, const RigVfoAccess&) { return c.setRit; }},
    // Vfo with both VFOs: v and s read; V and S write.
    {kPmVfoAA | kPmVfoAB | kPmVfoBA | kPmVfoBB,
     [](const RigctldCaps& c, const RigVfoAccess&) { return c.getVfo && c.getSplit && BothVfos(c); },
     [](const RigctldCaps& c, const RigVfoAccess&) { return c.setVfo && c.setSplit && BothVfos(c); }},
    // Vfo, the selected VFO alone (read so when the split state cannot be read).
    {kPmVfoA | kPmVfoB,
     [](const RigctldCaps& c, const RigVfoAccess&) { return c.getVfo && !c.getSplit && BothVfos(c); },
     [](const RigctldCaps& c, const RigVfoAccess&) { return c.setVfo && BothVfos(c); }},
    // Swap: G XCHG, or G TOGGLE.
    {kPmVfoSwap, Never, [](const RigctldCaps& c, const RigVfoAccess&) { return CanSwap(c) && BothVfos(c); }},
    // Split: s / S.
    {kPmSplitOn | kPmSplitOff, [](const RigctldCaps& c, const RigVfoAccess&) { return c.getSplit; },
     [](const RigctldCaps& c, const RigVfoAccess&) { return c.setSplit && BothVfos(c); }},
    // Rit: the RIT function, u RIT / U RIT.
    {kPmRitOn | kPmRitOff, [](const RigctldCaps& c, const RigVfoAccess&) { return Has(c.getFuncs, "RIT"); },
     [](const RigctldCaps& c, const RigVfoAccess&) { return Has(c.setFuncs, "RIT"); }},
    // Tx: t / T; a PTT line the daemon drives itself counts as settable.
    {kPmRx | kPmTx, [](const RigctldCaps& c, const RigVfoAccess&) { return c.getPtt; },
     [](const RigctldCaps& c, const RigVfoAccess&) { return c.setPtt || !c.pttTypeNone; }},
}};

// The mode table: daemon mode name and mode bit. The first name of a bit is the one written.
struct ModeRow {
  const char* name;
  uint32_t bit;
};
const std::array<ModeRow, 16> kModeTable = {{
    {"USB", kPmSsbU},
    {"LSB", kPmSsbL},
    {"CW", kPmCwU},
    {"CWR", kPmCwL},
    {"PKTUSB", kPmDigU},
    {"RTTYR", kPmDigU},  // reversed RTTY: mark above space, as on the upper sideband
    {"PKTLSB", kPmDigL},
    {"RTTY", kPmDigL},  // RTTY keys the lower sideband: mark above space on the air
    {"AM", kPmAm},
    {"SAM", kPmAm},
    {"AMS", kPmAm},
    {"PKTAM", kPmAm},
    {"FM", kPmFm},
    {"PKTFM", kPmFm},
    {"FMN", kPmFm},
    {"WFM", kPmFm},
}};

// The VFO table: daemon VFO names and the VFO they stand for.
struct VfoRow {
  const char* name;
  char letter;
};
const std::array<VfoRow, 6> kVfoTable = {{
    {"VFOA", 'A'},
    {"Main", 'A'},
    {"MainA", 'A'},
    {"VFOB", 'B'},
    {"Sub", 'B'},
    {"MainB", 'B'},
}};

// The Vfo state table: each state bit, its receive VFO and its split. A pair is read from
// v and s and written as V rx then S split tx; a lone VFO is read from v and written as V.
const std::array<VfoState, 6> kVfoStateTable = {{
    {kPmVfoAA, 'A', false},
    {kPmVfoAB, 'A', true},
    {kPmVfoBA, 'B', true},
    {kPmVfoBB, 'B', false},
    {kPmVfoA, 'A', std::nullopt},
    {kPmVfoB, 'B', std::nullopt},
}};

}  // namespace

RigctldCaps ParseDumpCaps(std::string_view text) {
  RigctldCaps caps;
  bool seenModes = false, seenVfos = false, seenOps = false;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    // Indented lines belong to sub-blocks (frequency ranges, extra levels).
    if (line.empty() || line.front() == ' ' || line.front() == '\t') continue;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, colon));
    const std::string_view value = Trim(line.substr(colon + 1));
    const bool yes = value == "Y";
    if (key == "Can get Frequency")
      caps.getFreq = yes;
    else if (key == "Can set Frequency")
      caps.setFreq = yes;
    else if (key == "Can get Mode")
      caps.getMode = yes;
    else if (key == "Can set Mode")
      caps.setMode = yes;
    else if (key == "Can get VFO")
      caps.getVfo = yes;
    else if (key == "Can set VFO")
      caps.setVfo = yes;
    else if (key == "Can get PTT")
      caps.getPtt = yes;
    else if (key == "Can set PTT")
      caps.setPtt = yes;
    else if (key == "Can get Split VFO")
      caps.getSplit = yes;
    else if (key == "Can set Split VFO")
      caps.setSplit = yes;
    else if (key == "Can get RIT")
      caps.getRit = yes;
    else if (key == "Can set RIT")
      caps.setRit = yes;
    else if (key == "Can ctl Mem/VFO")
      caps.vfoOps = yes;
    else if (key == "Has targetable VFO")
      caps.targetableVfo = yes;
    else if (key == "PTT type")
      caps.pttTypeNone = value.empty() || value == "None";
    else if (key == "Get functions")
      caps.getFuncs = Words(value);
    else if (key == "Set functions")
      caps.setFuncs = Words(value);
    else if (key == "Mode list" && !seenModes)
      caps.modes = Words(value), seenModes = true;
    else if (key == "VFO list" && !seenVfos)
      caps.vfos = Words(value), seenVfos = true;
    else if (key == "VFO Ops" && !seenOps)
      caps.vfoOpList = Words(value), seenOps = true;
  }
  return caps;
}

RigParamMasks BuildParamMasks(const RigctldCaps& caps, const RigVfoAccess& access) {
  RigParamMasks m;
  for (const CapabilityRow& row : kCapabilityTable) {
    if (row.readable(caps, access)) m.readable |= row.bits;
    if (row.writeable(caps, access)) m.writeable |= row.bits;
  }
  for (const ModeRow& row : kModeTable) {
    if (!Has(caps.modes, row.name)) continue;
    if (caps.getMode) m.readable |= row.bit;
    if (caps.setMode) m.writeable |= row.bit;
  }
  return m;
}

std::optional<uint32_t> ModeBitFromName(std::string_view name) {
  for (const ModeRow& row : kModeTable)
    if (name == row.name) return row.bit;
  return std::nullopt;
}

const char* ModeNameForBit(uint32_t bit, const RigctldCaps& caps) {
  for (const ModeRow& row : kModeTable)
    if (row.bit == bit && Has(caps.modes, row.name)) return row.name;
  return nullptr;
}

char VfoLetterFromName(std::string_view name) {
  for (const VfoRow& row : kVfoTable)
    if (name == row.name) return row.letter;
  return 0;
}

const char* VfoName(char letter) {
  return letter == 'B' ? "VFOB" : "VFOA";
}

const VfoState* FindVfoState(uint32_t bit) {
  for (const VfoState& row : kVfoStateTable)
    if (row.bit == bit) return &row;
  return nullptr;
}

uint32_t VfoStateBit(char rxVfo, bool split, bool haveSplit) {
  for (const VfoState& row : kVfoStateTable)
    if (row.rx == rxVfo && row.split.has_value() == haveSplit && (!haveSplit || *row.split == split))
      return row.bit;
  return kPmUnknown;
}

}  // namespace vestrel
