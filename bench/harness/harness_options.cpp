#include "bench/harness/harness_options.h"

#include <array>
#include <charconv>
#include <cmath>

#include "engine/mode_number.h"
#include "engine/mode_table.h"

namespace vestrel::harness {

namespace {

constexpr std::array<double, 23> kBauds = {1.5625, 2,   3.125, 4,   5,   6.25, 10,  12.5, 25,  45,   50,  57,
                                           75,     100, 110,   150, 200, 250,  300, 500,  600, 1000, 1200};
constexpr std::array<int, 24> kShifts = {4,   5,   10,  20,  22,  23,  25,  50,  85,  100, 150,  170,
                                         182, 200, 250, 300, 400, 425, 450, 500, 600, 850, 1000, 1200};

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string ParseArgs(int argc, const char* const* argv, std::span<const OptionSpec> specs,
                      ParsedArgs& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a.size() < 3 || a.substr(0, 2) != "--") {
      if (a.size() > 1 && a[0] == '-') return "unknown option " + std::string(a);
      args.positional.emplace_back(a);
      continue;
    }
    std::string_view name = a.substr(2);
    std::optional<std::string_view> inlineValue;
    if (const size_t eq = name.find('='); eq != std::string_view::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const OptionSpec* known = nullptr;
    for (const OptionSpec& s : specs) {
      if (s.name == name) known = &s;
    }
    if (!known) return "unknown option --" + std::string(name);
    if (!known->takesValue) {
      if (inlineValue) return "option --" + std::string(name) + " takes no value";
      args.values[std::string(name)] = "";
    } else if (inlineValue) {
      args.values[std::string(name)] = std::string(*inlineValue);
    } else {
      if (i + 1 >= argc) return "option --" + std::string(name) + " needs a value";
      args.values[std::string(name)] = argv[++i];
    }
  }
  return {};
}

std::optional<double> ParseDouble(std::string_view text) {
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int> ParseInt(std::string_view text) {
  int v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || text.empty() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

std::optional<int32_t> ParseMode(std::string_view text) {
  for (const ModeRow& row : ModeTable()) {
    if (row.assigned && EqualsIgnoreCase(text, row.panelName)) return row.number;
  }
  if (const auto n = ParseInt(text)) {
    if (*n >= 0 && *n < kModeCount && ModeTable()[*n].assigned) return *n;
  }
  return std::nullopt;
}

std::string_view ModePanelName(int32_t mode) {
  if (mode < 0 || mode >= kModeCount) return {};
  return ModeTable()[mode].panelName;
}

std::string ModeNameList() {
  std::string out;
  for (const ModeRow& row : ModeTable()) {
    if (!row.assigned) continue;
    if (!out.empty()) out += ", ";
    out += std::string(row.panelName) + " (" + std::to_string(row.number) + ")";
  }
  return out;
}

std::string BuiltModeList(bool transmitters) {
  std::string out;
  for (const ModeRow& row : ModeTable()) {
    if (!row.assigned || !(transmitters ? row.transmitterBuilt : row.receiverBuilt)) continue;
    if (!out.empty()) out += ", ";
    out += row.panelName;
  }
  return out;
}

bool ModeBuilt(int32_t mode, bool transmitter) {
  if (mode < 0 || mode >= kModeCount || !ModeTable()[mode].assigned) return false;
  const ModeRow& row = ModeTable()[mode];
  return transmitter ? row.transmitterBuilt : row.receiverBuilt;
}

bool IsAcceptedBaud(double baud) {
  if (std::abs(baud - 45.45) < 1e-9) return true;
  for (double b : kBauds) {
    if (std::abs(baud - b) < 1e-9) return true;
  }
  return false;
}

bool IsAcceptedShift(int hz) {
  for (int s : kShifts) {
    if (s == hz) return true;
  }
  return false;
}

std::string ReadModemOptions(const ParsedArgs& args, std::string_view centreOption, ModemOptions& out) {
  auto value = [&](std::string_view name) -> const std::string* {
    const auto it = args.values.find(name);
    return it == args.values.end() ? nullptr : &it->second;
  };
  if (const std::string* v = value("mode")) {
    const auto mode = ParseMode(*v);
    if (!mode) return "unknown mode \"" + *v + "\"; modes: " + ModeNameList();
    out.mode = *mode;
  } else {
    return "--mode is required";
  }
  // A two-tone mode of a fixed speed (AX.25, PACTOR) runs at it, with the shift and centre its
  // menu item sets; the AMTOR items set a speed of the Speed menu too.
  const ModeRow& row = ModeTable()[out.mode];
  const bool fixedSpeed = row.symbolRate > 0.0 && row.tones == ToneLayout::kPair && !row.speedMenu;
  if (fixedSpeed) out.baud = row.symbolRate;
  if (row.menuBaud > 0.0) out.baud = row.menuBaud;
  if (row.menuShiftHz > 0) out.shiftHz = row.menuShiftHz;
  if (row.menuCentreHz > 0.0) out.centreHz = row.menuCentreHz;
  if (const std::string* v = value(centreOption)) {
    const auto hz = ParseDouble(*v);
    if (!hz || *hz < 300.0 || *hz > 4000.0)
      return "--" + std::string(centreOption) + " must be 300..4000 Hz, not " + *v;
    out.centreHz = *hz;
  }
  if (const std::string* v = value("shift")) {
    const auto hz = ParseInt(*v);
    if (!hz || !IsAcceptedShift(*hz)) return "--shift " + *v + " is not a shift of the Shift menu";
    out.shiftHz = *hz;
  }
  if (const std::string* v = value("baud")) {
    const auto bd = ParseDouble(*v);
    if (!bd || !IsAcceptedBaud(*bd)) return "--baud " + *v + " is not a speed of the Speed menu";
    if (fixedSpeed && *bd != row.symbolRate)
      return std::string(row.panelName) + " runs at " + std::to_string(static_cast<int>(row.symbolRate)) +
             " Bd, not " + *v;
    out.baud = std::abs(*bd - 45.45) < 1e-9 ? 45.0 : *bd;
  }
  if (const std::string* v = value("filter")) {
    if (EqualsIgnoreCase(*v, "optimal")) {
      out.filterWidth = 0;
    } else if (EqualsIgnoreCase(*v, "wide")) {
      out.filterWidth = 1;
    } else if (EqualsIgnoreCase(*v, "narrow")) {
      out.filterWidth = 2;
    } else {
      return "--filter must be optimal, wide or narrow, not " + *v;
    }
  }
  // The block modes' own defaults: PS2X5 25 Bd and 50 Hz, PS33X5 step 4 (6.25 Bd); PS33X5
  // runs only at its speed steps.
  if (out.mode == kModePs2x5) {
    if (!args.Has("baud")) out.baud = 25.0;
    if (!args.Has("shift")) out.shiftHz = 50;
  } else if (out.mode == kModePs33x5) {
    if (!args.Has("baud")) out.baud = 6.25;
    bool step = false;
    for (double b : {1.5625, 3.125, 6.25, 12.5, 25.0, 50.0}) step = step || std::abs(out.baud - b) < 1e-9;
    if (!step) return "--baud in PS33x5 must be 1.5625, 3.125, 6.25, 12.5, 25 or 50";
  }
  out.reverse = args.Has("reverse");
  return {};
}

}  // namespace vestrel::harness
