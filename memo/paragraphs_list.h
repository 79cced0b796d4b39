#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "memo/byte_string.h"
#include "memo/dyn_info.h"
#include "platform/wait_clock.h"

namespace vestrel {

class TStream;

// Milliseconds of the clock, or of the steady clock for nil.
uint64_t NowMs(WaitClock* clock);

// TParStates bits.
inline constexpr uint8_t smpHasExtra = 0x01;
inline constexpr uint8_t smpOwnTextBuffer = 0x02;
inline constexpr uint8_t smpFormatted = 0x04;
inline constexpr uint8_t smpSSDone = 0x08;
inline constexpr uint8_t smpKeywDone = 0x10;
inline constexpr uint8_t smpParseAll = 0x20;
inline constexpr uint8_t smpNoWrap = 0x40;
inline constexpr uint8_t smpHidden = 0x80;

// TBlockStates bits: the nesting level 0..31 in bits 0-4.
inline constexpr uint8_t smbLevelMask = 0x1F;
inline constexpr uint8_t smbCollapsed = 0x20;  // the level-1 block is collapsed
inline constexpr uint8_t smbEndBlock = 0x40;
inline constexpr uint8_t smbStartBlock = 0x80;
inline constexpr int kMaxBlockLevel = 31;

inline constexpr int32_t clNone = 0x1FFFFFFF;

// Paragraph breaks of a stream. pb* are the memo's names for the same values.
enum TStyledLineBreak : uint8_t {
  psbCRLF = 0,
  psbLFCR = 1,
  psbCR = 2,
  psbLF = 3,
  pbCRLF = psbCRLF,
  pbLFCR = psbLFCR,
  pbCR = psbCR,
  pbLF = psbLF,
};

// One display line of a paragraph; offsets are inside the paragraph.
struct LineInfo {
  int32_t Start = 0;
  int32_t Stop = 0;       // after the last character, trailing blanks included
  int32_t Width = 0;      // pixels without the blanks at which the line was broken
  int32_t FullWidth = 0;  // pixels including them
  int32_t Reserved = 0;
  int32_t BlankCount = 0;   // blanks that justification stretches
  int32_t JustifyFrom = 0;  // offset of the last tab, or Start; Stop on a paragraph's last line
  uint8_t StartStyle = 0;   // static style state at Start
  int32_t StartDyn = 0;     // dynamic attributes of the paragraph that begin before Start
};

// What a paragraph holds beyond its text and lines; made on demand.
struct ParExtraInfo {
  int32_t Foreground = -1;  // -1 = the memo's colours
  int32_t Background = -1;
  TDynRef StartDyn;              // attribute in effect at the paragraph start
  std::vector<DynInfoRec> Dyns;  // attributes starting inside the paragraph, ascending Start
  uint32_t CollapsedLevels = 0;  // bit L-2: the block of level L (2..33) is collapsed
  uint8_t BlockStartDelta = 0;
  uint8_t BlockEndDelta = 0;
};

// One paragraph. The text holds the inline style codes; the break after it is not stored.
struct ParInfo {
  TByteString Text;
  int32_t StartOffset = 0;
  int32_t FirstLine = 0;  // visible line number of its first line (hidden: the line that follows)
  uint8_t States = 0;
  uint8_t Blocks = 0;
  LineInfo Line0;               // display line 0
  std::vector<LineInfo> Lines;  // display lines 1..n-1
  std::unique_ptr<ParExtraInfo> Extra;
  // Inside a collapsed run of a collapsible attribute (smpHidden also covers collapsed blocks).
  bool DynHidden = false;

  int32_t Length() const { return static_cast<int32_t>(Text.size()); }
};

// Record accessors: answer for a paragraph without extras as the compact record would.
inline int32_t GetParLength(const ParInfo& p) {
  return p.Length();
}
inline int32_t GetLineCount(const ParInfo& p) {
  return static_cast<int32_t>(p.Lines.size()) + 1;
}
inline int32_t GetFirstLine(const ParInfo& p) {
  return p.FirstLine;
}
inline void SetFirstLine(ParInfo& p, int32_t v) {
  p.FirstLine = v;
}
LineInfo& GetLine(ParInfo& p, int32_t i);  // ERangeError outside 0..count-1
const LineInfo& GetLine(const ParInfo& p, int32_t i);
ParExtraInfo& SetParExtras(ParInfo& p);  // the extra block, made when missing
int32_t GetDynCount(const ParInfo& p);
void SetDynCount(ParInfo& p, int32_t n);  // cuts, or adds empty attributes at the paragraph end
const std::vector<DynInfoRec>& GetDynArray(const ParInfo& p);
void SetParDyns(ParInfo& p, std::vector<DynInfoRec> dyns);
const DynInfoRec& GetStartDynAttrib(const ParInfo& p);
TDynRef GetStartDynRef(const ParInfo& p);
// Shares rec (Copy false) or gives the paragraph its own copy; an inactive record becomes
// the shared empty one.
void SetStartDynAttrib(ParInfo& p, const TDynRef& rec, bool copy);
uint8_t GetStartAttrib(const ParInfo& p);  // static style at the paragraph start
void SetStartAttrib(ParInfo& p, uint8_t style);
int32_t smsGetParBackgnd(const ParInfo& p);
void smsSetParBackgnd(ParInfo& p, int32_t c);
int32_t smsGetParForegnd(const ParInfo& p);
void smsSetParForegnd(ParInfo& p, int32_t c);
int smsGetParLevel(const ParInfo& p);
bool smsGetParCollapsed(const ParInfo& p, int level);
int smsGetParBlockStartLevel(const ParInfo& p);
int smsGetParBlockEndLevel(const ParInfo& p);
// Whether the paragraph needs more than the compact 18-byte record (smpHasExtra).
bool ParNeedsExtra(const ParInfo& p);
// Every paragraph owns its text here; the state bit still tells an edited paragraph from a
// loaded one.
inline void MakeOwnTextBuffer(ParInfo& p) {
  p.States |= smpOwnTextBuffer;
}

// The paragraph store of a memo: at least one paragraph once loaded or constructed.
class TParagraphsList {
 public:
  using TProgressEvent = std::function<void(TParagraphsList&)>;

  TParagraphsList();  // one empty paragraph of one line

  int32_t Count() const { return static_cast<int32_t>(pars_.size()); }
  ParInfo& getParPointers(int32_t i);  // ERangeError outside 0..Count-1
  const ParInfo& getParPointers(int32_t i) const;
  ParInfo& operator[](int32_t i) { return getParPointers(i); }
  const ParInfo& operator[](int32_t i) const { return getParPointers(i); }

  // The paragraph holding absolute offset pos (clamped): the last one starting at or before it.
  int32_t ParFromOffset(int32_t pos) const;

  void LoadFromStream(TStream& stream, unsigned char nullChar, bool trimTrailing, TStyledLineBreak& lineBreak,
                      const TProgressEvent& progress = {}, uint32_t progressInterval = 300);
  void SaveToStream(TStream& stream, bool collapseCodes, bool trimTrailing, TStyledLineBreak lineBreak,
                    const TProgressEvent& progress = {}, uint32_t progressInterval = 300) const;

  struct TInsertResult {
    int32_t CharsDelta = 0;
    int32_t LinesDelta = 0;  // change of TotalLineCount
    int32_t ParsDelta = 0;   // change of Count
    bool StylesChanged = false;
    int32_t StartPos = 0;  // the edit's start (moved back over blanks when trimming)
    int32_t StopPos = 0;   // just after the inserted text
    int32_t StopPar = 0;
  };
  // Replaces the text between two absolute offsets (clamped, either order; an offset between
  // CR and LF counts as the paragraph end) by buf, which ends at its first NUL. CR, LF,
  // CR LF and LF CR in buf are paragraph breaks.
  TInsertResult InsertBuf(TByteView buf, int32_t startPos, int32_t stopPos, bool trimTrailing,
                          bool insertCodes);

  void UpdateOffsets(int32_t from, int32_t delta);
  void UpdateLines(int32_t from, int32_t delta);
  void UpdateOffsetsLines(int32_t from, int32_t offsetDelta, int32_t lineDelta);
  void ExtendMods(int32_t firstPar, int32_t lineInPar, int32_t lastPar);
  void MarkUnformatted();
  void CleanUp();  // no paragraph at all: for a load or the memo's end

  // Collapsible paragraph blocks.
  bool CollapseExpandBlock(int32_t par, int level, bool collapse);
  bool CollapseExpandPar(int32_t par, int fromLevel, int toLevel, bool collapse);
  bool MakeCollapsibleBlock(int32_t first, int32_t last);
  bool RemoveCollapsibleBlock(int32_t par);
  void ExpandAllLevels(int32_t par);
  // Hides the paragraphs first..last that a collapsed block or attribute run holds and shows
  // the others; their lines are numbered anew and the totals take the change.
  void RelayLines(int32_t first, int32_t last);
  // Paragraphs first..last wait for their layout: the pending range takes them in.
  void MarkPending(int32_t first, int32_t last);

  // The first breach of the store's invariants as the memo reports it ("Error 2 in "),
  // empty when there is none.
  std::string IntegrityFault() const;

  bool StaticFormat = false;
  bool TextChanged = false;
  int32_t CharCount = 0;
  int32_t TotalLineCount = 0;
  int32_t VisibleLineCount = 0;
  int32_t FirstModLine = 0;
  int32_t FirstModPar = 0;
  int32_t LastModPar = -1;
  int32_t ModLineDelta = 0;
  int32_t ParsedUpTo = -1;
  int32_t FirstUnformatted = 0;
  int32_t LastUnformatted = -1;
  // The last edit stayed inside one paragraph and shifted its lines in place, none lost, with
  // the text after it in the style it had: the line breaker may then stop where its new
  // breaks meet the old ones.
  bool LinesShifted = false;

  // Where the progress of a load or save reads the time; nil: the steady clock.
  WaitClock* Clock = nullptr;

  // Largest text in characters, breaks counted 2 (so that every offset fits int32).
  int64_t MaxTextLength = 0x7FFFFFF0;
  // Largest load a memo takes, in paragraphs and in bytes: a paragraph's record costs about
  // 130 bytes beside its text, so a stream of line breaks would cost 130 times its size.
  int64_t MaxLoadParagraphs = int64_t{1} << 20;
  int64_t MaxLoadBytes = int64_t{64} << 20;
  // Reads the rest of the stream as LoadFromStream would take it and raises EStreamError when
  // it passes either bound, before anything is allocated for it; the stream is put back where
  // it was.
  void CheckLoadBounds(TStream& stream, unsigned char nullChar) const;

 private:
  void ResetBookkeeping();
  void SetBlockDeltas(ParInfo& p, int startDelta, int endDelta);
  void SetCollapsedBit(ParInfo& p, int level, bool on);
  uint32_t CollapsedMask(const ParInfo& p) const;  // bit L-1 = level L collapsed
  void SetCollapsedMask(ParInfo& p, uint32_t mask);
  int32_t BlockHead(int32_t par, int level) const;
  int32_t BlockLast(int32_t par, int level) const;

  std::vector<std::unique_ptr<ParInfo>> pars_;  // records keep their address while the list changes
};

}  // namespace vestrel
