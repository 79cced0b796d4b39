#pragma once
#include <cstdint>
#include <string>

#include "io/keying_port_settings.h"
#include "io/rig/rig_control_settings.h"

namespace vestrel {

// A font as the settings file keeps it: face, character set (204 shows 8-bit text as
// windows-1251, anything else as windows-1252), colour, height in pixels (negative: character
// height), pitch (0 default, 1 variable, 2 fixed), size in points (decides over the height),
// style bits (1 bold, 2 italic, 4 underline, 8 strike-out) and the background of its control.
// Colours are 0x00BBGGRR; negative values are system colours (-2147483640 window text,
// -2147483643 window background), resolved through the palette only when painting.
struct TFontSetting {
  std::string FontName = "MS Sans Serif";
  int32_t FontCharset = 204;
  int32_t FontColor = -2147483640;
  int32_t FontHeight = -13;
  int32_t FontPitch = 0;
  int32_t FontSize = 10;
  int32_t FontStyle = 1;
  int32_t Background = -2147483643;
  bool operator==(const TFontSetting&) const = default;
};

// The waterfall palette's hue, saturation and lightness, each a start and a slope (the file
// keeps thousandths), and the colour of its tone markers.
struct TWaterfallSettings {
  double H0 = 0.7, H1 = -0.9, S0 = 0.3, S1 = 0.69, L0 = 0.35, L1 = 0.3;
  int32_t RxMarkColor = 15790320;
  int32_t TxMarkColor = 15790320;
  bool operator==(const TWaterfallSettings&) const = default;
};

// The persisted settings, each named by its key in the settings file and holding the value as
// the file means it (frequencies in Hz, the shift in Hz, the baud rate as written). The mode
// record, the controls and the devices take them from here at engine start, and give them
// back before a save. Flags are kept as read: non-zero is on. The keying and exchange port
// keys come from KeyingPortSettings, which the port code works on, and the rig-control keys
// (LastTuneRig, TuneRig, RigNumber, TuneVFOBtoA, VFOBoffset, UseWheel, WheelSpeed) from
// RigControlSettings.
struct TAppSettings : KeyingPortSettings, RigControlSettings {
  // Section "Screen": the main window (-1 keeps its designed value), then the panes and the
  // macro editors (-1 as designed), then the display colours.
  int32_t Left = -1, Top = -1, Height = -1, Width = -1;
  int32_t FHeight = -1;  // spectrum
  int32_t RHeight = -1;  // receive pane
  int32_t DHeight = -1, SHeight = -1, IHeight = -1, ButMacroHeight = -1, EditFieldsHeight = -1;
  int32_t MacroLeft = -1, MacroTop = -1, MacroHeight = -1, MacroWidth = -1;
  int32_t FastMacroLeft = -1, FastMacroTop = -1, FastMacroHeight = -1, FastMacroWidth = -1;
  int32_t FFTBackground = 16777215;
  int32_t OscBackground = 16777215;
  int32_t CurrSpectrumColor = 16711680;
  int32_t PeakSpectrumColor = 32768;
  int32_t RxMarkColor = 255;
  int32_t TxMarkColor = 0;
  int32_t SignalColor = 32768;
  int32_t ThresholdColor = 255;

  // Section "RTTY", the general settings, in the order they are read.
  int32_t OnTop = 0;             // the main window stays on top
  int32_t UTCoffset = -1;        // minutes added to local time for UTC; -1: the system's UTC
  int32_t AFC = 1;               // AFC button down
  int32_t TxAfc = 0;
  int32_t UseDuplex = 0;
  int32_t AfcDeviation = 10;     // local AFC deviation in steps of 5 Hz
  int32_t AFC_Limit = 300;       // 16-bit
  int32_t IsSquelch = 0;
  int32_t SquelchThreshold = 50; // squelch up-down position 0..100
  int32_t Mode = 0;              // ModeNumber
  int32_t DoFastSync = 0;
  double SamplingFreq = 11025.0;     // calibrated capture rate, 8000..384000
  double OutSamplingFreq = 11025.0;  // calibrated playback rate, 8000..384000
  int32_t FilterWidth = 0;       // 0..2
  int32_t RttySpeed = 45;
  int32_t Ps2x5Speed = 25;
  int32_t Ps33x5SpeedX = 4;
  int32_t RttyShift = 170;
  int32_t Ps2x5Shift = 50;
  double BaudRate = 45.0;        // 45.0 stands for 45.45 Bd
  int32_t Shift = 170;           // Hz, one of the Shift menu's values
  int32_t FFTCenterFreq = 1700;  // Hz at the centre of the spectrum display
  int32_t Zoom = 1;              // 1..5
  int32_t Reverse = 0;
  int32_t UnshiftOnSpace = 0;
  int32_t RxFrequency = 0;       // Hz of the receive centre; 0: RxFreq gives it
  int32_t RxFreq = 316;          // receive centre as a spectrum bin, read only when RxFrequency is 0
  int32_t TxFrequency = 0;       // Hz of the transmit centre; 0: TxFreq gives it
  int32_t TxFreq = 316;
  int32_t SoundCardNumber = -1;     // -1 the default device
  int32_t OutSoundCardNumber = -2;  // -2 as the input, -1 the default device
  int32_t InputCardChannel = 0;     // 0..2
  int32_t OutputCardChannel = 0;    // 0..2
  int32_t CodeSet = 0;           // Baudot code set 0..3
  std::string Remark;            // kept for the user; nothing reads it
  int32_t TxAtKeyboard = 0;
  int32_t RxAtFreeBuffer = 0;
  int32_t AfcAtClick = 1;
  int32_t BeaconOffAtClick = 1;
  int32_t BeaconOffAtMyCall = 0;
  int32_t BeaconOffAtTwoCalls = 0;
  int32_t ContestMode = 0;
  int32_t NoDittle = 0;
  int32_t WordMode = 0;
  int32_t BackspaceHandling = 1;
  int32_t ExtendedBaudot = 0;
  int32_t UseTxD = 0;
  // PttPortType (0..6), PttPortNumber, PttPin, PowerPin1, PowerPin2, XPortAddress
  // (0..0xFFFF), ExchangeSpeed (10..921600 Bd), ExchangePortNumber: KeyingPortSettings.
  int32_t KeyPortNumber = 0;     // files from before PttPortType; always saved as 0
  int32_t UseOther = 0;
  int32_t OscShow = 1;
  int32_t PhaseShow = 1;
  int32_t EditFieldsShow = 1;
  int32_t ShowSentInRx = 0;
  int32_t LogarithmicSpectrum = 1;
  int32_t LogarithmicOscillogram = 1;
  int32_t WaterFall = 0;
  int32_t CopyTransferredData = 0;
  int32_t CatchWordByOneClick = 0;
  int32_t BinaryTransfer = 0;
  int32_t PutTimeToFile = 0;
  int32_t SavePs2x5 = 1;
  int32_t IsBeacon = 0;
  int32_t BeaconPeriod = 30;     // s, 3..999
  std::string ExternIniFile = "brusk.ini";
  std::string ExternIniSection = "QSO";
  std::string ExportIniFile = "loginput.ini";
  std::string ExportIniSection = "QSO";
  std::string CallOnClear;
  std::string RSTOnClear = "599";
  std::string NameOnClear = "om";
  std::string OtherOnClear;
  std::string MyCall = "XX0XXX";  // at most 15 characters, no blanks at its ends
  int32_t ExCanal = 1;           // exchange library channel 1..9, 0 = no library
  int32_t MessageChannel = 1;    // logger link instance 0..9

  // Sections "RxFont", "InputFont", "SentFont" and the font of section "Buttons" (which has
  // no background).
  TFontSetting RxFont;
  int32_t CallColor = 32768;     // in "RxFont"
  TFontSetting InputFont;
  int32_t SentColor = 8421504;   // in "InputFont"
  TFontSetting SentFont{"MS Sans Serif", 204, 8421504, -12, 0, 9, 0, -2147483643};
  TFontSetting ButtonFont{"MS Sans Serif", 1, -2147483640, -11, 0, 8, 0, -2147483643};

  TWaterfallSettings Waterfall;  // section "Waterfall"
  int32_t IsKISS = 1;            // section "AX25"
  int32_t WithCall = 1;          // section "SendMode"

  // Section "Rigctld": where the rig-control daemons listen (ports 1..65535).
  std::string Rig1Host = "localhost";
  int32_t Rig1Port = 4532;
  std::string Rig2Host = "localhost";
  int32_t Rig2Port = 4533;
  // Section "ComPorts" (COM port n = 1..255 to its device): KeyingPortSettings.

  bool operator==(const TAppSettings&) const = default;
};

}  // namespace vestrel
