#include "app/settings_file.h"

#include <cmath>
#include <span>

#include "app/command_line.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "engine/mode_switch.h"

namespace vestrel {

namespace {

using S = TAppSettings;

constexpr const char* kGeneral = "RTTY";
constexpr const char* kLayout = "Screen";
constexpr const char* kMacros = "Macros";
constexpr const char* kButtons = "Buttons";
constexpr const char* kWaterfall = "Waterfall";
constexpr const char* kSendMode = "SendMode";
constexpr const char* kComPorts = "ComPorts";

// The keys of the legacy keying port (files from before PttPortType).
constexpr const char* kPttPortType = "PttPortType";
constexpr const char* kKeyPortNumber = "KeyPortNumber";
constexpr const char* kComMask = "ComMask";

// What an integer read from the file becomes, given the value the target held.
using Convert = int32_t (*)(int32_t read, int32_t earlier);

int32_t Any(int32_t v, int32_t) { return v; }
template <int32_t Lo, int32_t Hi>
int32_t InRange(int32_t v, int32_t earlier) {
  return v >= Lo && v <= Hi ? v : earlier;
}
template <int32_t Lo, int32_t Hi>
int32_t Clamped(int32_t v, int32_t) {
  return v < Lo ? Lo : (v > Hi ? Hi : v);
}
template <int32_t Lo>
int32_t AtLeast(int32_t v, int32_t) {
  return v < Lo ? Lo : v;
}
// Numbers that name no mode index past the mode tables: RTTY.
int32_t AsMode(int32_t v, int32_t) { return NormaliseMode(v); }
// As the Shift menu takes it, before the tone pairs are derived from it.
int32_t AsShift(int32_t v, int32_t) { return NormaliseShift(v); }
// Taken only when its bin lies inside the displayed band.
int32_t AsCentreFreq(int32_t v, int32_t earlier) {
  const int32_t bin = HzToBins(v);
  return bin >= 56 && bin <= 742 ? v : earlier;
}
// The zoom setter's rule: 2..5, anything else 1.
int32_t AsZoom(int32_t v, int32_t) { return v >= 2 && v <= 5 ? v : 1; }
int32_t AsBeaconPeriod(int32_t v, int32_t) { return v < 0 ? 999 : Clamped<3, 999>(v, 0); }
int32_t AsExchangeSpeed(int32_t v, int32_t) { return AcceptedExchangeSpeed(v); }
int32_t Low16Bits(int32_t v, int32_t) { return v & 0xFFFF; }
int32_t AsPortType(int32_t v, int32_t) { return v >= 0 && v <= 6 ? v : 0; }

enum class Kind : uint8_t {
  kInt,
  kRate,    // a sample rate: 8000..384000, written in the shortest form
  kBaud,    // the baud rate, written as "%.4lf"
  kQuoted,  // a string written in quotes
  kText,    // a string written bare
  kCall,    // the own call: no blanks at its ends, at most 15 characters
};

// One key of a section and the field it fills.
struct Key {
  const char* name;
  Kind kind;
  int32_t S::*i = nullptr;
  Convert convert = Any;
  double S::*d = nullptr;
  std::string S::*s = nullptr;
  bool saved = true;     // false: read only (fallback bins)
  bool legacy = false;   // not read when a legacy keying port is converted
};

constexpr Key Int(const char* name, int32_t S::*f, Convert c = Any) { return {name, Kind::kInt, f, c}; }
constexpr Key ReadOnly(const char* name, int32_t S::*f) { return {name, Kind::kInt, f, Any, nullptr, nullptr, false}; }
constexpr Key Port(const char* name, int32_t S::*f, Convert c = Any) {
  return {name, Kind::kInt, f, c, nullptr, nullptr, true, true};
}
constexpr Key Real(const char* name, Kind kind, double S::*f) { return {name, kind, nullptr, Any, f}; }
constexpr Key Str(const char* name, Kind kind, std::string S::*f) { return {name, kind, nullptr, Any, nullptr, f}; }

// The general section in the order it is read.
constexpr Key kGeneralKeys[] = {
    Int("OnTop", &S::OnTop),
    Int("AFC", &S::AFC),
    Int("TxAfc", &S::TxAfc),
    Int("UseDuplex", &S::UseDuplex),
    Int("AfcDeviation", &S::AfcDeviation),
    Int("AFC_Limit", &S::AFC_Limit, InRange<-32768, 32767>),
    Int("IsSquelch", &S::IsSquelch),
    Int("SquelchThreshold", &S::SquelchThreshold, Clamped<0, 100>),
    Int("Mode", &S::Mode, AsMode),
    Int("DoFastSync", &S::DoFastSync),
    Real("SamplingFreq", Kind::kRate, &S::SamplingFreq),
    Real("OutSamplingFreq", Kind::kRate, &S::OutSamplingFreq),
    Int("FilterWidth", &S::FilterWidth, InRange<0, 2>),
    Int("RttySpeed", &S::RttySpeed),
    Int("Ps2x5Speed", &S::Ps2x5Speed),
    Int("Ps33x5SpeedX", &S::Ps33x5SpeedX),
    Int("RttyShift", &S::RttyShift),
    Int("Ps2x5Shift", &S::Ps2x5Shift),
    Real("BaudRate", Kind::kBaud, &S::BaudRate),
    Int("Shift", &S::Shift, AsShift),
    Int("FFTCenterFreq", &S::FFTCenterFreq, AsCentreFreq),
    Int("Zoom", &S::Zoom, AsZoom),
    Int("Reverse", &S::Reverse),
    Int("UnshiftOnSpace", &S::UnshiftOnSpace),
    Int("RxFrequency", &S::RxFrequency),
    ReadOnly("RxFreq", &S::RxFreq),
    Int("TxFrequency", &S::TxFrequency),
    ReadOnly("TxFreq", &S::TxFreq),
    Int("SoundCardNumber", &S::SoundCardNumber, AtLeast<-1>),
    Int("OutSoundCardNumber", &S::OutSoundCardNumber, AtLeast<-2>),
    Int("InputCardChannel", &S::InputCardChannel, InRange<0, 2>),
    Int("OutputCardChannel", &S::OutputCardChannel, InRange<0, 2>),
    Int("LastTuneRig", &S::LastTuneRig),
    Int("TuneRig", &S::TuneRig),
    Int("RigNumber", &S::RigNumber, InRange<1, 2>),
    Int("TuneVFOBtoA", &S::TuneVFOBtoA),
    Int("VFOBoffset", &S::VFOBoffset, InRange<-9999, 9999>),
    Int("UseWheel", &S::UseWheel),
    Int("WheelSpeed", &S::WheelSpeed),
    Int("CodeSet", &S::CodeSet, InRange<1, 3>),
    Str("Remark", Kind::kQuoted, &S::Remark),
    Int("TxAtKeyboard", &S::TxAtKeyboard),
    Int("RxAtFreeBuffer", &S::RxAtFreeBuffer),
    Int("AfcAtClick", &S::AfcAtClick),
    Int("BeaconOffAtClick", &S::BeaconOffAtClick),
    Int("BeaconOffAtMyCall", &S::BeaconOffAtMyCall),
    Int("BeaconOffAtTwoCalls", &S::BeaconOffAtTwoCalls),
    Int("ContestMode", &S::ContestMode),
    Int("NoDittle", &S::NoDittle),
    Int("WordMode", &S::WordMode),
    Int("BackspaceHandling", &S::BackspaceHandling),
    Int("ExtendedBaudot", &S::ExtendedBaudot),
    Int("UseTxD", &S::UseTxD),
    Int(kPttPortType, &S::PttPortType, AsPortType),
    Int(kKeyPortNumber, &S::KeyPortNumber),
    Port("PttPortNumber", &S::PttPortNumber),
    Port("PttPin", &S::PttPin),
    Port("PowerPin1", &S::PowerPin1),
    Port("PowerPin2", &S::PowerPin2),
    Port("XPortAddress", &S::XPortAddress, Low16Bits),
    Int("ExchangeSpeed", &S::ExchangeSpeed, AsExchangeSpeed),
    Int("ExchangePortNumber", &S::ExchangePortNumber),
    Int("UseOther", &S::UseOther),
    Int("OscShow", &S::OscShow),
    Int("PhaseShow", &S::PhaseShow),
    Int("EditFieldsShow", &S::EditFieldsShow),
    Int("ShowSentInRx", &S::ShowSentInRx),
    Int("LogarithmicSpectrum", &S::LogarithmicSpectrum),
    Int("LogarithmicOscillogram", &S::LogarithmicOscillogram),
    Int("WaterFall", &S::WaterFall),
    Int("CopyTransferredData", &S::CopyTransferredData),
    Int("CatchWordByOneClick", &S::CatchWordByOneClick),
    Int("BinaryTransfer", &S::BinaryTransfer),
    Int("PutTimeToFile", &S::PutTimeToFile),
    Int("SavePs2x5", &S::SavePs2x5),
    Int("IsBeacon", &S::IsBeacon),
    Int("BeaconPeriod", &S::BeaconPeriod, AsBeaconPeriod),
    Str("ExternIniFile", Kind::kText, &S::ExternIniFile),
    Str("ExternIniSection", Kind::kText, &S::ExternIniSection),
    Str("ExportIniFile", Kind::kText, &S::ExportIniFile),
    Str("ExportIniSection", Kind::kText, &S::ExportIniSection),
    Str("CallOnClear", Kind::kQuoted, &S::CallOnClear),
    Str("RSTOnClear", Kind::kQuoted, &S::RSTOnClear),
    Str("NameOnClear", Kind::kQuoted, &S::NameOnClear),
    Str("OtherOnClear", Kind::kQuoted, &S::OtherOnClear),
    Str("MyCall", Kind::kCall, &S::MyCall),
    Int("ExCanal", &S::ExCanal),
    Int("MessageChannel", &S::MessageChannel, InRange<0, 9>),
    Int("UTCoffset", &S::UTCoffset),
};

// The layout section: the main window first (read at window creation), then the panes, the
// macro editors and the display colours.
constexpr Key kLayoutKeys[] = {
    Int("Left", &S::Left),
    Int("Top", &S::Top),
    Int("Height", &S::Height),
    Int("Width", &S::Width),
    Int("FHeight", &S::FHeight),
    Int("RHeight", &S::RHeight),
    Int("DHeight", &S::DHeight),
    Int("SHeight", &S::SHeight),
    Int("IHeight", &S::IHeight),
    Int("ButMacroHeight", &S::ButMacroHeight),
    Int("EditFieldsHeight", &S::EditFieldsHeight),
    Int("MacroLeft", &S::MacroLeft),
    Int("MacroTop", &S::MacroTop),
    Int("MacroHeight", &S::MacroHeight),
    Int("MacroWidth", &S::MacroWidth),
    Int("FastMacroLeft", &S::FastMacroLeft),
    Int("FastMacroTop", &S::FastMacroTop),
    Int("FastMacroHeight", &S::FastMacroHeight),
    Int("FastMacroWidth", &S::FastMacroWidth),
    Int("FFTBackground", &S::FFTBackground),
    Int("OscBackground", &S::OscBackground),
    Int("CurrSpectrumColor", &S::CurrSpectrumColor),
    Int("PeakSpectrumColor", &S::PeakSpectrumColor),
    Int("RxMarkColor", &S::RxMarkColor),
    Int("TxMarkColor", &S::TxMarkColor),
    Int("SignalColor", &S::SignalColor),
    Int("ThresholdColor", &S::ThresholdColor),
};

constexpr Key kAx25Keys[] = {Int("IsKISS", &S::IsKISS)};
constexpr Key kSendModeKeys[] = {Int("WithCall", &S::WithCall)};
constexpr Key kRigctldKeys[] = {
    Str("Rig1Host", Kind::kText, &S::Rig1Host),
    Int("Rig1Port", &S::Rig1Port, InRange<1, 65535>),
    Str("Rig2Host", Kind::kText, &S::Rig2Host),
    Int("Rig2Port", &S::Rig2Port, InRange<1, 65535>),
};

struct KeySection {
  const char* name;
  std::span<const Key> keys;
};
constexpr KeySection kKeySections[] = {
    {kGeneral, kGeneralKeys}, {kLayout, kLayoutKeys}, {"AX25", kAx25Keys},
    {kSendMode, kSendModeKeys}, {"Rigctld", kRigctldKeys},
};

// The eight values of a font section, in the order they are applied.
struct FontKey {
  const char* name;
  int32_t TFontSetting::*field;
};
constexpr FontKey kFontKeys[] = {
    {"FontCharset", &TFontSetting::FontCharset}, {"FontColor", &TFontSetting::FontColor},
    {"FontHeight", &TFontSetting::FontHeight},   {"FontPitch", &TFontSetting::FontPitch},
    {"FontSize", &TFontSetting::FontSize},       {"FontStyle", &TFontSetting::FontStyle},
    {"Background", &TFontSetting::Background},
};
constexpr int kButtonFontKeys = 6;  // the buttons' font has no background

struct FontSection {
  const char* name;
  TFontSetting S::*font;
  int keys;                     // of kFontKeys
  int32_t S::*extra;            // a colour kept beside the font, or null
  const char* extraName;
};
constexpr FontSection kFontSections[] = {
    {"RxFont", &S::RxFont, 7, &S::CallColor, "CallColor"},
    {"InputFont", &S::InputFont, 7, &S::SentColor, "SentColor"},
    {"SentFont", &S::SentFont, 7, nullptr, nullptr},
    {kButtons, &S::ButtonFont, kButtonFontKeys, nullptr, nullptr},
};

struct WaterfallKey {
  const char* name;
  double TWaterfallSettings::*field;
};
constexpr WaterfallKey kWaterfallKeys[] = {
    {"H0", &TWaterfallSettings::H0}, {"H1", &TWaterfallSettings::H1}, {"S0", &TWaterfallSettings::S0},
    {"S1", &TWaterfallSettings::S1}, {"L0", &TWaterfallSettings::L0}, {"L1", &TWaterfallSettings::L1},
};

// The logger's names of the modes.
struct ModeNameKey {
  const char* name;
  int mode;
  const char* fallback;
};
constexpr ModeNameKey kModeNameKeys[] = {
    {"RttyAs", kModeRtty, "RTTY"},        {"Ascii7As", kModeAscii7, "ASCI"},
    {"Ascii8As", kModeAscii8, "ASCI"},    {"AmtorFAs", kModeAmtorFec, "TOR"},
    {"AmtorArqAs", kModeAmtorArq, ""},    {"Bpsk31As", kModeBpsk31, "PSK31"},
    {"Qpsk31As", kModeQpsk31, "PSK31"},   {"Bpsk63As", kModeBpsk63, "PSK63"},
    {"Qpsk63As", kModeQpsk63, "PSK63"},   {"Bpsk125As", kModeBpsk125, "PSK125"},
    {"MultiFskAs", kModeMfsk16, "MFSK16"}, {"MultiFsk8As", kModeMfsk8, "MFSK8"},
    {"Ax25HfAs", kModeAx25Hf, "PKT"},     {"Ax25UhfAs", kModeAx25Uhf, "PKT"},
    {"DtmfAs", kModeDtmf, ""},            {"Pactor1FecAs", kModePactorFec, "PACTOR"},
    {"Ps2x5", kModePs2x5, "PS2X5"},       {"Ps33x5", kModePs33x5, "PS33X5"},
};
constexpr const char* kWhenChanged = "WhenChanged";

constexpr int kLowestComPort = 1, kHighestComPort = 255;

const S& Defaults() {
  static const S defaults;
  return defaults;
}

std::string TrimBlanks(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  return std::string(v);
}

void ReadKey(const IniFile& ini, const char* section, const Key& k, S& s) {
  const S& def = Defaults();
  const std::optional<std::string> text = ini.Value(section, k.name);
  switch (k.kind) {
    case Kind::kInt: {
      const std::optional<int32_t> v = text ? ParseInt32(*text) : std::nullopt;
      s.*k.i = v ? k.convert(*v, s.*k.i) : def.*k.i;
      break;
    }
    case Kind::kRate: {
      const double v = text ? ParseDecimalText(*text, def.*k.d) : def.*k.d;
      if (UsableSampleRate(v)) s.*k.d = v;
      break;
    }
    case Kind::kBaud: {
      const double v = text ? ParseDecimalText(*text, def.*k.d) : def.*k.d;
      if (std::isfinite(v)) s.*k.d = v;
      break;
    }
    case Kind::kQuoted:
    case Kind::kText:
      s.*k.s = text ? *text : def.*k.s;
      break;
    case Kind::kCall:
      // Trimmed again after the cut: blanks that the cut brings to the end would otherwise be
      // saved and then trimmed at the next load.
      s.*k.s = TrimBlanks(TrimBlanks(text ? *text : def.*k.s).substr(0, 15));
      break;
  }
}

void WriteKey(const S& s, const char* section, const Key& k, IniFile& ini) {
  switch (k.kind) {
    case Kind::kInt:
      // The legacy key has done its work once the port keys are written.
      ini.WriteInteger(section, k.name, k.i == &S::KeyPortNumber ? 0 : s.*k.i);
      break;
    case Kind::kRate: ini.WriteText(section, k.name, FormatShortest(s.*k.d)); break;
    case Kind::kBaud: ini.WriteText(section, k.name, FormatFixed(s.*k.d, 4)); break;
    case Kind::kQuoted:
    case Kind::kCall: ini.WriteString(section, k.name, s.*k.s); break;
    case Kind::kText: ini.WriteText(section, k.name, s.*k.s); break;
  }
}

// Files written before PttPortType existed name the keying port by one number.
void ConvertLegacyPort(const IniFile& ini, int32_t keyPort, S& s) {
  if (keyPort >= 1 && keyPort <= 15) {
    s.PttPortType = 1;  // COM
    s.PttPortNumber = keyPort;
    const int32_t mask = ini.ReadInteger(kGeneral, kComMask, 2);
    s.PttPin = (mask == 0 || mask == 1) ? 1 : 2;
  } else if (keyPort >= 16 && keyPort <= 18) {
    s.PttPortType = 2;  // LPT
    s.PttPortNumber = keyPort - 15;
    s.PttPin = 2;
    s.PowerPin1 = 7;
    s.PowerPin2 = 8;
  } else if (keyPort >= 19 && keyPort <= 21) {
    s.PttPortType = 3;  // LPT with the control register
    s.PttPortNumber = keyPort - 18;
    s.PttPin = 6;
    s.PowerPin1 = 7;
    s.PowerPin2 = 8;
  }
}

int32_t Thousandths(double v) { return RoundToInt32(v * 1000.0); }

// A macro's line breaks as the escape that makes them: CR LF, CR or LF alone each one.
std::string LineBreaksAsEscapes(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "~[lf]";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

bool UsableSampleRate(double r) { return std::isfinite(r) && r >= 8000.0 && r <= 384000.0; }

int32_t AcceptedExchangeSpeed(int32_t v) { return v < 10 || v > 921600 ? 9600 : v; }

double ParseDecimalText(std::string_view text, double fallback) { return ParseDouble(text).value_or(fallback); }

void ReadSettings(const IniFile& ini, const SettingsTargets& t) {
  S& s = t.settings;
  const S& def = Defaults();
  // A keying port named the old way: the port keys that came later are not read.
  const int32_t keyPort = ini.ReadInteger(kGeneral, kKeyPortNumber, 0);
  const bool legacy = keyPort != 0 && ini.ReadInteger(kGeneral, kPttPortType, 0) == 0;
  for (const KeySection& sec : kKeySections) {
    for (const Key& k : sec.keys) {
      if (!(legacy && k.legacy)) ReadKey(ini, sec.name, k, s);
    }
  }
  if (legacy) ConvertLegacyPort(ini, keyPort, s);

  for (const FontSection& f : kFontSections) {
    TFontSetting& font = s.*f.font;
    const TFontSetting& fontDefault = def.*f.font;
    font.FontName = ini.ReadString(f.name, "FontName", fontDefault.FontName);
    for (int i = 0; i < f.keys; ++i) {
      const FontKey& k = kFontKeys[i];
      font.*k.field = ini.ReadInteger(f.name, k.name, fontDefault.*k.field);
    }
    if (f.extra != nullptr) s.*f.extra = ini.ReadInteger(f.name, f.extraName, def.*f.extra);
  }
  for (const WaterfallKey& k : kWaterfallKeys) {
    const int32_t v = ini.ReadInteger(kWaterfall, k.name, Thousandths(def.Waterfall.*k.field));
    s.Waterfall.*k.field = v * 0.001;
  }
  s.Waterfall.RxMarkColor = ini.ReadInteger(kWaterfall, "RxMarkColor", def.Waterfall.RxMarkColor);
  s.Waterfall.TxMarkColor = ini.ReadInteger(kWaterfall, "TxMarkColor", def.Waterfall.TxMarkColor);

  t.reportModeWhenChanged = ini.ReadInteger(kSendMode, kWhenChanged, 1) != 0;
  for (const ModeNameKey& k : kModeNameKeys) t.modeReportNames[k.mode] = ini.ReadString(kSendMode, k.name, k.fallback);

  s.ComPorts.clear();
  for (const auto& [key, value] : ini.ReadSection(kComPorts)) {
    if (key.size() < 4 || (key[0] != 'C' && key[0] != 'c') || (key[1] != 'O' && key[1] != 'o') ||
        (key[2] != 'M' && key[2] != 'm')) {
      continue;
    }
    const std::string_view digits = std::string_view(key).substr(3);
    const auto n = ParseInt32(digits);
    // "COM<n>" exactly (no sign, blank or leading zero), naming a device.
    if (!n || *n < kLowestComPort || *n > kHighestComPort || std::to_string(*n) != digits || value.empty()) {
      continue;
    }
    s.ComPorts.emplace(*n, value);
  }

  static const TMacroTable defaultNames = [] {
    TMacroTable names;
    names.SetDefaultButtonNames();
    return names;
  }();
  for (int i = 0; i < TMacroTable::kCount; ++i) {
    if (auto v = ini.Value(kMacros, "Macro" + std::to_string(i))) t.macros.Macro[i] = std::move(*v);
  }
  for (int i = 1; i < TMacroTable::kCount; ++i) {
    t.macros.ButtonName[i] = ini.ReadString(kButtons, "Name" + std::to_string(i), defaultNames.ButtonName[i]);
  }
}

void WriteSettings(const SettingsTargets& t, IniFile& ini) {
  const S& s = t.settings;
  for (const KeySection& sec : kKeySections) {
    // The logger's switch and names follow WithCall in their section.
    if (sec.name == kSendMode) ini.WriteInteger(kSendMode, kWhenChanged, t.reportModeWhenChanged ? 1 : 0);
    for (const Key& k : sec.keys) {
      if (k.saved) WriteKey(s, sec.name, k, ini);
    }
    if (sec.name == kSendMode) {
      for (const ModeNameKey& k : kModeNameKeys) ini.WriteText(kSendMode, k.name, t.modeReportNames[k.mode]);
    }
  }
  for (const FontSection& f : kFontSections) {
    const TFontSetting& font = s.*f.font;
    ini.WriteString(f.name, "FontName", font.FontName);
    for (int i = 0; i < f.keys; ++i) ini.WriteInteger(f.name, kFontKeys[i].name, font.*kFontKeys[i].field);
    if (f.extra != nullptr) ini.WriteInteger(f.name, f.extraName, s.*f.extra);
  }
  for (const WaterfallKey& k : kWaterfallKeys) ini.WriteInteger(kWaterfall, k.name, Thousandths(s.Waterfall.*k.field));
  ini.WriteInteger(kWaterfall, "RxMarkColor", s.Waterfall.RxMarkColor);
  ini.WriteInteger(kWaterfall, "TxMarkColor", s.Waterfall.TxMarkColor);
  for (const auto& [n, device] : s.ComPorts) ini.WriteText(kComPorts, "COM" + std::to_string(n), device);
}

void WriteMacros(const TMacroTable& macros, IniFile& ini) {
  for (int i = 0; i < TMacroTable::kCount; ++i) {
    ini.WriteString(kMacros, "Macro" + std::to_string(i), LineBreaksAsEscapes(macros.Macro[i]));
  }
  for (int i = 1; i < TMacroTable::kCount; ++i) {
    ini.WriteString(kButtons, "Name" + std::to_string(i), macros.ButtonName[i]);
  }
}

void WriteMacroKeys(const TMacroTable& macros, std::span<const int> numbers, IniFile& ini) {
  for (int n : numbers) {
    if (n < 1 || n >= TMacroTable::kCount) continue;
    const size_t i = size_t(n);
    ini.WriteString(kMacros, "Macro" + std::to_string(n), LineBreaksAsEscapes(macros.Macro[i]));
    ini.WriteString(kButtons, "Name" + std::to_string(n), macros.ButtonName[i]);
  }
}

void ApplyToModemParams(const TAppSettings& s, TModemParams& p) {
  p.Mode = NormaliseMode(s.Mode);
  p.FilterWidth = s.FilterWidth;
  p.RttySpeed = s.RttySpeed;
  p.Ps2x5Speed = s.Ps2x5Speed;
  p.Ps33x5SpeedX = s.Ps33x5SpeedX;
  p.RttyShift = s.RttyShift;
  p.Ps2x5Shift = s.Ps2x5Shift;
  p.Baud = s.BaudRate;
  p.FFTCenterFreq = HzToBins(s.FFTCenterFreq);
  p.Zoom = s.Zoom;
  p.Reverse = s.Reverse != 0 ? 1 : 0;
  p.BaudotCodeSet = s.CodeSet;

  // The shift first: the tone pairs are built around their centres with it.
  const double outRate = UsableTxRate(s.OutSamplingFreq);
  p.ShiftHz = NormaliseShift(s.Shift);
  p.RxShift = HzToUnits(p.ShiftHz);
  p.RxShiftBin = UnitsToBin(p.RxShift);
  p.TxShift = HzToUnits(p.ShiftHz, outRate);
  p.TxShiftBin = UnitsToBin(p.TxShift);

  // A centre in Hz, or a centre bin kept inside the spectrum; then the whole pair inside the
  // tone band, whatever the file said (AFC and the markers index the spectrum with it).
  auto centre = [](int32_t hz, double rate, int32_t bin, int32_t lowBin, int32_t highBin, int32_t half) {
    int32_t c;
    if (hz != 0) {
      c = HzToUnits(hz, rate);
    } else {
      c = 16 * (bin < lowBin ? lowBin : (bin > highBin ? highBin : bin));
    }
    return ClampToneCentre(c, half);
  };
  const int32_t rxHalf = p.RxShift / 2;
  const int32_t rx = centre(s.RxFrequency, kRxRate, s.RxFreq, p.RxShiftBin / 2 + 55, 743 - p.RxShiftBin / 2, rxHalf);
  p.RxTone[0] = rx - rxHalf;
  p.RxTone[1] = rx + rxHalf;
  p.RxToneBin[0] = p.AfcRefBin[0] = UnitsToBin(p.RxTone[0]);
  p.RxToneBin[1] = p.AfcRefBin[1] = UnitsToBin(p.RxTone[1]);

  const int32_t txHalf = p.TxShift / 2;
  const int32_t tx = centre(s.TxFrequency, outRate, s.TxFreq, p.TxShiftBin / 2 + 57, p.TxShiftBin / 2 + 741, txHalf);
  p.TxTone[0] = tx - txHalf;
  p.TxTone[1] = tx + txHalf;
  p.TxToneBin[0] = UnitsToBin(p.TxTone[0]);
  p.TxToneBin[1] = UnitsToBin(p.TxTone[1]);
}

void TakeFromModemParams(const TModemParams& p, TAppSettings& s) {
  s.Mode = p.Mode;
  s.FilterWidth = p.FilterWidth;
  s.RttySpeed = p.RttySpeed;
  s.Ps2x5Speed = p.Ps2x5Speed;
  s.Ps33x5SpeedX = p.Ps33x5SpeedX;
  s.RttyShift = p.RttyShift;
  s.Ps2x5Shift = p.Ps2x5Shift;
  s.BaudRate = p.Baud;
  s.Shift = p.ShiftHz;
  s.FFTCenterFreq = RoundToInt32(p.FFTCenterFreq * kRxRate / 2048.0);
  s.Zoom = p.Zoom;
  s.Reverse = p.Reverse;
  s.CodeSet = p.BaudotCodeSet;
  // With AFC on the file keeps the reference the AFC is held to, not where it has wandered.
  // The reference is whole bins; while the pair still sits in those bins it is the reference
  // to the unit, and its own centre goes to the file: a load then a save gives back the same
  // hertz (bins would move a centre by up to 2.7 Hz, and an MFSK band, laid out from its
  // lower edge, a little more at each start).
  const bool onReference = p.RxToneBin[0] == p.AfcRefBin[0] && p.RxToneBin[1] == p.AfcRefBin[1];
  const double rxCentre = s.AFC != 0 && !onReference
                              ? (double(p.AfcRefBin[0]) + p.AfcRefBin[1]) * 0.5 * 16.0
                              : (double(p.RxTone[0]) + p.RxTone[1]) * 0.5;
  s.RxFrequency = RoundToInt32(rxCentre * kRxRate / kUnitsPerCycle);
  s.TxFrequency =
      RoundToInt32((double(p.TxTone[0]) + p.TxTone[1]) * 0.5 * UsableTxRate(s.OutSamplingFreq) / kUnitsPerCycle);
}

void TSettingsFile::LoadSettings(const std::string& path, const SettingsTargets& t) {
  IniFile ini;
  ini.Load(path);  // missing or unreadable: every key has its default
  ReadSettings(ini, t);
}

namespace {

template <typename Update>
std::string UpdateFile(const std::string& path, Update update) {
  IniFile ini;
  std::string error;
  // A file that is there but cannot be read is not replaced: its other lines would be lost.
  if (ini.Load(path, &error) == IniFile::LoadResult::kFailed) return error;
  update(ini);
  return ini.Save(path);
}

}  // namespace

std::string TSettingsFile::SaveSettings(const std::string& path, const SettingsTargets& t) {
  return UpdateFile(path, [&t](IniFile& ini) { WriteSettings(t, ini); });
}

std::string TSettingsFile::SaveMacros(const std::string& path, const TMacroTable& macros) {
  return UpdateFile(path, [&macros](IniFile& ini) { WriteMacros(macros, ini); });
}

std::string TSettingsFile::SaveMacroKeys(const std::string& path, const TMacroTable& macros,
                                         std::span<const int> numbers) {
  return UpdateFile(path, [&macros, numbers](IniFile& ini) { WriteMacroKeys(macros, numbers, ini); });
}

std::string TSettingsFile::CheckDefaultDirectory(const std::string& path, bool pathGiven) {
  return vestrel::CheckDefaultDirectory(path, pathGiven, store_);
}

bool TSettingsFile::ReadIsx64Flag() { return vestrel::ReadIsx64Flag(store_); }

}  // namespace vestrel
