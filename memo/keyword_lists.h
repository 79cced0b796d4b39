#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "memo/byte_string.h"
#include "memo/draw_surface.h"
#include "memo/sm_support.h"
#include "memo/strings.h"

namespace vestrel {

class TStyledMemo;
class TStyledNavigator;

// How a keyword or a start/stop text matches.
using TWordOptions = uint8_t;
inline constexpr TWordOptions woMatchCase = 0x01;
inline constexpr TWordOptions woWholeWordsOnly = 0x02;
inline constexpr TWordOptions woFirstParWord = 0x04;
inline constexpr TWordOptions woFirstNonBlank = 0x08;
inline constexpr TWordOptions woStartPar = 0x10;

// What a keyword lays over its text.
struct TKeywordInfo {
  TWordOptions Options = 0;
  uint8_t Style = 0;  // font style bits, the highlight and alternate-font bits
  int32_t ContextNumber = 0;
  int16_t Cursor = 0;
  TColor Backgnd = 0x1FFFFFFF;  // clNone
  TColor Foregnd = 0x1FFFFFFF;
  bool operator==(const TKeywordInfo&) const = default;
};

struct TKeywordEntry {
  TKeywordInfo Info;
  TByteString Keyword;
  TByteString Compare;                // the keyword, upper-cased unless it matches case
  std::array<int32_t, 3> Streamed{};  // kept for the saved forms, not used here
};

// Attributes carry the index of what opened them in 16 bits, negative values meaning start/stop
// keys: a list holds at most this many entries.
inline constexpr int32_t kMaxKeyEntries = 32768;

// The words a memo colours by itself. The strings of the list are the keyword texts.
class TKeywordList : public TStrings {
 public:
  // Raises EStyledMemoError("Too many keywords") past kMaxKeyEntries.
  int32_t AddKeyWord(TByteView keyword, TWordOptions options, uint8_t style, int32_t contextNumber,
                     int16_t cursor, TColor backgnd, TColor foregnd);

  TByteString Get(int32_t index) override;
  int32_t GetCount() override { return static_cast<int32_t>(entries_.size()); }
  // A keyword with empty options and style, context 0 and no colours.
  void Insert(int32_t index, TByteView keyword) override;
  void Delete(int32_t index) override;
  void Clear() override;
  void Put(int32_t index, TByteView keyword) override;  // the text only

  const TKeywordInfo& KeyInfo(int32_t index) const;
  void setKeyInfo(int32_t index, const TKeywordInfo& info);  // clears the streamed integers
  const TKeywordEntry& Entry(int32_t index) const;
  const std::vector<TKeywordEntry>& KeyList() const { return entries_; }

  TpmUpperCase UpperCaseType() const { return upperCase_; }
  void setUpperCaseType(TpmUpperCase v);
  int CodePage() const { return codePage_; }
  void setCodePage(int cp);
  // Whether keywords also apply inside ranges of start/stop keys.
  bool ApplyInsideRanges = false;
  // Called after every refresh (the owning memo learns whether keywords are in use).
  std::function<void()> OnChange;

  int32_t MaxLength() const { return maxLength_; }
  // Bit 0: every keyword matches case; bits 2-3: some keyword wants woFirstParWord /
  // woFirstNonBlank.
  uint8_t Summary() const { return summary_; }

  void Assign(TStrings& source) override;

  // One line per keyword: keyword=Options,Style,Context,Cursor,Backgnd,Foregnd,s1,s2, (the two
  // streamed integers). Saving clears the target first. Loading clears the list, splits each
  // line at its last "=" (a keyword may hold one, the values never do), skips lines without
  // one, and raises EConvertError at a value that is no integer, keeping the lines before.
  void SaveToIniStrings(TStrings& strings);
  void LoadFromIniStrings(TStrings& strings);

 protected:
  void SetUpdateState(bool updating) override;

 private:
  void Changed();  // the refresh, unless an update is open
  void Refresh();
  std::vector<TKeywordEntry> entries_;
  TpmUpperCase upperCase_ = smuAscii;
  int codePage_ = 1252;
  int32_t maxLength_ = 0;
  uint8_t summary_ = 1;
};

// ---- start/stop keys ----
using TssOptions = uint8_t;
inline constexpr TssOptions ssoParStop = 0x01;      // the range also ends at the paragraph's end
inline constexpr TssOptions ssoDelStop = 0x02;      // stored only
inline constexpr TssOptions ssoCollapsible = 0x04;  // stored only

struct TStartStopKey {
  TWordOptions Options = 0;
  uint8_t Style = 0;
  int32_t Context = 0;
  int16_t Cursor = 0;
  TColor Backgnd = 0x1FFFFFFF;
  TColor Foregnd = 0x1FFFFFFF;
  TByteString Start, Stop;                // as given
  TByteString StartCompare, StopCompare;  // upper-cased unless woMatchCase
  std::array<int32_t, 2> Streamed{};
  uint8_t Level = 0;  // stored only
  TssOptions SsOptions = 0;
  // The first earlier key with the same start compare text and options, -1 none: the keys of
  // such a group continue one another's ranges.
  int32_t FirstSame = -1;
  // Whole-word tests wanted before and after the start text and the stop text (set by
  // TStartStopKeyList::Prepare from the memo's delimiters).
  bool TestStartBefore = false, TestStartAfter = false, TestStopBefore = false, TestStopAfter = false;
};

// Pairs of start and stop texts whose whole range takes an attribute.
class TStartStopKeyList {
 public:
  // Raises EStyledMemoError("Too many keys") past kMaxKeyEntries.
  int32_t AddStartStopKey(TByteView start, TByteView stop, TWordOptions options, uint8_t style,
                          int32_t context, int16_t cursor, TColor backgnd, TColor foregnd, bool parStop);
  void Clear();
  int32_t Count() const { return static_cast<int32_t>(keys_.size()); }
  const TStartStopKey& Key(int32_t index) const;  // ERangeError outside the list
  void setSsOptions(int32_t index, TssOptions v);

  TpmUpperCase UpperCaseType() const { return upperCase_; }
  void setUpperCaseType(TpmUpperCase v);
  void setCodePage(int cp);
  int32_t MaxStartLength() const { return maxStart_; }
  int32_t MaxStopLength() const { return maxStop_; }  // at least 2 when a key stops at the paragraph end
  uint8_t Summary() const { return summary_; }

  // Works out the whole-word tests for the memo's delimiters, when they or the keys changed.
  void Prepare(const TDelimiters& delimiters);
  void Invalidate() { prepared_ = false; }

  // One line per key: start|stop=Options,Style,Context,Cursor,Backgnd,Foregnd,TssOptions,s1,s2,
  // Saving clears the target first and raises EStyledMemoError naming the key when a start
  // text holds "|", which loading could not tell apart. Loading clears the list, splits at the
  // last "=" and the key at its first "|" (none: all start text), reads seven integers and
  // takes bit 0 of the seventh as ParStop.
  void SaveToIniStrings(TStrings& strings) const;
  void LoadFromIniStrings(TStrings& strings);

 private:
  void Refresh();
  std::vector<TStartStopKey> keys_;
  TpmUpperCase upperCase_ = smuAscii;
  int codePage_ = 1252;
  int32_t maxStart_ = 0, maxStop_ = 0;
  uint8_t summary_ = 1;
  bool prepared_ = false;
};

// A component that does a memo's highlighting itself, through hooks that do nothing here. The
// memos that use it are listed; destroying either side leaves nothing pointing at it.
class TStyledHighlighter {
 public:
  TStyledHighlighter() = default;
  TStyledHighlighter(const TStyledHighlighter&) = delete;
  TStyledHighlighter& operator=(const TStyledHighlighter&) = delete;
  virtual ~TStyledHighlighter();

  virtual void ApplyKeywordsList(TStyledMemo& memo, TStyledNavigator& start, TStyledNavigator& stop,
                                 int32_t keywordCount);
  virtual int32_t FindStart(TStyledMemo& memo, TStyledNavigator& start, TStyledNavigator& stop,
                            int32_t count);
  virtual int32_t FindStop(TStyledMemo& memo, TStyledNavigator& start, TStyledNavigator& stop, int32_t count);
  virtual void Notify(TStyledMemo& sender, uint32_t events);
  virtual void FixRange(TStyledMemo& memo, int32_t& start, int32_t& stop, int32_t count, int32_t extra);

  const std::vector<TStyledMemo*>& Memos() const { return memos_; }

 private:
  friend class TStyledMemo;
  std::vector<TStyledMemo*> memos_;
};

// Reads a whole text as an int32 the way the saved forms write them: decimal with an optional
// sign, or hexadecimal behind "$" or "0x"; EConvertError otherwise.
int32_t StrToInt(TByteView text);

}  // namespace vestrel
