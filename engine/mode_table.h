#pragma once
// The engine's one table of modes: one row per ModeNumber 0..22 with everything that differs
// between modes, read by the block processor (receiver, AFC pass, squelch rule), the mode
// switch (menus, panels, tone layout, which objects a mode switch selects), the transmit pump
// (transmit source) and the headless tools (names, what is built).
//
// Adding a mode (say the PSK receiver):
//  1. Write the receiver in engine/modes/<family>/ (engine/modes/psk/psk_receiver.{h,cpp}) as a
//     ModeReceiver (engine/mode_receiver.h): Reset, SelectMode (the row's rate, data bits, ...),
//     SetTones, SetSpeed, and ProcessBlock, called once per 2048-sample block with the squelch
//     decision; it loops over the samples itself. A transmitter is a TxSymbolSource
//     (engine/tx_symbol_source.h) inside the transmit pump's buffer frame. Tests go in
//     tests/engine/modes/<family>/, benchmarks in bench/engine/modes/<family>/.
//  2. In its rows (kRows in mode_table.cpp) set receiverBuilt (transmitterBuilt); add a family
//     to RxFamily or TxFamily only for a new kind of receiver or transmitter.
//  3. In TEngine, the composition root (engine.h and engine.cpp in this folder): one member,
//     constructed from the few things it uses; one registration in the constructor,
//     modes.SetReceiver(RxFamily::kPsk, &psk) (modes.SetTransmitter for a transmitter); and
//     its start in TEngine::Start when it has one.
// No switch elsewhere learns a mode number: the dispatch reads the row. The AFC plugs in the
// same way: an AfcTuner (engine/afc_tuner.h) handed to the block processor with SetAfc, which
// runs the row's pass; it retunes receivers through ModeRegistry::SetFskFamilyTones and the
// planners of engine/modes/mfsk and engine/modes/ps33x5.
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/mode_number.h"

namespace vestrel {

struct TModemParams;

// The receiver a mode runs: one object per family, registered in the ModeRegistry.
enum class RxFamily : uint8_t {
  kStartStop,  // RTTY, ASCII-7, ASCII-8 (TRttyDecoder)
  kPsk,        // BPSK and QPSK
  kAmtorFec,
  kAmtorArq,
  kPacket,  // AX.25 300 and 1200 Bd
  kDtmf,
  kMfsk,    // MFSK16, MFSK8
  kPactor,  // both PACTOR-I FEC receivers, 100 and 200 Bd
  kPs2x5,
  kPs33x5,
  kCount
};

// The transmit source of a mode; kNone for the receive-only modes.
enum class TxFamily : uint8_t {
  kNone,
  kStartStop,  // the transmit pump's own character path: Baudot or ASCII FSK
  kPsk,        // the same path through the PSK synthesisers
  kAmtorFec,
  kPacket,
  kMfsk,
  kPs2x5,
  kPs33x5,
  kCount
};

// The AFC pass of a mode, run once per block while AFC is on.
enum class AfcPass : uint8_t {
  kNone,
  kFsk,          // both tones searched as a pair
  kFskSeparate,  // each tone on its own (slow, wide-shift signals)
  kFskBySignal,  // kFsk when Baud >= 99 or ShiftHz < 24, else kFskSeparate (ResolveAfcPass)
  kPsk,
  kMfsk,
  kPs33x5,
};

// What opens the squelch of a mode while "SQL" is down; T = SquelchLevel, lo/hi = RxToneBin.
enum class SquelchRule : uint8_t {
  kAlwaysOpen,         // the receiver runs without a squelch
  kEitherTonePeak,     // SpectrumPeak[lo] > T or SpectrumPeak[hi] > T
  kLowerTonePeak,      // SpectrumPeak[lo] > T (one tone)
  kEitherToneAverage,  // SpectrumAvg[lo] > T or SpectrumAvg[hi] > T (the smoothed array)
  kAnyPeakInSpan,      // some SpectrumPeak[k] > T for k = lo..hi
  kPskBand,            // some SpectrumPeak[k] > T within the PSK signal's band around lo (PskSquelchBins)
};

// How a mode switch lays out the receive and transmit tone pairs.
enum class ToneLayout : uint8_t {
  kPair,             // two tones a shift apart around the pair's mean; shift and speed re-applied
  kSingle,           // both tones at the pair's mean, shift slots 0 (PSK)
  kSingleKeepShift,  // both tones at the pair's mean, shift slots kept (DTMF)
  kMfskPlan,         // the MFSK tone plan from the lower tone
  kPs33x5Band,       // the PS33X5 band of the speed step around the pair's centre
};

// Speed menu items below "25 Baud" that a mode shows (all are hidden first).
enum LowSpeeds : uint8_t {
  kLowSpeedsNone = 0,
  kShow2Baud = 1,        // "2 Baud"
  kShow4To10Baud = 2,    // "4 Baud", "5 Baud", "10 Baud"
  kShowPs33x5Steps = 4,  // "1.5625 Baud", "3.125 Baud", "6.25 Baud", "12.5 Baud"
};

struct ModeRow {
  int32_t number = 0;
  bool assigned = false;        // 13, 15, 17, 19 and 21 name no mode and run as mode 0
  std::string_view menuItem;    // caption of its Mode menu item
  std::string_view panelName;   // status panel 0; the headless tools' name of the mode
  std::string_view reportName;  // default name reported to the logger ("" reports nothing)

  RxFamily receiver = RxFamily::kStartStop;
  AfcPass afc = AfcPass::kNone;
  bool txFollowsAfc = false;  // SyncTxFrequencyToRx after the AFC pass
  SquelchRule squelch = SquelchRule::kAlwaysOpen;
  TxFamily transmitter = TxFamily::kNone;

  ToneLayout tones = ToneLayout::kPair;
  int dataBits = 0;         // start-stop character length: 5 (Baudot), 7 or 8; else 0
  double symbolRate = 0.0;  // speed fixed by the mode, Bd; 0 when the Speed menu sets it
  bool quadrature = false;  // QPSK
  int mfskTones = 0;        // MFSK: tones of the alphabet, symbolRate Hz apart
  int menuShiftHz = 0;      // the shift its Mode menu item sets (AX.25, AMTOR, PACTOR); 0: it stays
  double menuBaud = 0.0;    // the speed its Mode menu item sets in a Speed menu mode (AMTOR); 0: it stays
  double menuCentreHz = 0;  // both tone pairs centred here by its Mode menu item; 0: they stay

  bool speedMenu = false;  // the Speed, Shift and Filters menus are enabled
  bool shiftMenu = false;
  bool filtersMenu = false;
  uint8_t lowSpeeds = kLowSpeedsNone;  // LowSpeeds bits
  bool lowShifts = false;              // "4 Hz" .. "20 Hz" shown
  std::string_view speedPanel;         // panel 1 when the mode is chosen ("" leaves it to the speed)
  // The speed switch keeps writing speedPanel: the mode runs at a rate of its own, whatever
  // speed the start (which sets the loaded speed after the mode) or a macro sets.
  bool speedPanelFixed = false;
  std::string_view spanPanel;  // panels 3 and 6 when the mode is chosen (MFSK)

  bool receiverBuilt = false;  // this build has the receiver, the transmitter
  bool transmitterBuilt = false;

  bool Transmits() const { return transmitter != TxFamily::kNone; }
  bool SingleTone() const { return tones == ToneLayout::kSingle || tones == ToneLayout::kSingleKeepShift; }
};

// Row of a mode number: unknown numbers (13, 15, 17, 19, 21, negative, 23 up) give row 0.
const ModeRow& ModeRowOf(int32_t mode);
// A mode number as the engine stores it: unknown numbers become RTTY.
inline int32_t NormaliseMode(int32_t mode) {
  return ModeRowOf(mode).number;
}
// All 23 rows by number, the unassigned ones included (assigned false).
std::span<const ModeRow, kModeCount> ModeTable();

// The row's pass with kFskBySignal decided from the current speed and shift.
AfcPass ResolveAfcPass(const ModeRow& row, const TModemParams& params);

// Names for messages and tests.
std::string_view RxFamilyName(RxFamily family);
std::string_view TxFamilyName(TxFamily family);

}  // namespace vestrel
