#include "app/macro_language.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "engine/modes/psk/cw_ident.h"
#include "platform/ini_file.h"

namespace vestrel {

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EscapeMark(char c) { return c == '~' || c == '`'; }

std::string TwoDigits(int hour, int minute) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d", hour, minute);
  return buf;
}

}  // namespace

std::optional<std::string> ReadMacroFile(std::string path, size_t limit) {
  std::replace(path.begin(), path.end(), '\\', '/');
  // Opened without waiting (a FIFO with no writer would block the open), then refused unless
  // it is a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string raw;
  size_t total = 0;
  char piece[99];
  while (total < limit) {
    const size_t want = std::min(sizeof piece, limit - total);
    const ssize_t n = ::read(fd, piece, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) break;
    total += static_cast<size_t>(n);
    const char* end = std::find(piece, piece + n, '\0');
    raw.append(piece, static_cast<size_t>(end - piece));
  }
  ::close(fd);
  // A file with LF line ends sends the same lines as one with CR LF.
  std::string text;
  text.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) text.push_back('\r');
    text.push_back(raw[i]);
  }
  return text;
}

void IncrementNumberText(std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) {
    text.assign(1, '1');
    return;
  }
  text.erase(text.find_last_not_of(" \t") + 1);
  text.erase(0, first);
  size_t last = text.size();
  while (last > 0 && !IsDigit(text[last - 1])) --last;
  if (last == 0) {
    text += '1';
    return;
  }
  // last - 1 is the last digit; carry to the left through its run.
  size_t i = last;
  while (i > 0 && IsDigit(text[i - 1])) {
    char& d = text[i - 1];
    if (d != '9') {
      ++d;
      return;
    }
    d = '0';
    --i;
  }
  text.insert(i, 1, '1');
}

std::optional<int32_t> EscapeNumber(std::string_view text) {
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) break;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

std::string PlainInsertText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '[') {
      while (!out.empty() && EscapeMark(out.back())) out.pop_back();
    }
    out.push_back(c);
  }
  return out;
}

std::string TMacroLanguage::GetVal(const std::string& name) const {
  for (const auto& [n, v] : values_) {
    if (n == name) return v;
  }
  return "***";
}

void TMacroLanguage::SetVal(const std::string& name, const std::string& value) {
  for (auto& [n, v] : values_) {
    if (n == name) {
      v = value;
      return;
    }
  }
  values_.emplace_back(name, value);
}

void TMacroLanguage::ResetExpansionBound() {
  insertsUsed_ = 0;
}

void TMacroLanguage::ExpandAll(std::string& text) {
  ResetExpansionBound();
  // Ends: past the bound no escape adds an escape, and each call removes one.
  while (ExpandMacroEscape(text)) {
  }
}

void TMacroLanguage::RunMacro(int n) {
  if (n < 0 || n >= TMacroTable::kCount) return;
  // A pump pass is running below us on the stack (a box shown inside it): waiting for it
  // would never end, so the macro runs once this message is done.
  if (host_.PumpBusy()) {
    host_.RunMacroLater(n);
    return;
  }
  host_.HoldTyping();
  std::string text = macros_.Macro[static_cast<size_t>(n)];
  ExpandAll(text);
  if (!text.empty()) {
    host_.HoldTyping();
    host_.KeepCaretAfterSent();
    host_.InsertAtCaret(text);
  }
  host_.FocusInput();
}

bool TMacroLanguage::ExpandMacroEscape(std::string& text) {
  const size_t at = text.find("~[");
  if (at == std::string::npos) return false;
  std::string body;
  size_t i = at + 2;
  bool closed = false;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == ']') {
      closed = true;
      break;
    }
    if (c < 0x20 || body.size() == kMacroBodyLimit) break;
    body.push_back(static_cast<char>(c));
    ++i;
  }
  text.erase(at, i - at + (closed ? 1 : 0));
  // The count of inserting escapes holds for everything expanded while this message is
  // handled (a pump pass may expand one escape after another), and starts again after it.
  if (!resetPosted_) {
    resetPosted_ = true;
    host_.Later([this] {
      resetPosted_ = false;
      ResetExpansionBound();
    });
  }
  Perform(body, text, at);
  return true;
}

void TMacroLanguage::InsertOwn(std::string& text, size_t at, std::string_view insert) {
  if (insertsUsed_ >= kMacroInsertLimit) return;
  ++insertsUsed_;
  if (text.size() + insert.size() > kMacroTextLimit) return;
  text.insert(at, insert);
}

void TMacroLanguage::InsertPlain(std::string& text, size_t at, std::string_view insert) {
  std::string plain = PlainInsertText(insert);
  if (plain.empty() || text.size() + plain.size() > kMacroTextLimit) return;
  // Nor may it join the text around it: a "[" it starts with after a tilde of the text, or a
  // tilde it ends with before a "[" of the text.
  if (plain.front() == '[') {
    while (at > 0 && EscapeMark(text[at - 1])) text.erase(--at, 1);
  }
  if (at < text.size() && text[at] == '[') {
    while (!plain.empty() && EscapeMark(plain.back())) plain.pop_back();
  }
  text.insert(at, plain);
}

void TMacroLanguage::QueueEnd() {
  const int mode = host_.Mode();
  PostSymbol(mode == 20 || mode == 22 ? kTxBlockPad : kTxLtrs);
}

CivilTime TMacroLanguage::LocalTime() {
  const int64_t utc = clock_.UtcSeconds();
  return BreakDownSeconds(utc + clock_.LocalOffsetSeconds(utc));
}

CivilTime TMacroLanguage::UtcTime() {
  const int64_t utc = clock_.UtcSeconds();
  const int32_t offset = settings_.UTCoffset;
  if (offset == -1) return BreakDownSeconds(utc);
  return BreakDownSeconds(utc + clock_.LocalOffsetSeconds(utc) + int64_t{offset} * 60);
}

std::string TMacroLanguage::IniValue(const std::string& key) {
  const std::optional<std::string> file = ReadMacroFile(settings_.ExternIniFile, kMacroTextLimit);
  if (!file) return "***";
  const std::optional<std::string> v = IniFile::FromText(*file).Value(settings_.ExternIniSection, key);
  return v ? *v : "***";
}

void TMacroLanguage::IncrementField(MacroHost::QsoField field, const char* key, uint32_t code) {
  std::string value = host_.QsoFieldText(field);
  IncrementNumberText(value);
  host_.SetQsoFieldText(field, value);
  if (field == MacroHost::QsoField::kOther) {
    host_.OtherEditExit();
  } else {
    host_.ExportQsoField(key, value, code);
  }
}

void TMacroLanguage::Perform(const std::string& body, std::string& text, size_t at) {
  using F = MacroHost::QsoField;
  const std::string_view b = body;
  auto is = [&](std::string_view prefix) { return StartsWith(b, prefix); };
  auto arg = [&](size_t from) { return b.size() > from ? b.substr(from) : std::string_view{}; };
  auto tone = [&](size_t from) -> std::optional<double> {
    const std::optional<int32_t> hz = EscapeNumber(arg(from));
    if (hz && *hz > 350 && *hz < 3950) return *hz;
    return std::nullopt;
  };
  auto seconds = [&](size_t from) {
    const std::optional<int32_t> n = EscapeNumber(arg(from));
    return n ? *n : 0;
  };
  const bool fourthIsOne = b.size() > 3 && b[3] == '1';

  if (is("afr")) {
    host_.SetAfc(fourthIsOne);
  } else if (is("aft")) {
    host_.SetTxAfc(fourthIsOne);
  } else if (is("bon")) {
    host_.StartBeacon();
  } else if (is("bof")) {
    host_.StopBeacon();
  } else if (is("cl")) {
    host_.ClearInput();
    host_.Queue().Clear();
    host_.Tx().PausePoint = false;
    host_.Tx().EndQueued = false;  // an end that was queued is gone with the rest
  } else if (is("crx")) {
    host_.ClearRx();
  } else if (is("csn")) {
    host_.ClearSent();
  } else if (is("ce")) {
    host_.ClearQsoFields();
  } else if (is("cw")) {
    if (host_.Transmitting()) QueueEnd();
    host_.SetTxLineState(1);
    PostSymbol(kTxStopCarrier);
    if (!host_.Transmitting()) host_.SetTransmit(true);
    if (host_.Paused()) host_.SetPause(false);
    for (char c : arg(3)) SendMorseChar(host_.Queue(), static_cast<uint8_t>(c));
    if (b.size() > 2 && b[2] == 'r') {
      PostSymbol(kTxEnd);
      host_.Tx().EndQueued = true;
    } else {
      for (TxSymbol s : {kTxLineReset, kTxPreamble, kTxLtrs, kTxLtrs}) PostSymbol(s);
    }
  } else if (is("dl")) {
    InsertPlain(text, at, host_.ShortDate(LocalTime()));
  } else if (is("du")) {
    InsertPlain(text, at, host_.ShortDate(UtcTime()));
  } else if (is("ec") || is("esc")) {
    InsertPlain(text, at, host_.QsoFieldText(F::kCall));
  } else if (is("er") || is("esr")) {
    InsertPlain(text, at, host_.QsoFieldText(F::kRst));
  } else if (is("en") || is("esn")) {
    InsertPlain(text, at, host_.QsoFieldText(F::kName));
  } else if (is("eo") || is("eso")) {
    InsertPlain(text, at, host_.QsoFieldText(F::kOther));
  } else if (is("f")) {
    if (insertsUsed_ >= kMacroInsertLimit) return;
    const std::optional<std::string> file = ReadMacroFile(std::string(arg(1)));
    if (file) {
      InsertOwn(text, at, *file);
    } else {
      InsertPlain(text, at, "***");
    }
  } else if (is("i")) {
    InsertPlain(text, at, IniValue(std::string(arg(1))));
  } else if (is("j")) {
    InsertPlain(text, at, GetVal(std::string(arg(1))));
  } else if (is("lf")) {
    InsertPlain(text, at, "\r\n");
  } else if (is("ls")) {
    host_.LoggerCommand(128, 0);
  } else if (is("lts")) {
    host_.LoggerCommand(130, 0);
  } else if (is("lt")) {
    host_.LoggerCommand(132, 0);
  } else if (is("lc")) {
    host_.LoggerCommand(133, 0xFFFFFFE6u);
  } else if (is("m")) {
    const std::optional<int32_t> n = EscapeNumber(arg(1));
    if (n && *n >= 0 && *n < TMacroTable::kCount) InsertOwn(text, at, macros_.Macro[static_cast<size_t>(*n)]);
  } else if (is("nic")) {
    IncrementField(F::kCall, "Call", 4);
  } else if (is("nir")) {
    IncrementField(F::kRst, "RprtSent", 32);
  } else if (is("nin")) {
    IncrementField(F::kName, "Name", 128);
  } else if (is("nio")) {
    IncrementField(F::kOther, "", 0);
  } else if (is("pa")) {
    host_.Tx().PausePoint = true;
    PostSymbol(kTxPausePoint);
  } else if (is("rx")) {
    if (host_.Transmitting() && host_.Tx().TxEnding == 0 && !host_.Tx().EndQueued) {
      QueueEnd();
      PostSymbol(kTxEnd);
      host_.Tx().EndQueued = true;
      // A paused pump never reaches the end: the pause ends, what was queued still goes out.
      if (host_.Paused()) host_.SetPause(false);
    }
  } else if (is("rp")) {
    if (const int n = seconds(2); n > 0) host_.ReplayLastAudio(n);
  } else if (is("rf")) {
    if (const auto hz = tone(2)) host_.SetRxFrequency(*hz);
  } else if (is("svp")) {
    if (const int n = seconds(3); n > 0) host_.SaveLastAudio(n, true);
  } else if (is("sv")) {
    if (const int n = seconds(2); n > 0) host_.SaveLastAudio(n, false);
  } else if (is("tx")) {
    if (!host_.Transmitting()) host_.SetTransmit(true);
    if (host_.Paused()) host_.SetPause(false);
  } else if (is("tf")) {
    if (const auto hz = tone(2)) host_.SetTxFrequency(*hz);
  } else if (is("tl")) {
    const CivilTime t = LocalTime();
    InsertPlain(text, at, TwoDigits(t.hour, t.minute));
  } else if (is("tu")) {
    const CivilTime t = UtcTime();
    InsertPlain(text, at, TwoDigits(t.hour, t.minute));
  } else if (is("tn")) {
    const int mode = host_.Mode();
    if (mode == 12 || mode == 16) {
      for (int k = 0; k < 4; ++k) PostSymbol(kTxMfskTuneA);
      for (int k = 0; k < 2; ++k) PostSymbol(kTxMfskTuneB);
    } else {
      PostSymbol(kTxLtrs);
    }
  }
}

}  // namespace vestrel
