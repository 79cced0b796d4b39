#include "engine/codes/baudot.h"

#include <initializer_list>
#include <utility>

#include "engine/mode_number.h"

namespace vestrel {

namespace {

using CodeTable = std::array<uint8_t, 128>;
using Register = std::array<uint8_t, 32>;
using ByteTable = std::array<uint8_t, 256>;

// Code page 1251 Cyrillic: capitals 192..223, small letters 32 higher; Ё 168, ё 184.
constexpr int kCyrCh = 215, kCyrSha = 216, kCyrShcha = 217, kCyrHard = 218, kCyrE = 221, kCyrYu = 222;
constexpr int kCyrYo = 168, kCyrSmallYo = 184;
constexpr int kCyrSmall = 32;
// Code page 1252 Swedish letters, which share bytes with Д, Е, Ц of code page 1251.
constexpr int kLatinAUml = 196, kLatinARing = 197, kLatinOUml = 214;
constexpr int kBel = 7;

constexpr Register FromText(const char (&text)[33]) {
  Register r{};
  for (int i = 0; i < 32; ++i) r[i] = static_cast<uint8_t>(text[i]);
  return r;
}

// 27 (FIGS), 31 (LTRS) and 0 carry no text.
constexpr Register kEnglishLetters = FromText("\0E\nA SIU\rDRJNFCKTZLWHYPQOBG\0MXV\0");
constexpr Register kEnglishFigures = FromText(
    "\0"
    "3\n- '87\r$4*,!:(5+)2#6019?&\0./=\0");

constexpr Register RussianLetters() {
  Register r = kEnglishLetters;
  constexpr std::array<std::pair<int, int>, 26> kCyr = {{
      {1, 197},  {3, 192},  {5, 209},  {6, 200},  {7, 211},  {9, 196},  {10, 208}, {11, 201}, {12, 205},
      {13, 212}, {14, 214}, {15, 202}, {16, 210}, {17, 199}, {18, 203}, {19, 194}, {20, 213}, {21, 219},
      {22, 207}, {23, 223}, {24, 206}, {25, 193}, {26, 195}, {28, 204}, {29, 220}, {30, 198},
  }};
  for (auto [code, c] : kCyr) r[code] = static_cast<uint8_t>(c);
  return r;
}

constexpr Register With(Register r, std::initializer_list<std::pair<int, int>> changes) {
  for (auto [code, c] : changes) r[code] = static_cast<uint8_t>(c);
  return r;
}

// Lower case of every letter; LF, CR and space stay.
constexpr Register Small(Register r) {
  for (auto& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c + ('a' - 'A'));
    if (c >= 192 && c <= 223) c = static_cast<uint8_t>(c + kCyrSmall);
  }
  return r;
}

constexpr Register kRussianLetters = RussianLetters();
constexpr Register kRussianFigures =
    With(kEnglishFigures, {{11, kCyrYu}, {13, kCyrE}, {20, kCyrShcha}, {26, kCyrSha}});
constexpr Register kSwedishFigures =
    With(kEnglishFigures, {{13, kLatinARing}, {20, kLatinOUml}, {26, kLatinAUml}});
constexpr Register kEnglishThirdFigures = With(kEnglishFigures, {{3, '_'},
                                                                 {5, '"'},
                                                                 {12, '<'},
                                                                 {13, '`'},
                                                                 {14, ';'},
                                                                 {15, '['},
                                                                 {18, ']'},
                                                                 {20, '{'},
                                                                 {26, '}'},
                                                                 {28, '>'},
                                                                 {29, '\\'},
                                                                 {30, '|'}});
constexpr Register kRussianThirdFigures = With(kEnglishThirdFigures, {{11, kCyrYu + kCyrSmall},
                                                                      {13, kCyrE + kCyrSmall},
                                                                      {20, kCyrShcha + kCyrSmall},
                                                                      {26, kCyrSha + kCyrSmall}});
constexpr Register kSwedishThirdFigures = With(
    kEnglishThirdFigures, {{12, ','}, {13, kLatinARing + 32}, {20, kLatinOUml + 32}, {26, kLatinAUml + 32}});

constexpr CodeTable Join(const Register& l, const Register& f, const Register& tl, const Register& tf) {
  CodeTable t{};
  for (int i = 0; i < 32; ++i) {
    t[i] = l[i];
    t[kBaudotFiguresOffset + i] = f[i];
    t[kBaudotThirdOffset + i] = tl[i];
    t[kBaudotThirdOffset + kBaudotFiguresOffset + i] = tf[i];
  }
  return t;
}

constexpr std::array<CodeTable, kBaudotCodeSets> kCodeSets = {
    Join(kEnglishLetters, kEnglishFigures, Small(kEnglishLetters), kEnglishThirdFigures),
    Join(kRussianLetters, kRussianFigures, Small(kRussianLetters), kRussianThirdFigures),
    Join(kEnglishLetters, kSwedishFigures, Small(kEnglishLetters), kSwedishThirdFigures),
    Join(kEnglishLetters, kRussianFigures, kRussianLetters, kRussianFigures),
};

constexpr bool IsCyrillic(int c) {
  return c >= 192 || c == kCyrYo || c == kCyrSmallYo;
}

constexpr int OtherCase(int c) {
  if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
  if (c >= 'a' && c <= 'z') return c - ('a' - 'A');
  if (c >= 192 && c <= 223) return c + kCyrSmall;
  if (c >= 224) return c - kCyrSmall;
  if (c == kCyrYo) return kCyrSmallYo;
  if (c == kCyrSmallYo) return kCyrYo;
  return c;
}

// Every character of the English, Russian and extended tables maps to its code, in either
// case; Ч, Ъ, Ё and BEL borrow the code of their nearest neighbour. Unknown ASCII (and '*')
// goes out as code 28 (figures "."), unknown upper-half bytes as 0.
constexpr ByteTable BuildCharToCode() {
  constexpr int kUnset = 255;
  ByteTable map{};
  for (auto& m : map) m = kUnset;
  for (int set : {0, 1, 3}) {
    for (int i = 0; i < 128; ++i) {
      const int code = i & 31;
      const int c = kCodeSets[set][i];
      if (c == 0 || code == 0 || code == kBaudotFigs || code == kBaudotLtrs) continue;
      map[c] = static_cast<uint8_t>(code);
      map[OtherCase(c)] = static_cast<uint8_t>(code);
    }
  }
  for (int c : {kCyrCh, kCyrCh + kCyrSmall}) map[c] = 10;
  for (int c : {kCyrHard, kCyrHard + kCyrSmall}) map[c] = 29;
  for (int c : {kCyrYo, kCyrSmallYo}) map[c] = 1;
  map[kBel] = 11;
  // Figures J belongs to BEL on the air; '*', which only our receiver prints there, goes out
  // as "." like the other ASCII without a code.
  map['*'] = kUnset;
  for (int c = 0; c < 256; ++c) {
    if (map[c] == kUnset) map[c] = c < 128 ? 28 : 0;
  }
  return map;
}

constexpr ByteTable BuildSwedishCharToCode() {
  ByteTable map = BuildCharToCode();
  for (int c : {kLatinARing, kLatinARing + 32}) map[c] = 13;
  for (int c : {kLatinOUml, kLatinOUml + 32}) map[c] = 20;
  for (int c : {kLatinAUml, kLatinAUml + 32}) map[c] = 26;
  for (int c : {kCyrCh, kCyrCh + kCyrSmall}) map[c] = 28;  // × and ÷ in code page 1252
  for (int c : {kCyrYo, kCyrSmallYo}) map[c] = 0;
  return map;
}

constexpr ByteTable kCharToCode = BuildCharToCode();
constexpr ByteTable kSwedishCharToCode = BuildSwedishCharToCode();

// Cyrillic letters that live in the figures register (Ч goes out as figures "4").
constexpr bool IsFiguresCyrillic(int c) {
  const int cap = c >= 224 ? c - kCyrSmall : c;
  return cap == kCyrCh || cap == kCyrSha || cap == kCyrShcha || cap == kCyrE || cap == kCyrYu;
}

constexpr ByteTable BuildLettersClass(bool swedish) {
  ByteTable cls{};
  for (int c = 0; c < 256; ++c) {
    bool letters = c == '\n' || c == '\r' || c == ' ' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (IsCyrillic(c) && !IsFiguresCyrillic(c)) letters = true;
    if (swedish) {
      for (int s : {kLatinAUml, kLatinARing, kLatinOUml}) {
        if (c == s || c == s + 32) letters = false;
      }
    }
    cls[c] = letters ? 1 : 0;
  }
  return cls;
}

// Third register of the English, Russian (set = 0) and Swedish (set = 2) tables: small letters
// and the third figures; of the extended table (set = 3): the Russian letters.
constexpr ByteTable BuildThirdClass(int set) {
  ByteTable cls{};
  cls['\n'] = cls['\r'] = 1;
  if (set == 3) {
    for (int c = 0; c < 256; ++c) {
      if (IsCyrillic(c) && !IsFiguresCyrillic(c)) cls[c] = 1;
    }
    return cls;
  }
  for (int c = 'a'; c <= 'z'; ++c) cls[c] = 1;
  for (uint8_t c : kEnglishThirdFigures) {
    if (c >= 32 && c < 128 && (c < '0' || c > '9')) cls[c] = 1;
  }
  // Figures the third register shares with the figures register stay in figures.
  for (uint8_t c : kEnglishFigures) {
    if (c != '\n' && c != '\r') cls[c] = 0;
  }
  for (int c = 224; c < 256; ++c) cls[c] = c == kCyrCh + kCyrSmall ? 0 : 1;
  if (set != 2) cls[kCyrSmallYo] = 1;
  return cls;
}

constexpr ByteTable kLettersClass = BuildLettersClass(false);
constexpr ByteTable kSwedishLettersClass = BuildLettersClass(true);
constexpr ByteTable kThirdClass = BuildThirdClass(0);
constexpr ByteTable kSwedishThirdClass = BuildThirdClass(2);
constexpr ByteTable kExtendedThirdClass = BuildThirdClass(3);

}  // namespace

const std::array<uint8_t, 32> kCcir476 = {
    0x2B, 0x35, 0x1B, 0x71, 0x1D, 0x69, 0x59, 0x39, 0x0F, 0x65, 0x55, 0x74, 0x4D, 0x6C, 0x5C, 0x3C,
    0x17, 0x63, 0x53, 0x72, 0x4B, 0x6A, 0x5A, 0x3A, 0x47, 0x27, 0x56, 0x36, 0x4E, 0x2E, 0x1E, 0x2D,
};

const std::array<uint8_t, 32> kAmtorSymbolOrder = {
    3,  25, 14, 9,  1, 13, 26, 20, 6,  11, 15, 18, 28, 12, 24, 22,
    23, 10, 5,  16, 7, 30, 19, 29, 21, 17, 8,  2,  31, 27, 4,  0,
};

// The 32 codes of the Baudot symbols through the CCIR-476 table, then RQ and the phasing signals.
const std::array<int16_t, 128> Ccir476DecodeTable = [] {
  std::array<int16_t, 128> t;
  t.fill(-1);
  for (int i = 0; i < 32; ++i) t[kCcir476[kAmtorSymbolOrder[i]]] = static_cast<int16_t>(i);
  t[kCcir476Request] = 32;
  t[PhasingTwo] = 33;
  t[PhasingOne] = 34;
  return t;
}();

const std::array<uint8_t, 128>& BaudotCodeTable(int32_t codeSet) {
  return kCodeSets[codeSet >= 0 && codeSet < kBaudotCodeSets ? codeSet : 0];
}

int CharToBaudot(int32_t txSymbol, int32_t mode, int32_t codeSet) {
  if (mode != kModeRtty && mode != kModeAmtorFec) {
    if (txSymbol < 0) return 0;
    if (txSymbol > 255 || (mode == kModeAscii7 && txSymbol > 127)) return '.';
    return txSymbol;
  }
  if (txSymbol >= 256) return 28;
  if (txSymbol >= 0) return (codeSet == 2 ? kSwedishCharToCode : kCharToCode)[txSymbol];
  switch (txSymbol) {
    case -16:
      return kBaudotThirdShift;
    case -1:
    case -3:
      return kBaudotLtrs;
    case -2:
      return kBaudotFigs;
    default:
      return 28;
  }
}

int BaudotToCcir476(int32_t txSymbol, int32_t codeSet) {
  if (txSymbol >= 256) return 0x4E;
  if (txSymbol >= 0) return kCcir476[CharToBaudot(txSymbol, kModeAmtorFec, codeSet) & 31];
  switch (txSymbol) {
    case -16:
      return 0x2B;
    case -14:
      return kCcir476Alpha;
    case -13:
      return kCcir476Beta;
    case -1:
    case -3:
      return 0x2D;
    case -2:
      return 0x36;
    default:
      return 0x4E;
  }
}

int BaudotLettersClass(int32_t c, int32_t codeSet) {
  if (c < 0 || c > 255) return 0;
  return (codeSet == 2 ? kSwedishLettersClass : kLettersClass)[c];
}

int BaudotThirdClass(int32_t c, int32_t codeSet) {
  if (c < 0 || c > 255) return 0;
  if (codeSet == 3) return kExtendedThirdClass[c];
  return (codeSet == 2 ? kSwedishThirdClass : kThirdClass)[c];
}

std::string_view TBaudotDecoder::DecodeBaudot(int code) {
  code &= 31;
  if (code == kBaudotLtrs || code == kBaudotFigs) {
    BaudotShift = code == kBaudotFigs ? kBaudotFiguresOffset : 0;
    BaudotThird = 0;
    return {};
  }
  if (code == kBaudotThirdShift) {
    if (params_.BaudotCodeSet == 3) {
      BaudotShift = 0;
      BaudotThird = kBaudotThirdOffset;
    } else if (ExtendedBaudot) {
      BaudotThird ^= kBaudotThirdOffset;
    } else {
      BaudotThird = 0;
    }
    return {};
  }
  const CodeTable& table = BaudotCodeTable(params_.BaudotCodeSet);
  const uint8_t* c = &table[BaudotShift + code + BaudotThird];
  if (UnshiftOnSpace && (code == 4 || code == 2)) BaudotShift = 0;
  return std::string_view(reinterpret_cast<const char*>(c), *c != 0 ? 1 : 0);
}

void TBaudotDecoder::PutBaudotChar(int code) {
  const int32_t mode = params_.Mode;
  if (mode == kModeRtty || mode == kModeAmtorFec || mode == kModeAmtorArq) {
    for (char c : DecodeBaudot(code)) sink_.PutRxChar(static_cast<uint8_t>(c));
  } else {
    sink_.PutRxChar(static_cast<uint8_t>(code));
  }
}

void TBaudotDecoder::PutAmtorSymbol(int index) {
  if (index < 0 || index > 31) return;
  PutBaudotChar(kAmtorSymbolOrder[index]);
}

}  // namespace vestrel
