#include "app/setup_tables.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "app/settings_file.h"
#include "engine/mode_number.h"
#include "platform/ini_file.h"

namespace vestrel {

namespace {

constexpr CodeItem kUseOther[] = {
    {"NONE", 0},
    {"Received RST", 64},
    {"Received Number", 0x100000},
    {"Sent Number", 0x80000},
    {"QTH", 256},
    {"QSL Via", 512},
    {"Remarks", 1024},
    {"State", 4096},
    {"Subdiv", 0x200000},
    {"Grid", 2048},
    {"IOTA", 8192},
};

constexpr CodeItem kTimeZones[] = {
    {"By OS", -1},        {"UTC -12:00", 720},  {"UTC -11:00", 660},  {"UTC -10:00", 600},
    {"UTC -09:00", 540},  {"UTC -08:00", 480},  {"UTC -07:00", 420},  {"UTC -06:00", 360},
    {"UTC -05:00", 300},  {"UTC -04:00", 240},  {"UTC -03:30", 210},  {"UTC -03:00", 180},
    {"UTC -02:30", 150},  {"UTC -02:00", 120},  {"UTC -01:00", 60},   {"UTC", 0},
    {"UTC +01:00", -60},  {"UTC +02:00", -120}, {"UTC +03:00", -180}, {"UTC +03:30", -210},
    {"UTC +04:00", -240}, {"UTC +04:30", -270}, {"UTC +05:00", -300}, {"UTC +05:30", -330},
    {"UTC +05:45", -345}, {"UTC +06:00", -360}, {"UTC +06:30", -390}, {"UTC +07:00", -420},
    {"UTC +08:00", -480}, {"UTC +09:00", -540}, {"UTC +09:30", -570}, {"UTC +10:00", -600},
    {"UTC +10:30", -630}, {"UTC +11:00", -660}, {"UTC +12:00", -720}, {"UTC +13:00", -780},
};

constexpr CodeItem kModeAs[] = {
    {"RTTY", kModeRtty},          {"ASCII-7", kModeAscii7},     {"ASCII-8", kModeAscii8},
    {"AMTOR-FEC", kModeAmtorFec}, {"AMTOR-ARQ", kModeAmtorArq}, {"PACTOR1-FEC", kModePactorFec},
    {"PS2x5", kModePs2x5},        {"PS33x5", kModePs33x5},      {"BPSK-31", kModeBpsk31},
    {"QPSK-31", kModeQpsk31},     {"BPSK-63", kModeBpsk63},     {"QPSK-63", kModeQpsk63},
    {"BPSK-125", kModeBpsk125},   {"MultiFSK-8", kModeMfsk8},   {"MultiFSK-16", kModeMfsk16},
    {"AX25 (HF)", kModeAx25Hf},   {"AX25 (UHF)", kModeAx25Uhf}, {"DTMF", kModeDtmf},
};

constexpr const char* kPortTypes[] = {
    "NONE", "COM-Port", "LPT Port", "LPT Port / Wexlin", "OmniRig / COM-port pins", "OmniRig / CAT", "WinKey",
};

std::string_view Trimmed(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

}  // namespace

std::span<const CodeItem> UseOtherItems() {
  return kUseOther;
}
std::span<const CodeItem> TimeZoneItems() {
  return kTimeZones;
}
std::span<const CodeItem> ModeAsItems() {
  return kModeAs;
}
std::span<const char* const> PortTypeCaptions() {
  return kPortTypes;
}

int IndexOfCode(std::span<const CodeItem> items, int32_t value) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].value == value) return static_cast<int>(i);
  }
  return 0;
}

std::optional<int64_t> ParseWholeNumber(std::string_view text) {
  std::string_view t = Trimmed(text);
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  // from_chars takes a sign of its own; a second one is no number.
  if (t.empty() || t.front() < '0' || t.front() > '9') return std::nullopt;
  int64_t v = 0;
  const auto res = std::from_chars(t.data(), t.data() + t.size(), v);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size()) return std::nullopt;
  return negative ? -v : v;
}

std::string FormatVfoOffset(int32_t hz) {
  const int64_t magnitude = hz < 0 ? -int64_t{hz} : hz;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%c%04lld", hz < 0 ? '-' : '+', static_cast<long long>(magnitude));
  return buf;
}

std::optional<int32_t> ParseVfoOffset(std::string_view text) {
  const std::optional<int64_t> v = ParseWholeNumber(text);
  if (!v || *v < -9999 || *v > 9999) return std::nullopt;
  return static_cast<int32_t>(*v);
}

std::string FormatCoefficient(double value) {
  if (!std::isfinite(value)) value = 0.0;
  value = std::fmin(std::fmax(value, -9.99), 9.99);
  // Rounded first, so that -0.001 does not show as "-0.00".
  const double rounded = std::round(value * 100.0) / 100.0;
  const std::string digits = FormatFixed(std::fabs(rounded), 2);
  return (rounded < 0 ? "-" : "+") + digits;
}

std::string FormatSampleRate(double rate) {
  std::string s = FormatFixed(rate, 2);
  // "00000.00": at least five digits before the point.
  const size_t point = s.find('.');
  if (point != std::string::npos && point < 5) s.insert(0, 5 - point, '0');
  return s;
}

std::optional<double> ParseSampleRate(std::string_view text) {
  const std::optional<double> v = ParseDouble(text);
  if (!v || !UsableSampleRate(*v)) return std::nullopt;
  return v;
}

int32_t ParseExchangeSpeed(std::string_view text) {
  const std::optional<int64_t> v = ParseWholeNumber(text);
  if (!v || *v < INT32_MIN || *v > INT32_MAX) return 9600;
  return AcceptedExchangeSpeed(static_cast<int32_t>(*v));
}

std::string FormatPortAddress(int32_t address) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(address) & 0xFFFFu);
  return buf;
}

std::optional<int32_t> ParsePortAddress(std::string_view text) {
  const std::string_view t = Trimmed(text);
  uint32_t v = 0;
  if (t.empty() || t.size() > 4) return std::nullopt;
  const auto res = std::from_chars(t.data(), t.data() + t.size(), v, 16);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size()) return std::nullopt;
  return static_cast<int32_t>(v);
}

}  // namespace vestrel
