#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vestrel {

class TStyledMemo;

// Colours a range of the receive window as a caught callsign: the colour as text colour, the
// background left as it is. The window implements it over the memo's dynamic styles.
class CallHighlighter {
 public:
  virtual void HighlightRange(int32_t start, int32_t stop, int32_t colour) = 0;

 protected:
  ~CallHighlighter() = default;
};

// The callsign catcher: picks words shaped like amateur callsigns out of the received
// characters, remembers where the last one starts in the receive window, colours calls there
// and tells a new call from a repeat. Characters and case are ASCII on unsigned bytes: letters
// are A-Z (a-z upper-cased), a byte from 0x80 up is an "other" character. GUI thread only.
class TCallFind {
 public:
  static constexpr int kMaxStored = 13;  // later characters of a longer word are ignored
  static constexpr int kMinCall = 3, kMaxCall = 11;
  static constexpr int kSearchBack = 1000;  // how far back FindLastMatch looks
  static constexpr int32_t kNoBackground = 0x1FFFFFFF;

  TCallFind(TStyledMemo& memo, CallHighlighter& highlighter) : memo_(memo), highlighter_(highlighter) {}

  // 0 nothing; 1 a call was accepted that differs from the previous one, or whose word ended
  // while transmitting (the previous call is then left alone); 2 the previous call again.
  // transmitting: TxState, or the character is the echo of our own transmission.
  int FeedChar(uint8_t ch, bool transmitting);
  // Colours `call` where it stands in the receive window: at the current call's place when it
  // is that call and still there, else its newest place among the last 1000 characters.
  void Highlight(std::string_view call, int32_t colour);
  // The newest place of `call` (3..11 characters, any case) that starts within the last 1000
  // characters of the window; -1 when there is none.
  int32_t FindLastMatch(std::string_view call);

  const std::string& CurrentCall() const { return currentCall_; }
  const std::string& PreviousCall() const { return previousCall_; }
  // The window's character count when the current call's first character arrived (that
  // character stands at CallPosition() - 1); -1 before any call.
  int32_t CallPosition() const { return callPosition_; }
  // The current call's word ended while transmitting: it was our own text.
  bool CallDuringTx() const { return callDuringTx_; }
  bool NewCall = false;  // set on acceptance, cleared by the sink after handling it

 private:
  bool Accepted() const;
  void ClearWord();

  TStyledMemo& memo_;
  CallHighlighter& highlighter_;
  std::array<char, kMaxStored> word_{};
  int wordLength_ = 0;
  int digits_ = 0, lettersAndSlashes_ = 0, slashes_ = 0, others_ = 0, letters_ = 0;
  int32_t wordStart_ = 0;
  bool wordDuringTx_ = false;
  std::string previousCall_;
  std::string currentCall_;
  int32_t callPosition_ = -1;
  bool callDuringTx_ = false;
};

// The own-call watch: notices the operator's call sign in the received characters while the
// beacon runs, also inside a longer word. GUI thread only.
class TMyCallFind {
 public:
  static constexpr int kMaxPattern = 15;

  // True when `ch` completes the own call and the watch is armed (beacon on and
  // BeaconOffAtMyCall on). While transmitting nothing is stored and the result is false.
  bool FeedChar(uint8_t ch, bool transmitting, bool armed);
  // Forgets the characters received so far (at the start of a transmission).
  void Reset();
  // The first 15 characters of the call, upper-cased; empty: the watch never fires.
  void SetPattern(std::string_view call);
  std::string_view Pattern() const;

 private:
  // The last 16 characters received, upper-cased, and where the next one goes.
  std::array<uint8_t, 16> ring_{};
  uint32_t index_ = 0;
  // Right-aligned, so a zero byte always stands before the pattern.
  std::array<uint8_t, kMaxPattern + 2> pattern_{};
};

// ASCII upper case of a byte; bytes from 0x80 up are left as they are.
constexpr uint8_t AsciiUpper(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c; }
bool EqualAsciiNoCase(std::string_view a, std::string_view b);

}  // namespace vestrel
