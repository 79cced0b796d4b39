// Any bytes as a settings file: the load never faults, every value it gives lies in its range,
// and what a save writes loads and saves again to the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "app/settings_file.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "engine/mode_switch.h"
#include "engine/spectrum_arrays.h"

namespace vestrel {
namespace {

struct Loaded : SettingsValues {
  TModemParams p;
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "settings file invariant broken: %s\n", what);
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

bool InSpectrum(int32_t bin) { return bin >= SpectrumArrays::kFirstBin && bin <= SpectrumArrays::kLastBin; }

void CheckRanges(const Loaded& l) {
  const TAppSettings& s = l.settings;
  const TModemParams& p = l.p;
  Check(NormaliseMode(p.Mode) == p.Mode && p.Mode == s.Mode, "a real mode");
  for (int i = 0; i < 2; ++i) {
    Check(p.RxTone[i] >= kMinToneUnits && p.RxTone[i] <= kMaxToneUnits, "receive tones in the band");
    Check(p.TxTone[i] >= kMinToneUnits && p.TxTone[i] <= kMaxToneUnits, "transmit tones in the band");
    Check(InSpectrum(p.RxToneBin[i]) && InSpectrum(p.AfcRefBin[i]), "receive bins inside the spectrum");
    Check(InSpectrum(p.TxToneBin[i]), "transmit bins inside the spectrum");
  }
  Check(p.RxTone[0] <= p.RxTone[1] && p.TxTone[0] <= p.TxTone[1], "tone pairs in order");
  Check(NormaliseShift(p.ShiftHz) == p.ShiftHz, "a shift of the menu");
  for (double rate : {s.SamplingFreq, s.OutSamplingFreq}) {
    Check(std::isfinite(rate) && rate >= 8000.0 && rate <= 384000.0, "a usable sample rate");
  }
  Check(std::isfinite(p.Baud), "a finite baud rate");
  Check(p.FFTCenterFreq >= 56 && p.FFTCenterFreq <= 742, "the spectrum centre in the band");
  Check(p.Zoom >= 1 && p.Zoom <= 5, "zoom 1..5");
  Check(p.FilterWidth >= 0 && p.FilterWidth <= 2, "filter 0..2");
  Check(p.BaudotCodeSet >= 0 && p.BaudotCodeSet <= 3, "code set 0..3");
  Check(s.BeaconPeriod >= 3 && s.BeaconPeriod <= 999, "beacon period 3..999");
  Check(s.ExchangeSpeed >= 10 && s.ExchangeSpeed <= 921600, "exchange speed");
  Check(s.MessageChannel >= 0 && s.MessageChannel <= 9, "logger channel 0..9");
  Check(s.SquelchThreshold >= 0 && s.SquelchThreshold <= 100, "squelch position 0..100");
  Check(s.SoundCardNumber >= -1 && s.OutSoundCardNumber >= -2, "sound card numbers");
  Check(s.InputCardChannel >= 0 && s.InputCardChannel <= 2 && s.OutputCardChannel >= 0 && s.OutputCardChannel <= 2,
        "card channels 0..2");
  Check(s.RigNumber >= 1 && s.RigNumber <= 2, "rig 1..2");
  Check(s.VFOBoffset >= -9999 && s.VFOBoffset <= 9999, "VFO B offset");
  Check(s.PttPortType >= 0 && s.PttPortType <= 6, "keying port type 0..6");
  Check(s.XPortAddress >= 0 && s.XPortAddress <= 0xFFFF, "a 16-bit port address");
  Check(s.AFC_Limit >= -32768 && s.AFC_Limit <= 32767, "a 16-bit AFC limit");
  Check(s.MyCall.size() <= 15, "a call of 15 characters");
  Check(s.Rig1Port >= 1 && s.Rig1Port <= 65535 && s.Rig2Port >= 1 && s.Rig2Port <= 65535, "rig ports");
  for (const auto& [n, device] : s.ComPorts) Check(n >= 1 && n <= 255, "COM port numbers");
}

// What the program does on a save: the mode record back into the settings, every key into the
// file it read, updated in place.
std::string Save(Loaded& l, IniFile ini) {
  TakeFromModemParams(l.p, l.settings);
  WriteSettings(l.Targets(), ini);
  WriteMacros(l.macros, ini);
  return ini.Text();
}

Loaded Load(const IniFile& ini) {
  Loaded l;
  ReadSettings(ini, l.Targets());
  ApplyToModemParams(l.settings, l.p);
  CheckRanges(l);
  return l;
}

}  // namespace
}  // namespace vestrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vestrel;
  const IniFile ini = IniFile::FromText(std::string_view(reinterpret_cast<const char*>(data), size));
  // The layer itself: what it writes, it reads back as the same lines.
  const std::string text = ini.Text();
  if (IniFile::FromText(text).Text() != text) Fail("ini text not stable");

  Loaded first = Load(ini);
  const std::string once = Save(first, ini);
  IniFile written = IniFile::FromText(once);
  Loaded second = Load(written);
  if (Save(second, std::move(written)) != once) Fail("write-load-write changed the file");
  return 0;
}
