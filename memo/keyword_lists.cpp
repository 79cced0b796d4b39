#include "memo/keyword_lists.h"

#include <algorithm>
#include <string>

#include "memo/memo_errors.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

TByteString UpperCased(TByteView s, TpmUpperCase type, int codePage) {
  TByteString out(s);
  for (unsigned char& c : out) c = smUpperCase(type, c, codePage);
  return out;
}

void AppendInt(TByteString& s, int64_t v) {
  s.append(ToBytes(std::to_string(v)));
  s.push_back(',');
}

// The integers of an ini value, each up to the next ",": want of them at least.
std::vector<int32_t> ReadInts(TByteView values, size_t want) {
  std::vector<int32_t> out;
  while (out.size() < want) {
    const size_t comma = std::min(values.find(','), values.size());
    out.push_back(StrToInt(values.substr(0, comma)));
    values = comma < values.size() ? values.substr(comma + 1) : TByteView();
  }
  return out;
}

// An ini line split at its last "=": false for a line without one.
bool SplitIniLine(TByteView line, TByteView& key, TByteView& values) {
  const size_t eq = line.rfind('=');
  if (eq == TByteView::npos) return false;
  key = line.substr(0, eq);
  values = line.substr(eq + 1);
  return true;
}

// Replaces what the list holds by the lines, in one update.
void WriteLines(TStrings& strings, const std::vector<TByteString>& lines) {
  strings.BeginUpdate();
  try {
    strings.Clear();
    for (const TByteString& line : lines) strings.Add(line);
  } catch (...) {
    strings.EndUpdate();
    throw;
  }
  strings.EndUpdate();
}

}  // namespace

int32_t StrToInt(TByteView text) {
  const std::string s = ToChars(TByteString(text));
  auto fail = [&]() -> int32_t { throw EConvertError(s); };
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return fail();
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return fail();
    v = v * base + d;
    if (v > 0xFFFFFFFFll) return fail();
  }
  if (negative) v = -v;
  // Hexadecimal covers the whole 32 bits (colours such as $FF000000).
  if (base == 16 && !negative && v > INT32_MAX) v -= int64_t{1} << 32;
  if (v < INT32_MIN || v > INT32_MAX) return fail();
  return static_cast<int32_t>(v);
}

// ---- TKeywordList ----

int32_t TKeywordList::AddKeyWord(TByteView keyword, TWordOptions options, uint8_t style,
                                 int32_t contextNumber, int16_t cursor, TColor backgnd, TColor foregnd) {
  if (GetCount() >= kMaxKeyEntries) throw EStyledMemoError("Too many keywords");
  TKeywordEntry e;
  e.Keyword.assign(keyword);
  e.Info = {options, style, contextNumber, cursor, backgnd, foregnd};
  entries_.push_back(std::move(e));
  Changed();
  return GetCount() - 1;
}

TByteString TKeywordList::Get(int32_t index) {
  return Entry(index).Keyword;
}

const TKeywordEntry& TKeywordList::Entry(int32_t index) const {
  if (index < 0 || index >= static_cast<int32_t>(entries_.size())) throw ERangeError();
  return entries_[static_cast<size_t>(index)];
}

const TKeywordInfo& TKeywordList::KeyInfo(int32_t index) const {
  return Entry(index).Info;
}

void TKeywordList::setKeyInfo(int32_t index, const TKeywordInfo& info) {
  Entry(index);
  TKeywordEntry& e = entries_[static_cast<size_t>(index)];
  e.Info = info;
  e.Streamed = {};
  Changed();
}

void TKeywordList::Insert(int32_t index, TByteView keyword) {
  if (index < 0 || index > GetCount()) throw ERangeError();
  if (GetCount() >= kMaxKeyEntries) throw EStyledMemoError("Too many keywords");
  TKeywordEntry e;
  e.Keyword.assign(keyword);
  entries_.insert(entries_.begin() + index, std::move(e));
  Changed();
}

void TKeywordList::Delete(int32_t index) {
  Entry(index);
  entries_.erase(entries_.begin() + index);
  Changed();
}

void TKeywordList::Clear() {
  entries_.clear();
  Changed();
}

void TKeywordList::Put(int32_t index, TByteView keyword) {
  Entry(index);
  entries_[static_cast<size_t>(index)].Keyword.assign(keyword);
  Changed();
}

void TKeywordList::setUpperCaseType(TpmUpperCase v) {
  upperCase_ = v;
  Changed();
}

void TKeywordList::setCodePage(int cp) {
  if (cp == codePage_) return;
  codePage_ = cp;
  Changed();
}

void TKeywordList::Assign(TStrings& source) {
  if (&source == this) return;
  if (auto* other = dynamic_cast<TKeywordList*>(&source)) {
    entries_ = other->entries_;
    Changed();
    return;
  }
  TStrings::Assign(source);
}

void TKeywordList::SetUpdateState(bool updating) {
  if (!updating) Refresh();
}

void TKeywordList::Changed() {
  if (UpdateCount() == 0) Refresh();
}

void TKeywordList::Refresh() {
  maxLength_ = 0;
  summary_ = 1;
  for (TKeywordEntry& e : entries_) {
    maxLength_ = std::max(maxLength_, static_cast<int32_t>(e.Keyword.size()));
    e.Compare = e.Info.Options & woMatchCase ? e.Keyword : UpperCased(e.Keyword, upperCase_, codePage_);
    if (!(e.Info.Options & woMatchCase)) summary_ &= static_cast<uint8_t>(~1);
    summary_ |= e.Info.Options & (woFirstParWord | woFirstNonBlank);
  }
  if (OnChange) OnChange();
}

void TKeywordList::SaveToIniStrings(TStrings& strings) {
  std::vector<TByteString> lines;
  for (const TKeywordEntry& e : entries_) {
    TByteString line = e.Keyword;
    line.push_back('=');
    AppendInt(line, e.Info.Options);
    AppendInt(line, e.Info.Style);
    AppendInt(line, e.Info.ContextNumber);
    AppendInt(line, e.Info.Cursor);
    AppendInt(line, e.Info.Backgnd);
    AppendInt(line, e.Info.Foregnd);
    AppendInt(line, e.Streamed[0]);
    AppendInt(line, e.Streamed[1]);
    lines.push_back(std::move(line));
  }
  WriteLines(strings, lines);
}

void TKeywordList::LoadFromIniStrings(TStrings& strings) {
  BeginUpdate();
  try {
    Clear();
    const int32_t n = strings.GetCount();
    for (int32_t i = 0; i < n; ++i) {
      const TByteString line = strings.Get(i);
      TByteView key, values;
      if (!SplitIniLine(line, key, values)) continue;
      const std::vector<int32_t> v = ReadInts(values, 6);
      AddKeyWord(key, static_cast<TWordOptions>(v[0]), static_cast<uint8_t>(v[1]), v[2],
                 static_cast<int16_t>(v[3]), v[4], v[5]);
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---- TStartStopKeyList ----

int32_t TStartStopKeyList::AddStartStopKey(TByteView start, TByteView stop, TWordOptions options,
                                           uint8_t style, int32_t context, int16_t cursor, TColor backgnd,
                                           TColor foregnd, bool parStop) {
  if (Count() >= kMaxKeyEntries) throw EStyledMemoError("Too many keys");
  TStartStopKey k;
  k.Start.assign(start);
  k.Stop.assign(stop);
  k.Options = options;
  k.Style = style;
  k.Context = context;
  k.Cursor = cursor;
  k.Backgnd = backgnd;
  k.Foregnd = foregnd;
  k.SsOptions = parStop ? ssoParStop : 0;
  keys_.push_back(std::move(k));
  Refresh();
  return Count() - 1;
}

void TStartStopKeyList::Clear() {
  keys_.clear();
  keys_.shrink_to_fit();
  Refresh();
}

const TStartStopKey& TStartStopKeyList::Key(int32_t index) const {
  if (index < 0 || index >= Count()) throw ERangeError();
  return keys_[static_cast<size_t>(index)];
}

void TStartStopKeyList::setSsOptions(int32_t index, TssOptions v) {
  Key(index);
  keys_[static_cast<size_t>(index)].SsOptions = v;
  Refresh();
}

void TStartStopKeyList::setUpperCaseType(TpmUpperCase v) {
  upperCase_ = v;
  Refresh();
}

void TStartStopKeyList::setCodePage(int cp) {
  if (cp == codePage_) return;
  codePage_ = cp;
  Refresh();
}

void TStartStopKeyList::Refresh() {
  maxStart_ = maxStop_ = 0;
  summary_ = 1;
  bool parStop = false;
  for (size_t i = 0; i < keys_.size(); ++i) {
    TStartStopKey& k = keys_[i];
    const bool exact = k.Options & woMatchCase;
    k.StartCompare = exact ? k.Start : UpperCased(k.Start, upperCase_, codePage_);
    k.StopCompare = exact ? k.Stop : UpperCased(k.Stop, upperCase_, codePage_);
    maxStart_ = std::max(maxStart_, static_cast<int32_t>(k.Start.size()));
    maxStop_ = std::max(maxStop_, static_cast<int32_t>(k.Stop.size()));
    parStop |= (k.SsOptions & ssoParStop) != 0;
    if (!exact) summary_ &= static_cast<uint8_t>(~1);
    summary_ |= k.Options & (woFirstParWord | woFirstNonBlank);
    k.FirstSame = -1;
    for (size_t j = 0; j < i; ++j) {
      if (keys_[j].StartCompare == k.StartCompare && keys_[j].Options == k.Options) {
        k.FirstSame = static_cast<int32_t>(j);
        break;
      }
    }
  }
  if (parStop) maxStop_ = std::max(maxStop_, 2);
  prepared_ = false;
}

void TStartStopKeyList::Prepare(const TDelimiters& delimiters) {
  if (prepared_) return;
  for (TStartStopKey& k : keys_) {
    const bool whole = k.Options & woWholeWordsOnly;
    auto test = [&](const TByteString& s, bool front) {
      return whole && !s.empty() && !delimiters.test(front ? s.front() : s.back());
    };
    k.TestStartBefore = test(k.Start, true);
    k.TestStartAfter = test(k.Start, false);
    k.TestStopBefore = test(k.Stop, true);
    k.TestStopAfter = test(k.Stop, false);
  }
  prepared_ = true;
}

void TStartStopKeyList::SaveToIniStrings(TStrings& strings) const {
  for (const TStartStopKey& k : keys_) {
    if (k.Start.find('|') != TByteString::npos)
      throw EStyledMemoError("Start text holds \"|\": " + ToChars(k.Start));
  }
  std::vector<TByteString> lines;
  for (const TStartStopKey& k : keys_) {
    TByteString line = k.Start;
    line.push_back('|');
    line.append(k.Stop);
    line.push_back('=');
    AppendInt(line, k.Options);
    AppendInt(line, k.Style);
    AppendInt(line, k.Context);
    AppendInt(line, k.Cursor);
    AppendInt(line, k.Backgnd);
    AppendInt(line, k.Foregnd);
    AppendInt(line, k.SsOptions);
    AppendInt(line, k.Streamed[0]);
    AppendInt(line, k.Streamed[1]);
    lines.push_back(std::move(line));
  }
  WriteLines(strings, lines);
}

void TStartStopKeyList::LoadFromIniStrings(TStrings& strings) {
  Clear();
  const int32_t n = strings.GetCount();
  for (int32_t i = 0; i < n; ++i) {
    const TByteString line = strings.Get(i);
    TByteView key, values;
    if (!SplitIniLine(line, key, values)) continue;
    const size_t bar = key.find('|');
    const TByteView start = key.substr(0, std::min(bar, key.size()));
    const TByteView stop = bar == TByteView::npos ? TByteView() : key.substr(bar + 1);
    const std::vector<int32_t> v = ReadInts(values, 7);
    const int32_t at =
        AddStartStopKey(start, stop, static_cast<TWordOptions>(v[0]), static_cast<uint8_t>(v[1]), v[2],
                        static_cast<int16_t>(v[3]), v[4], v[5], v[6] & 1);
    keys_[static_cast<size_t>(at)].SsOptions = static_cast<TssOptions>(v[6]);
  }
  Refresh();
}

// ---- TStyledHighlighter ----

TStyledHighlighter::~TStyledHighlighter() {
  // Each memo lets go of this highlighter; it leaves the list as it does.
  while (!memos_.empty()) memos_.back()->setHighlighter(nullptr);
}

void TStyledHighlighter::ApplyKeywordsList(TStyledMemo&, TStyledNavigator&, TStyledNavigator&, int32_t) {}
int32_t TStyledHighlighter::FindStart(TStyledMemo&, TStyledNavigator&, TStyledNavigator&, int32_t) {
  return 0;
}
int32_t TStyledHighlighter::FindStop(TStyledMemo&, TStyledNavigator&, TStyledNavigator&, int32_t) {
  return 0;
}
void TStyledHighlighter::Notify(TStyledMemo&, uint32_t) {}
void TStyledHighlighter::FixRange(TStyledMemo&, int32_t&, int32_t&, int32_t, int32_t) {}

}  // namespace vestrel
