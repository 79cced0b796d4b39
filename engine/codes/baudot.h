#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "engine/modem_params.h"
#include "engine/rx_text_sink.h"

namespace vestrel {

// 5-bit Baudot (ITA2 order) with a letters register, a figures register and, in the extended
// sets, a third register; and the CCIR-476 7-bit code that AMTOR carries.
// Code sets (TModemParams::BaudotCodeSet): 0 English, 1 Russian, 2 Swedish, 3 English/Russian
// extended. Text bytes are code page 1251; the Swedish letters are code page 1252.

inline constexpr int kBaudotThirdShift = 0;  // code 0 selects the third register
inline constexpr int kBaudotLtrs = 31;
inline constexpr int kBaudotFigs = 27;
inline constexpr int kBaudotCodeSets = 4;

// Register offsets into a code set's 128-entry table.
inline constexpr int kBaudotFiguresOffset = 32;
inline constexpr int kBaudotThirdOffset = 64;

// Baudot code 0..31 to its CCIR-476 code (four 1-bits out of seven).
extern const std::array<uint8_t, 32> kCcir476;
inline constexpr uint8_t kCcir476Alpha = 0x78;  // phasing signal 2 (PhasingTwo), idle alpha
inline constexpr uint8_t kCcir476Beta = 0x33;   // phasing signal 1 (PhasingOne), idle beta
// The receivers' names of the two phasing signals: a transmission opens with PhasingOne as DX
// and PhasingTwo as RX, and ends with PhasingTwo as DX.
inline constexpr int PhasingOne = kCcir476Beta;
inline constexpr int PhasingTwo = kCcir476Alpha;
inline constexpr int kCcir476Request = 0x66;  // repetition request (RQ)

// AMTOR symbol index of each received 7-bit code (first received bit = bit 6): 0..31 the
// symbols of kAmtorSymbolOrder, 32 the repetition request, 33 PhasingTwo, 34 PhasingOne; -1
// for the 93 codes that do not have exactly four 1 bits.
extern const std::array<int16_t, 128> Ccir476DecodeTable;
inline constexpr int kAmtorSymbols = 35;

// AMTOR symbol index 0..31 to Baudot code: A..Z, CR, LF, LTRS, FIGS, space, blank.
extern const std::array<uint8_t, 32> kAmtorSymbolOrder;

// The 128 bytes of a code set: letters 0..31, figures 32..63, third letters 64..95, third
// figures 96..127; 0 stands for "no text". codeSet outside 0..3 reads as English.
const std::array<uint8_t, 128>& BaudotCodeTable(int32_t codeSet);

// The transmit code of a TxSymbol in the given mode: modes 0 and 6 give a Baudot code (or a
// shift: -1/-3 LTRS, -2 FIGS, -16 the third shift), every other mode the ASCII byte itself.
int CharToBaudot(int32_t txSymbol, int32_t mode, int32_t codeSet);

// The CCIR-476 code of a TxSymbol (AMTOR FEC); -13 and -14 are the phasing signals.
int BaudotToCcir476(int32_t txSymbol, int32_t codeSet);

// 1 when the character must be sent in the letters register (0 outside 0..255).
int BaudotLettersClass(int32_t c, int32_t codeSet);
// 1 when the character must be sent in the third register; the transmit side consults it only
// with ExtendedBaudot on or in code set 3.
int BaudotThirdClass(int32_t c, int32_t codeSet);

// Received Baudot codes back to text, with the register state of the receiving side.
class TBaudotDecoder {
 public:
  TBaudotDecoder(const TModemParams& params, RxTextSink& sink) : params_(params), sink_(sink) {}

  // The text of one received code (empty or one byte); updates the registers.
  std::string_view DecodeBaudot(int code);

  // Modes 0, 6 and 14 print the decoded text, every other mode the code as a byte.
  void PutBaudotChar(int code);
  // AMTOR symbol index 0..31; RQ and the phasing signals (32..34) and anything else are ignored.
  void PutAmtorSymbol(int index);

  // Switching ExtendedBaudot off drops the receiver out of the third register.
  void ResetThird() { BaudotThird = 0; }

  int BaudotShift = 0;  // 0 letters, 32 figures
  int BaudotThird = 0;  // 0 or 64

  // Copies of the settings "UnshiftOnSpace" and "ExtendedBaudot".
  int UnshiftOnSpace = 0;
  int ExtendedBaudot = 0;

 private:
  const TModemParams& params_;
  RxTextSink& sink_;
};

}  // namespace vestrel
