#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "memo/byte_string.h"
#include "memo/code_pages.h"
#include "memo/keyword_lists.h"
#include "memo/memo_clipboard.h"
#include "memo/memo_keys.h"
#include "memo/memo_messages.h"
#include "memo/memo_window.h"
#include "memo/paragraphs_list.h"
#include "memo/sm_support.h"
#include "memo/styled_navigator.h"
#include "memo/undo_list.h"

namespace vestrel {

class TStream;
class TStyledMemo;
class TStyledParaStrings;
class TStyledLinesStrings;
class TpmFormatThread;

// A font as the memo describes it; the window makes the real one.
struct TMemoFont {
  std::string Name = "Arial";
  int32_t Charset = 1;   // 204 Russian: code page 1251; anything else 1252
  int32_t Height = -11;  // negative: pixels of the glyphs; positive: of the cell
  uint8_t Style = 0;     // bits 0-3 bold, italic, underline, strike-out
  TColor Color = clWindowText;
  bool operator==(const TMemoFont&) const = default;
};

enum TBorderStyle : uint8_t { bsNone = 0, bsSingle = 1 };
enum TScrollStyle : uint8_t { ssNone = 0, ssHorizontal = 1, ssVertical = 2, ssBoth = 3 };
enum TpmUpdateMode : uint8_t { umImmediate = 0, umOnNeed = 1, umBackground = 2 };

// TpmNonPrintChars
inline constexpr uint8_t smNPSpace = 0x01;
inline constexpr uint8_t smNPTab = 0x02;
inline constexpr uint8_t smNPReturn = 0x04;

// TStyledMemoOptions: bits 0..22, kept in 3 bytes.
using TStyledMemoOptions = uint32_t;
inline constexpr TStyledMemoOptions smoKeepColumnPos = 1u << 0;
inline constexpr TStyledMemoOptions smoPutExtraSpaces = 1u << 1;
inline constexpr TStyledMemoOptions smoWrapCaret = 1u << 2;
inline constexpr TStyledMemoOptions smoInsertKeyActive = 1u << 3;
inline constexpr TStyledMemoOptions smoWideOverwriteCaret = 1u << 4;
inline constexpr TStyledMemoOptions smoLargeWordSelect = 1u << 5;
inline constexpr TStyledMemoOptions smoAutoScrollBars = 1u << 6;
inline constexpr TStyledMemoOptions smoNoDragnDrop = 1u << 7;
inline constexpr TStyledMemoOptions smoAutoIndent = 1u << 8;
inline constexpr TStyledMemoOptions smoBackIndent = 1u << 9;
inline constexpr TStyledMemoOptions smoWindowsSelColors = 1u << 10;
inline constexpr TStyledMemoOptions smoFullLineSelect = 1u << 11;
inline constexpr TStyledMemoOptions smoDiscardTrailingSpaces = 1u << 12;
inline constexpr TStyledMemoOptions smoNoFineScroll = 1u << 13;
inline constexpr TStyledMemoOptions smoNoLineSelection = 1u << 14;
inline constexpr TStyledMemoOptions smoNoDefaultPopup = 1u << 15;
inline constexpr TStyledMemoOptions smoBlockSelection = 1u << 16;
inline constexpr TStyledMemoOptions smoAutoLineBreak = 1u << 17;
inline constexpr TStyledMemoOptions smoPlainClipboard = 1u << 18;
inline constexpr TStyledMemoOptions smoPersistentBlocks = 1u << 19;
inline constexpr TStyledMemoOptions smoNoOverwriteBlocks = 1u << 20;
inline constexpr TStyledMemoOptions smoSmartTabs = 1u << 21;
inline constexpr TStyledMemoOptions smoKeepParBackgnd = 1u << 22;
inline constexpr TStyledMemoOptions kOptionsMask = (1u << 23) - 1;

// TpmEvents: what a notification reports.
using TpmEvents = uint32_t;
inline constexpr TpmEvents smeChange = 1;
inline constexpr TpmEvents smeSelMove = 2;
inline constexpr TpmEvents smeStyleChange = 4;
inline constexpr TpmEvents smeContext = 8;
inline constexpr TpmEvents smeRightContext = 16;
inline constexpr TpmEvents smeMessage = 32;
inline constexpr TpmEvents smeAfterMessage = 64;
inline constexpr TpmEvents smeVScroll = 128;
inline constexpr TpmEvents smeHScroll = 256;
inline constexpr TpmEvents smeFontChanged = 512;
inline constexpr TpmEvents smeBeforeChange = 1024;

// A listener of a memo's notifications or messages. A message listener reads and may answer
// the message in hand (TStyledMemo::CurrentMessage); it may remove itself, or destroy the memo,
// while it is notified.
class IpmsNotify {
 public:
  virtual void Notify(TStyledMemo& sender, TpmEvents events) = 0;

 protected:
  ~IpmsNotify() = default;
};

// A component that draws the marks of collapsible blocks beside a memo's lines. A memo tells
// its handler when it attaches and detaches; a handler that goes away first must set the
// CollapseHandler of each memo it is attached to back to nil.
class IpmCollapseHandler {
 public:
  virtual void AttachMemo(TStyledMemo& memo, bool attach) = 0;
  // Draws into the line image of display line `line` (of paragraph `par`), which is h pixels
  // high; left is the view's horizontal origin.
  virtual void DrawLine(TStyledMemo& memo, DrawSurface& dc, int32_t line, int32_t par, int32_t h,
                        int32_t left) = 0;

 protected:
  ~IpmCollapseHandler() = default;
};

// Upper-cases len bytes in place: the application's own rule for smuUserDefined.
using TpmUpperCaseProc = void (*)(unsigned char* text, int32_t len);

using TNotifyEvent = std::function<void(TStyledMemo& sender)>;
using TParseEvent = std::function<void(TStyledMemo& sender, int32_t startOffset, int32_t stopOffset)>;
using TContextEvent =
    std::function<void(TStyledMemo& sender, int32_t context, int32_t startOffset, int32_t stopOffset)>;
// May replace the text about to go in.
using TpmBeforeChangeEvent = std::function<void(TStyledMemo& sender, TByteString& txt)>;
// A key handler may set the key to 0: the memo then does nothing more with it.
using TKeyEvent = std::function<void(TStyledMemo& sender, TMemoKey& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TStyledMemo& sender, unsigned char& key)>;
// Where an auto-scroll moves the text while the button is held beyond an edge.
enum TMouseScrollType : uint8_t { msNoScroll, msUp, msDown, msLeft, msRight };
using TMouseEvent =
    std::function<void(TStyledMemo& sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y)>;
using TMouseMoveEvent = std::function<void(TStyledMemo& sender, TShiftState shift, int32_t x, int32_t y)>;

// The multi-line styled text control of every text window. Its text lives in a paragraph store
// read through navigators; every change goes through SetSelTextBuf. Offsets are absolute, each
// paragraph break counting 2 (CR LF). Without Qt: it reaches its window through MemoWindow.
class TStyledMemo : public TFindTarget {
 public:
  TStyledMemo();
  virtual ~TStyledMemo();
  TStyledMemo(const TStyledMemo&) = delete;
  TStyledMemo& operator=(const TStyledMemo&) = delete;

  static constexpr const char* kVersion = "StyledMemo 1.0";
  std::string Version() const { return kVersion; }

  // ---- life and window ----
  // The code that builds a memo calls Loaded once it has configured it.
  virtual void Loaded();
  // Attaches the window (its handle is made): metrics, then the text is laid out for it.
  void CreateHandle(MemoWindow& window);
  void DestroyWindowHandle();
  bool WindowReady() const { return window_ && window_->WindowReady(); }
  MemoWindow* Window() const { return window_; }
  // The one entry for every message the host widget handles: message listeners see it first
  // and may suppress the memo's own handling. True when the memo handled it.
  bool WndProc(TMemoMessage& message);
  // The message listeners are being told of; nil outside WndProc.
  TMemoMessage* CurrentMessage() { return currentMessage_; }

  // ---- listeners ----
  std::vector<IpmsNotify*>& NotifyListeners() { return notifyListeners_; }
  std::vector<IpmsNotify*>& MessageListeners() { return messageListeners_; }
  void AddListener(std::vector<IpmsNotify*>& list, IpmsNotify* l) { list.push_back(l); }
  // Leaves a nil entry, so that a list being walked keeps its places; DoNotify packs it.
  void RemoveListener(std::vector<IpmsNotify*>& list, IpmsNotify* l);
  void DoNotify(std::vector<IpmsNotify*>& list, TpmEvents events);

  // ---- text and selection ----
  int32_t getSelStart();
  void setSelStart(int32_t value);
  int32_t SelLength() const { return selLength_; }  // always the clamped value
  void setSelLength(int32_t value);
  TByteString getSelText();  // a column block's text in block mode
  void setSelText(TByteView text);
  void SelectAll();
  void ClearSelection();
  void Clear();
  void SetTextBuf(TByteView text);
  // Copies at most size - 1 characters from the text's start and a NUL; returns the count.
  int32_t GetTextBuf(unsigned char* buf, int32_t size);
  int32_t GetTextLen() { return getCharCount(); }
  int32_t GetSelTextBuf(unsigned char* buf, int32_t size);
  TByteString GetTextPart(int32_t start, int32_t stop);
  std::optional<TByteString> GetTextPartBuf(int32_t start, int32_t stop);  // none when stop < start
  TByteString GetTextContent();
  void setTextContent(TByteView text) { SetTextBuf(text); }
  int32_t getCharCount() const { return store_.CharCount; }
  int32_t GetParCount() const { return store_.Count(); }
  int32_t getTotalLineCount() const { return store_.TotalLineCount; }
  unsigned char getChar(int32_t offset);  // CR and LF at a break, 0 at the text end
  TByteString getCurrentWord();

  // ---- paragraphs and lines ----
  TByteString getParString(int32_t i);  // the raw text, style codes included
  void setParString(int32_t i, TByteView s) { setParsBuf(i, s); }
  TByteString getParsBuf(int32_t i) { return getParString(i); }
  int32_t getParsOffset(int32_t i);
  int32_t GetParFromOffset(int32_t offset) const { return store_.ParFromOffset(offset); }
  const unsigned char* getParBuffers(int32_t i);
  TColor getParBackgnd(int32_t i);
  void setParBackgnd(int32_t i, TColor c);
  TColor getParForegnd(int32_t i);
  void setParForegnd(int32_t i, TColor c);
  bool getParWrapable(int32_t i);
  void setParWrapable(int32_t i, bool value);
  // Replaces paragraph i's text, adding breaks at the end while i is beyond the last one.
  void setParsBuf(int32_t i, TByteView text);
  // Display line n (a paragraph when lines never wrap); empty outside the text.
  TByteString getLineString(int32_t n);
  TByteString getLinesBuf(int32_t n) { return getLineString(n); }
  int32_t getSelLine();
  void setSelLine(int32_t n);
  int32_t getSelPar();
  void setSelPar(int32_t i);
  int32_t getSelCol();  // the pending filler counted
  void setSelCol(int32_t c);
  int32_t GetSelContext();
  // Puts the caret at offset without touching the selection.
  void MoveCp(int32_t offset);
  bool FindTxt(TByteView text, bool forward, bool matchCase, bool wholeWord, bool fromBoundary);
  const TByteString& PendingFiller() const { return filler_; }

  // ---- editing ----
  // Replaces the selection by text (CR LF pairs become breaks); the caret ends after it.
  virtual void SetSelTextBuf(TByteView text);
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  int32_t UpdateCount() const { return updateCount_; }
  // After the outermost edit: lays out the changed paragraphs, brings the window up to date
  // with them, fires Change when the text changed, then updates the caret.
  void EndModifications();
  virtual void Change();
  // Places the caret for the window and fires OnSelMove and OnStyleChange for what changed
  // since the last call; with recreate the window's caret is made anew.
  void UpdateCaret(bool recreate);
  // The style typed text takes at the caret: an active attribute's style, else the static
  // style there against the font's own (TStyledFontStyles bits: 0-3 font styles, 4
  // highlight, 5 alternate font).
  uint8_t getCurrentStyle();
  bool Modified() const { return modified_; }
  // The next edit opens a new undo record (set whenever the caret or selection is put).
  bool UndoNewRecord() const { return undoNewRecord_; }
  void setModified(bool v) { modified_ = v; }

  // ---- keyboard ----
  // The key handlers: the published event first (which may take the key), then the memo's own
  // handling. A key the memo handles comes back as 0.
  virtual void KeyDown(TMemoKey& key, TShiftState shift);
  virtual void KeyPress(unsigned char& key);
  virtual void KeyUp(TMemoKey& key, TShiftState shift);
  // The blanks a smart tab inserts: up to the next word start of a longer line above.
  TByteString SmartTabText();

  // ---- display: origin, scrolling, caret, painting ----
  // Display line at the top of the view; setting it scrolls there.
  int32_t getTopLine();
  void setTopLine(int32_t n);
  // Pixel origin of the view: from the first line's top (negative while scrolled above it) and
  // from the text's left edge. While a scroll is animated these are where it is going.
  int32_t getTopOrigin() const { return ctx_.TopOrigin; }
  void setTopOrigin(int32_t y) { SetTopLeft(y, ctx_.LeftOrigin, scrollTime_); }
  int32_t getDisplayLeft() const { return ctx_.LeftOrigin; }
  void setDisplayLeft(int32_t x) { SetTopLeft(ctx_.TopOrigin, x, scrollTime_); }
  // Moves the view; time in ms animates it from a timer (negative linear, positive easing),
  // 0 jumps. Callers see the new origin at once; the window catches up.
  void SetTopLeft(int32_t top, int32_t left, int32_t time);
  // Where the window shows the view now; differs from the origin while a scroll is animated.
  int32_t ShownTop() const { return ctx_.TopOrigin + animTop_; }
  int32_t ShownLeft() const { return ctx_.LeftOrigin + animLeft_; }
  bool ScrollAnimating() const { return animTop_ != 0 || animLeft_ != 0; }
  // Scrolls so that the caret is in view.
  void ScrollInView();
  // Pulls a view left beyond the text's end back, then paints at once.
  void RefreshDisplay();
  // The line height in use (pixels); LineHeight() is the assigned one.
  int32_t getLineHeight() const { return ctx_.LineHeight; }
  int32_t BaselineOffset() const { return baseline_; }
  int32_t VisibleLines() const { return visibleLines_; }  // whole or partial lines in the client
  int32_t VScrollFactor() const { return vFactor_; }
  int32_t HScrollFactor() const { return hFactor_; }
  TRect GetEditRect();
  // The caret's pixel place relative to the view's origin.
  TPoint CaretPixel() const { return {caretPx_, caretPy_}; }
  // Puts the window's caret on the caret's place.
  void PlaceCaret();
  // Paints the client area `area` onto the surface; nothing while formatting or updating.
  virtual void Paint(DrawSurface& dc, const TRect& area);
  static constexpr uint32_t kScrollTimerId = 1;
  static constexpr uint32_t kScrollTimerMs = 10;
  static constexpr uint32_t kAutoScrollTimerId = 2;
  // Milliseconds between the lines an auto-scroll moves at speed levels 1..7; from level 8 on
  // it moves on each turn of the window's event loop.
  static constexpr uint32_t kAutoScrollMs[7] = {400, 300, 200, 130, 78, 48, 30};

  // ---- edit actions (enabled states) ----
  bool CanCut() const { return !readOnly_ && !displayOnly_ && selLength_ != 0; }
  bool CanDelete() const { return CanCut(); }
  bool CanCopy() const { return !displayOnly_ && selLength_ != 0; }
  bool CanPaste() const { return !readOnly_ && !displayOnly_; }
  bool CanSelectAll() const { return !displayOnly_ && store_.CharCount > 0; }

  // ---- undo and redo ----
  // One step takes back, or brings back, the records of one update bracket: consecutive
  // records made at the same non-zero update depth (a record of depth 0 is a step alone).
  void Undo();
  void Redo();
  bool CanUndo() const { return undo_.Index() >= (undoing_ ? 2 : 1); }
  bool CanRedo() const { return undoing_ ? undo_.Index() <= undo_.Count() : undo_.Index() < undo_.Count(); }
  void ClearUndo() { undo_.Clear(); }
  void RemoveUndo(int32_t index) { undo_.Remove(index); }  // ERangeError outside the list
  int32_t getUndoCount() const { return undo_.Count(); }
  int32_t UndoIndex() const { return undo_.Index(); }  // records below it can be undone
  int64_t UndoBytes() const { return undo_.Bytes(); }
  const TUndoRecord& getUndoList(int32_t i) const { return undo_[i]; }
  void SaveUndo(TStream& stream) const;
  // Replaces the undo list by a saved one; damaged data leave it empty and raise EStreamError.
  void LoadUndo(TStream& stream);

  // ---- styled-text strings: a range with its attributes, self-contained ----
  // The entry count, then per entry a 58-byte attribute and its offset from the range's
  // start, then the raw characters; empty for an empty range.
  TByteString DynText(int32_t start, int32_t stop);
  // Replaces [start, stop) by the string's text and lays its attributes over it; the
  // selection stays on its text. A string too short for its entries raises and changes
  // nothing.
  void SetDynText(int32_t start, int32_t stop, TByteView s);

  // ---- mouse (client pixels) ----
  // A press of the left button places the caret (Shift: extends the selection from its
  // anchor; Alt with smoBlockSelection: starts a column block), in the margin left of the
  // text selects the line, over the selection starts dragging it. Each handler fires its
  // published event first; OnAfterMouseDown fires last.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
  // With the left button held the selection's end follows the pointer (by lines from the
  // margin, by words after a double click), or the dragged text's caret does; without it the
  // pointer's shape follows what lies under it.
  virtual void MouseMove(TShiftState shift, int32_t x, int32_t y);
  // Ends selecting, drops dragged text (copied with Ctrl) unless the pointer left the window,
  // reports a click on text with a context value (smeContext or smeRightContext, then
  // OnContext with the attribute run's bounds), and on the right button shows the memo's own
  // popup menu, unless a listener of the context click cleared ContextValue.
  virtual void MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
  // Selects the word under the caret; moving on with the button held grows it by words.
  virtual void DblClick();
  // Moves the selection's start back to its word's start and, with toEnd, its end on to its
  // word's end (with smoLargeWordSelect also over the delimiters after it); the caret keeps
  // its end.
  void SelectWords(bool toEnd);
  // In block mode the block's columns (Left, Right) and the display lines of its ends (Top,
  // Bottom); else an empty rectangle.
  TRect GetColumnBlockXY();
  // The context value of the last context click; a listener may clear it.
  int32_t ContextValue() const { return contextValue_; }
  void setContextValue(int32_t v) { contextValue_ = v; }
  bool Dragging() const { return dragging_; }
  // Where the held button's pointer beyond an edge scrolls the text, and how fast (the
  // distance beyond the edge in thirds of 3 pixels, at least 1).
  TMouseScrollType AutoScrollDirection() const { return scrollDir_; }
  int32_t AutoScrollLevel() const { return scrollLevel_; }
  // Escape while dragging: nothing moves, the caret goes back.
  void CancelDrag();

  // ---- clipboard ----
  // Where copy and paste go; nil (the default) copies and pastes nothing.
  void setClipboard(MemoClipboard* clipboard) { clipboard_ = clipboard; }
  MemoClipboard* Clipboard() const { return clipboard_; }
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  // Inserts text as a column block: line i at the caret's column of the i-th paragraph from
  // the caret's, padded with blanks, paragraphs added at the end as needed.
  void InsertBlock(TByteView text);
  // Typing, paste and Backspace under smoNoOverwriteBlocks: the selection is set aside so that
  // new text goes in at the caret, and (with smoPersistentBlocks) selected again afterwards.
  void PrepareKeepBlock();
  void EndKeepBlock();

  // ---- column blocks ----
  bool BlockMode() const { return blockMode_; }
  int32_t BlockCol1() const { return blockCol1_; }
  int32_t BlockCol2() const { return blockCol2_; }
  // Selects the columns startCol..endCol (in space widths) of paragraphs startPar..endPar; the
  // caret at the end. Nothing with WordWrap.
  void SelectBlock(int32_t startCol, int32_t startPar, int32_t endPar, int32_t endCol);
  // For each paragraph between the selection ends the characters between the block's columns,
  // each followed by CR LF; empty outside block mode or without a selection.
  TByteString SelectedBlockText();

  // ---- the memo's own popup menu ----
  static constexpr int32_t kPopupUndo = 100, kPopupRedo = 101, kPopupCut = 102, kPopupCopy = 103,
                           kPopupPaste = 104, kPopupSelectAll = 105;
  TMemoPopupMenu& getInternalPopup();
  // Sets the items' enabled states, fires OnInternalPopup and has the window show the menu at
  // a client point; nothing under smoNoDefaultPopup.
  void ShowInternalPopup(TPoint at);
  // The command of an item's tag.
  void PopupClickHandler(int32_t tag);

  // ---- keywords and the highlighter ----
  TKeywordList& Keywords() { return *keywords_; }
  TStartStopKeyList& StartStopKeys() { return startStopKeys_; }
  TStyledHighlighter* Highlighter() const { return highlighter_; }
  // The memo leaves the old highlighter's memo list and joins the new one's.
  void setHighlighter(TStyledHighlighter* h);
  // Colours the keywords of the paragraphs from start's to stop's, in a window reaching the
  // longest keyword beyond either end; the highlighter's hook first.
  void ApplyKeywordsListP(TStyledNavigator& start, TStyledNavigator& stop);
  // Lays the ranges of the start/stop keys over the paragraphs from start's to stop's, and on
  // into the following ones while what a paragraph ends in changes what the next starts in;
  // keywords are laid again where the ranges changed.
  void ApplyStartStopKeyListP(TStyledNavigator& start, TStyledNavigator& stop);

  // ---- streams ----
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);

  // ---- layout ----
  // Lays everything out again: at once with an outside canvas or in umImmediate, else marks
  // it to do (umBackground then formats it in slices).
  void Reformat();
  // Lays out paragraphs first..last; without full only those not laid out yet, from the
  // formatted-up-to mark on. With progress OnProgress reports on the way.
  void FormatNow(int32_t first, int32_t last, bool progress, bool full);
  // Percent of the text laid out in order: 100 once nothing waits, at most 99 before.
  int32_t getFormatCompleted() const;
  // Formatting is running: painting and selection repaints wait.
  bool Formatting() const { return formatting_; }
  bool FormatThreadRunning() const { return formatThread_ != nullptr; }
  // Applies the start/stop keys to the paragraphs after the parsed-up-to mark up to par.
  void ParseStartStopNow(int32_t par);
  // Start/stop keys up to last; unless startStopOnly, keywords over first..last too.
  void DoDynParse(int32_t first, int32_t last, bool startStopOnly);
  // Forgets every dynamic attribute and parsing state, then lays everything out again.
  void ReApplyKeywords();
  // length characters of paragraph par from start, upper-cased by UpperCaseType, from a cache
  // of one slice that grows when a request touches it.
  TByteView GetUpText(int32_t par, int32_t length, int32_t start);
  // The application's upper-casing for smuUserDefined, for every memo; nil: ASCII.
  static void setUpperCaseProc(TpmUpperCaseProc proc);
  // Formats for another surface than the window (printing, previews): width in pixels. Nil
  // returns to the window.
  void FormatText(DrawSurface* canvas, int32_t width);
  // Draws display lines first..last onto a surface, the first line's top-left at origin, line
  // after line scale percent of the line height apart.
  void DrawLines(int32_t firstLine, int32_t lastLine, DrawSurface& canvas, TPoint origin,
                 int32_t scale = 100);
  // The font for an extended style: the alternate font for bit 5, with style bits 0-3.
  virtual void SetupFont(TMemoFont& font, uint8_t style);
  // Marks display lines first..last (either order) to be painted again.
  void InvalidateLines(int32_t first, int32_t last);
  // Absolute offsets of display line n (a paragraph when lines never wrap), and whether it is
  // its paragraph's last; false outside the text.
  bool GetLineBounds(int32_t n, int32_t& start, int32_t& stop, bool& endsParagraph);

  // ---- dynamic styles ----
  // Lays an attribute over [start, stop): style bits 0-5, flag1 marks it parse-level, flag2
  // makes it collapsible; colours clNone or -1 leave the text's own. A reversed range covers
  // nothing. No OnChange; the lines are painted again.
  void SetDynStyle(int32_t start, int32_t stop, uint8_t style, bool flag1, int32_t context, int16_t cursor,
                   TColor backgnd, TColor foregnd, bool flag2);
  void SetDynStyle(TStyledNavigator& nav1, TStyledNavigator& nav2, uint8_t style, bool flag1, int32_t context,
                   int16_t cursor, TColor backgnd, TColor foregnd, bool flag2);
  // Removes the whole run of the active attribute at offset.
  void ClearStyle(int32_t offset);
  // Removes every attribute from [start, stop).
  void ClearStyleRange(int32_t start, int32_t stop);
  // Under StaticFormat: puts a toggle code on both sides of the selection, or two at the caret
  // (which ends between them); at the caret between two such codes, removes them instead.
  void SetSelAttrib(unsigned char code);
  void SetBold() { SetSelAttrib(2); }
  void SetItalic() { SetSelAttrib(1); }
  void SetUnderline() { SetSelAttrib(21); }
  void SetHighlight() { SetSelAttrib(3); }
  void SetAltFont() { SetSelAttrib(4); }

  // ---- collapsible blocks ----
  bool MakeCollapsibleBlock(int32_t first, int32_t last);
  bool MakeSelCollapsible();
  bool RemoveCollapsibleBlock(int32_t par);
  bool RemoveSelCollapsible();
  bool CollapseBlock(int32_t par, int level);
  bool ExpandBlock(int32_t par, int level);
  // The caret's block, or else the collapsible attribute at the caret.
  bool CollapseSel() { return CollapseExpandSel(true); }
  bool ExpandSel() { return CollapseExpandSel(false); }
  void CollapseAll(bool allLevels, bool blocks, bool dyn) { CollapseExpandAll(true, allLevels, blocks, dyn); }
  void ExpandAll(bool allLevels, bool blocks, bool dyn) { CollapseExpandAll(false, allLevels, blocks, dyn); }
  // One entry per block level of the paragraph: whether that level is collapsed.
  std::vector<bool> GetBlocksStates(int32_t par);
  IpmCollapseHandler* CollapseHandler() const { return collapseHandler_; }
  void setCollpsHandler(IpmCollapseHandler* handler);

  // Raises "Error …" with the version text at the first breach of the store's invariants.
  void CheckIntegrity();

  // ---- the parts ----
  TParagraphsList& Store() { return store_; }
  const TParagraphsList& Store() const { return store_; }
  TNavigatorContext& NavContext() { return ctx_; }
  TStyledParaStrings& Paragraphs() { return *paragraphs_; }
  TStyledLinesStrings& Lines() { return *lines_; }
  int CodePage() const { return CodePageOfCharset(font_.Charset); }

  // ---- properties ----
  TAlignment Alignment() const { return ctx_.Alignment; }
  void setAlignment(TAlignment v);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void setBorderStyle(TBorderStyle v) { borderStyle_ = v; }
  bool HideSelection() const { return hideSelection_; }
  void setHideSelection(bool v);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void setScrollBars(TScrollStyle v);
  bool WantTabs() const { return wantTabs_; }
  void setWantTabs(bool v) { wantTabs_ = v; }
  bool WordWrap() const { return ctx_.WordWrap; }
  void setWordWrap(bool v);
  const TMemoFont& Font() const { return font_; }
  void setFont(const TMemoFont& f);
  const TMemoFont& AltFont() const { return altFont_; }
  void setAltFont(const TMemoFont& f);
  TColor Color() const { return color_; }
  void setColor(TColor c);
  bool ApplyKeyWords() const { return applyKeyWords_; }
  void setApplyKeyWords(bool v) {
    applyKeyWords_ = v;
    UpdateKeywordsInUse();
  }
  bool ApplyStartStopKeys() const { return applyStartStopKeys_; }
  void setApplyStartStopKeys(bool v) { applyStartStopKeys_ = v; }
  int32_t CaretWidth() const { return caretWidth_; }
  void setCaretWidth(int32_t v);  // 0: automatic, line height / 14 + 1
  const TMemoPicture& BackgroundBmp() const { return backgroundBmp_; }
  void setBackgroundBmp(const TMemoPicture& p) { SetAndRepaint(backgroundBmp_, p); }
  int32_t ColumnWrap() const { return ctx_.ColumnWrap; }
  void setColumnWrap(int32_t v);
  bool DisplayOnly() const { return displayOnly_; }
  void setDisplayOnly(bool v);  // no caret while on
  bool EnableHotKeys() const { return enableHotKeys_; }
  void setEnableHotKeys(bool v) { enableHotKeys_ = v; }
  const TMemoPen& EndOfTextMark() const { return endOfTextMark_; }
  void setEndOfTextMark(const TMemoPen& p) { SetAndRepaint(endOfTextMark_, p); }
  TColor HighlightBackgnd() const { return highlightBackgnd_; }
  void setHighlightBackgnd(TColor c) { SetAndRepaint(highlightBackgnd_, c); }
  TColor HighlightColor() const { return highlightColor_; }
  void setHighlightColor(TColor c) { SetAndRepaint(highlightColor_, c); }
  bool Justified() const { return ctx_.Justified; }
  void setJustified(bool v);
  int32_t LeftMargin() const { return ctx_.LeftMargin; }
  void setLeftMargin(int32_t v);
  int32_t RightMargin() const { return ctx_.RightMargin; }
  void setRightMargin(int32_t v);
  TStyledLineBreak LineBreak() const { return lineBreak_; }
  void setLineBreak(TStyledLineBreak v) { lineBreak_ = v; }
  // The assigned line height, 0 when automatic; setting 0 or less selects automatic.
  int32_t LineHeight() const { return lineHeight_; }
  void setLineHeight(int32_t v);
  int32_t MouseWheelFactor() const { return mouseWheelFactor_; }
  void setMouseWheelFactor(int32_t v) { mouseWheelFactor_ = v; }
  unsigned char NullReplacement() const { return nullReplacement_; }
  void setNullReplacement(unsigned char c) { nullReplacement_ = c; }
  TStyledMemoOptions Options() const { return options_; }
  void setOptions(TStyledMemoOptions v);
  bool Overwrite() const { return overwrite_; }
  void setOverwrite(bool v) { overwrite_ = v; }
  bool PassOverCodes() const { return passOverCodes_; }
  void setPassOverCodes(bool v) { passOverCodes_ = v; }
  uint32_t ProgressInterval() const { return progressInterval_; }
  void setProgressInterval(uint32_t v) { progressInterval_ = v; }
  bool ReadOnly() const { return readOnly_; }
  void setReadOnly(bool v) { readOnly_ = v; }
  const TMemoPen& RightLinePen() const { return rightLinePen_; }
  void setRightLinePen(const TMemoPen& p) { SetAndRepaint(rightLinePen_, p); }
  int32_t RightLinePos() const { return rightLinePos_; }
  void setRightLinePos(int32_t v) { SetAndRepaint(rightLinePos_, v); }
  int32_t ScrollTime() const { return scrollTime_; }
  void setScrollTime(int32_t v) { scrollTime_ = v; }
  TColor SelBackColor() const { return selBackColor_; }
  void setSelBackColor(TColor c);
  TColor SelTextColor() const { return selTextColor_; }
  void setSelTextColor(TColor c);
  TByteString Separators() const;  // the word delimiters as text
  void setDelimiters(TByteView chars);
  const TDelimiters& Delimiters() const { return ctx_.Delimiters; }
  bool ShowEndParSelected() const { return showEndParSelected_; }
  void setShowEndParSelected(bool v) { SetAndRepaint(showEndParSelected_, v); }
  uint8_t ShowNonPrintChars() const { return showNonPrintChars_; }
  void setShowNonPrintChars(uint8_t v) { SetAndRepaint(showNonPrintChars_, v); }
  const TMemoPen& SpecUnderline() const { return specUnderline_; }
  void setSpecUnderline(const TMemoPen& p);  // its width sets the wave's height
  bool StaticFormat() const { return store_.StaticFormat; }
  void setStaticFormat(bool v);
  int32_t TabStops() const { return ctx_.TabStops; }
  void setTabStops(int32_t v);
  int32_t UndoMaxSpace() const { return undoMaxSpace_; }
  void setUndoMaxSpace(int32_t v);
  int32_t UndoMaxLevel() const { return undoMaxLevel_; }
  void setUndoMaxLevel(int32_t v);  // above 0x7FFFFFF: "Undo set too high"
  TpmUpperCase UpperCaseType() const { return upperCaseType_; }
  void setUpperCaseType(TpmUpperCase v) {
    upperCaseType_ = v;
    keywords_->setUpperCaseType(v);
    startStopKeys_.setUpperCaseType(v);
    upPar_ = -1;  // the upper-cased slice was made the old way
  }
  TpmUpdateMode UpdateMode() const { return updateMode_; }
  void setUpdateMode(TpmUpdateMode v);
  const TByteString& WordWrapChars() const { return ctx_.WordWrapChars; }
  void setWordWrapChars(TByteView v);
  // Where the memo reads the time (progress of loads and saves); nil: the steady clock.
  void setClock(WaitClock* clock) { store_.Clock = clock; }
  // Static-format edits and saves drop paired toggle codes; not published, on by default.
  bool PairCancelling() const { return pairCancelling_; }
  void setPairCancelling(bool v) { pairCancelling_ = v; }

  // ---- events ----
  TNotifyEvent OnChange, OnStyleChange, OnSelMove, OnHScroll, OnVScroll, OnProgress, OnInternalPopup;
  TParseEvent OnParse;
  TContextEvent OnContext;
  TpmBeforeChangeEvent OnBeforeChange;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TMouseEvent OnMouseDown, OnMouseUp, OnAfterMouseDown;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnDblClick;

  // ---- TFindTarget ----
  const TParagraphsList& FindParagraphs() const override { return store_; }
  int32_t FindSelStart() const override;
  void FindSelect(int32_t selStart, int32_t selLength) override;
  const TDelimiters& FindDelimiters() const override { return ctx_.Delimiters; }
  void FindUpperCase(TByteString& s) const override;

 protected:
  // The memo's own handling of a message; true when it handled it.
  virtual bool HandleMessage(TMemoMessage& message);

 private:
  using TAlive = std::weak_ptr<const bool>;
  TAlive Alive() const { return alive_; }
  // Calls a handler on a copy of it (a handler may destroy the memo and the member with it);
  // false when the memo is gone afterwards.
  template <typename F, typename... A>
  bool Fire(const F& handler, A&&... args) {
    if (!handler) return true;
    const TAlive alive = alive_;
    F h = handler;
    h(*this, std::forward<A>(args)...);
    return !alive.expired();
  }
  template <typename T>
  void SetAndRepaint(T& field, const T& value) {
    if (field == value) return;
    field = value;
    Repaint();
  }
  void Repaint();                     // the whole client, when a window is ready and no update open
  void UpdateFontDependantFields();   // metrics of the control font
  int32_t LimitedLineHeight() const;  // the line height the visible lines leave room for
  void SetLineMetrics(int32_t h);     // line height and what follows from it
  void ComputeCaretPixel();
  bool SetVScrollParams();  // vertical range; true when the text width changed
  void SetHScrollParams();  // horizontal range
  void SetScrollPositions();
  void FindWidestLine();            // over all paragraphs, when lines do not wrap to the window
  void ApplyLineHeight(int32_t h);  // keeps the top line in view
  bool HandleDisplayMessage(TMemoMessage& message);
  // Where a line is painted: the line image's width, the view's horizontal origin, and whether
  // the selection shows as for a focused window.
  struct TPaintTarget {
    int32_t width = 0;
    int32_t left = 0;
    bool focused = false;
  };
  void PaintLine(DrawSurface& dc, int32_t parIndex, int32_t lineIndex, int32_t y, const TPaintTarget& target);
  void FormatForPaint(int64_t firstLine, int64_t lastLine);  // the painted lines' paragraphs
  void StopScrollAnimation();
  void ScrollAnimationStep();
  void ScrollShown(int32_t dx, int32_t dy, const TRect& rect);  // moves window pixels
  void SetBounds();
  void VScroll(uintptr_t code, int32_t pos);
  void HScroll(uintptr_t code, int32_t pos);
  void MouseWheel(int32_t delta);
  void FocusChanged(bool focused);
  int32_t EffectiveCaretWidth();
  uint64_t NowMs();
  // The edit path's parts after the store's edit.
  void RepairDynAtEnd(int32_t newEnd, const DynInfoRec& rightOfEnd);
  void ParseEdited(int32_t start, int32_t stop, bool stylesChanged, bool startActivePlain);
  void CancelPairs(int32_t firstPar, int32_t lastPar);
  void RefreshAfterReformat();  // lays out and repaints after a layout option changed
  void InvalidateSelection();   // the lines between the selection ends
  void MoveOffLfHalf(TStyledNavigator& n);
  void AdjustNavigators(int32_t editStart, int32_t oldEnd, const TParagraphsList::TInsertResult& r);
  void Reload(bool keepModified);  // saves the text and loads it back
  // Opens an update bracket and closes it when it goes, unless the memo went first; a flag
  // given is cleared just before the close.
  struct TUpdateScope {
    explicit TUpdateScope(TStyledMemo& m, bool* clear = nullptr) : memo(m), alive(m.alive_), flag(clear) {
      m.BeginUpdate();
    }
    ~TUpdateScope() {
      if (alive.expired()) return;
      if (flag) *flag = false;
      memo.EndUpdate();
    }
    TStyledMemo& memo;
    TAlive alive;
    bool* flag;
  };
  // ---- undo ----
  void UndoSteps(bool redo);  // one step back, or forward
  // Step 8 of the edit path: the record this edit extends or opens, -1 for none.
  int32_t RecordUndo(int32_t start, int32_t end);
  void ForgetUndoRecord(int32_t rec);  // the edit did not happen after all
  // Swaps record i with the text it describes: selects its range, keeps what is there in its
  // place and puts its text back.
  bool SwapUndoRecord(int32_t i);
  TByteString ClipboardBytes();  // the clipboard's text in the memo's bytes, breaks as CR LF
  // Lays out paragraphs first..last; with `edit` the first one from the lines the edit left.
  struct TPendingEdit {
    int32_t par = -1;
    int32_t fromLine = 0;
    int32_t oldLine = 0;
  };
  struct TLaidOut {
    int32_t firstLine = 0;  // the display lines that changed
    int32_t lastLine = -1;
    int32_t visibleDelta = 0;
    int32_t reached = -1;       // the last paragraph walked
    bool any = false;           // some paragraph was laid out
    bool caretMoved = false;    // the caret's paragraph, or lines before it, were laid out
    int32_t widestBefore = -1;  // the widest line's width before
  };
  // Where a walk stops early: a clock deadline (0 none), the paragraph that starts beyond a
  // display line; with progress OnProgress reports on the way.
  struct TFormatLimit {
    uint64_t deadline = 0;
    int32_t stopLine = INT32_MAX;
    bool progress = false;
    bool parse = false;  // start/stop keys paragraph by paragraph
  };
  struct TFormattingScope;
  TLaidOut FormatRange(int32_t first, int32_t last, bool full, const TPendingEdit* edit,
                       const TFormatLimit& limit);
  TLaidOut FormatRange(int32_t first, int32_t last, bool full, const TPendingEdit* edit) {
    return FormatRange(first, last, full, edit, TFormatLimit());
  }
  bool FormatWorkPending() const { return store_.LastUnformatted >= 0; }
  void SettleFormatMarks();  // moves the mark over laid-out paragraphs; none pending at the end
  // After lines changed: the view keeps its top text, the bars follow, the caret its text.
  void AfterFormat(const TLaidOut& r, bool updateCaret, bool invalidate);
  void FormatQuiet(int32_t first, int32_t last);  // out of order, without a caret update
  void FormatThroughLine(int32_t n);              // in order until line n is laid out
  void FormatSlice();                             // SM_UPDATEBKG
  void StartFormatThread();
  void StopFormatThread();
  void SignalFormatThread();
  void StartRestFormatting();  // what an edit left to lay out, by the update mode
  TFontMeasure* FormatCanvas();
  int32_t FormatWidth();
  void AfterWholeFormat();
  int32_t TopOriginFromTopLine();
  // ---- keyboard ----
  void NoteStyleAndCaret();  // so that the next caret update reports only what follows
  bool DisplayOnlyKey(TMemoKey key, TShiftState shift);
  bool HotKey(TMemoKey key, TShiftState shift);
  bool MoveKey(TMemoKey key, TShiftState shift);
  void BackspaceKey(TShiftState shift);
  void DeleteKey(TShiftState shift);
  void EnterKey();
  void SetSelection(const TStyledNavigator& anchor, const TStyledNavigator& caret);
  void DeleteSelectionKeepingColumn(int32_t oldLine, int32_t oldCol, bool keep);
  int32_t CaretColumn();  // the caret's column in its paragraph, tabs expanded, filler counted
  void SkipCodesBack(TStyledNavigator& n);
  void SkipCodesForward(TStyledNavigator& n);
  void ToVisible(TStyledNavigator& n, bool forward);
  // ---- dynamic styles and collapsing ----
  void LayDynStyle(int32_t start, int32_t stop, const DynInfoRec& rec, bool active);
  bool CollapseExpandSel(bool collapse);
  void CollapseExpandAll(bool collapse, bool allLevels, bool blocks, bool dyn);

  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
  TParagraphsList store_;
  TNavigatorContext ctx_;
  TStyledNavigator selStart_, selEnd_, move_, top_, mouse_;
  TStyledNavigator scratch1_, scratch2_, edit1_, edit2_;  // lookups; the edited range
  TStyledNavigator* caret_;                               // selStart_, selEnd_ or move_
  std::unique_ptr<TStyledParaStrings> paragraphs_;
  std::unique_ptr<TStyledLinesStrings> lines_;
  MemoWindow* window_ = nullptr;
  TMemoMessage* currentMessage_ = nullptr;
  std::vector<IpmsNotify*> notifyListeners_, messageListeners_;

  int32_t selLength_ = 0;
  TByteString filler_;                             // blanks between a line's end and the caret
  static constexpr int32_t kNoCaretX = INT32_MIN;  // 0x80000000
  int32_t caretX_ = kNoCaretX;                     // remembered across vertical moves
  bool blockMode_ = false;                         // column-block selection
  int32_t blockCol1_ = 0, blockCol2_ = 0;
  int32_t updateCount_ = 0;
  bool modified_ = false;
  std::optional<TPendingEdit> pendingEdit_;
  int32_t editsPending_ = 0;                         // edits since the layout last caught up
  int32_t breakSpaceWidth_ = 0, breakOverhang_ = 0;  // metrics the line breaker keeps
  int32_t notifyDepth_ = 0;                          // DoNotify calls under way
  bool undoNewRecord_ = true;                        // the next edit starts a new undo record
  TUndoList undo_;
  bool undoing_ = false;        // an undo or redo runs: edits record nothing
  bool undoRecordNew_ = false;  // the record RecordUndo returned was opened by this edit
  MemoClipboard* clipboard_ = nullptr;
  std::unique_ptr<TMemoPopupMenu> popup_;  // made on first need
  // A block kept aside while text goes in at the caret (PrepareKeepBlock).
  struct TKeptBlock {
    int32_t depth = 0;  // nested keeps: only the outermost restores
    bool restore = false;
    bool block = false;  // it was a column block: its columns relative to its ends
    int32_t colDelta1 = 0, colDelta2 = 0;
    std::unique_ptr<TStyledNavigator> end1, end2;  // the caret end, the other end
  };
  TKeptBlock kept_;
  bool reloading_ = false;  // the memo's own text comes back: no load bound
  // ---- keywords ----
  std::unique_ptr<TKeywordList> keywords_ = std::make_unique<TKeywordList>();
  TStartStopKeyList startStopKeys_;
  TStyledHighlighter* highlighter_ = nullptr;
  void UpdateKeywordsInUse();
  void ClearKeywordAttributes(int32_t a, int32_t b, int32_t reach);
  bool ParseStartStopParagraph(int32_t par, int32_t fromOffset);
  bool HandOnStartStop(int32_t par);
  bool StartStopKeysReady();  // keys to apply, prepared for the code page and delimiters
  void ParseStartStopRange(int32_t first, int32_t last);
  void ParseModified();
  DynInfoRec OuterAttribute(const DynInfoRec& rec, int level);
  DynInfoRec ParseAttribute(int32_t par, int32_t offset);
  void InitKeywords();  // the hooks of the line breaker and the list

  // ---- formatting ----
  bool formatting_ = false;  // painting and selection repaints wait
  std::unique_ptr<TpmFormatThread> formatThread_;
  DrawSurface* outCanvas_ = nullptr;  // formatting for another surface than the window
  int32_t outWidth_ = 0;
  uint64_t progressTick_ = 0;  // when OnProgress last fired
  // The upper-cased slice of one paragraph.
  int32_t upPar_ = -1, upStart_ = 0;
  TByteString upText_;
  IpmCollapseHandler* collapseHandler_ = nullptr;

  // ---- mouse ----
  bool mouseHeld_ = false;               // the left button went down in the memo
  bool wordSelecting_ = false;           // after a double click, until the release
  int32_t wordStart_ = 0, wordEnd_ = 0;  // the double-clicked word
  int32_t marginLine_ = -1;              // display line beside the pointer in the margin, -1 elsewhere
  int32_t marginAnchor_ = -1;            // line selection under way from this line
  bool overSelection_ = false;           // the pointer rests on the selection: a press drags it
  bool dragging_ = false;
  bool dragOutside_ = false;  // the dragged text is outside the window: no drop
  TPoint downAt_{};           // where the last press was
  int32_t contextValue_ = 0;
  TMemoCursor cursor_ = crDefault;
  TMouseScrollType scrollDir_ = msNoScroll;
  int32_t scrollLevel_ = 0;
  TPoint lastMouse_{};
  TShiftState lastShift_ = 0;
  void SetAutoScroll(int32_t x, int32_t y);
  void StopAutoScroll();
  void AutoScrollStep();
  void LocateMouse(int32_t x, int32_t y);  // mouse_ to the client point
  int32_t ColumnsBeyondLineEnd(int32_t x);
  bool DragAllowed() const;
  void ShowCursor(TMemoCursor c);
  std::pair<int32_t, int32_t> DynRunAt(int32_t offset);
  void SelectMarginLines(int32_t anchorLine, int32_t line);
  void ExtendWordSelection();
  void DropSelection(bool copy);

  // ---- keyboard ----
  TStyledNavigator keyNav_;  // where a key moves the caret
  bool keyUpSeen_ = false;   // a key-up came since the key went down
  bool altChar_ = false;     // the next character comes with Alt: it is not typed

  // ---- display ----
  int32_t fullLineHeight_ = 1;  // before the limit that the visible lines set
  TFontMetrics fontMetrics_;    // of the control font
  int32_t baseline_ = 0;        // from a line's top
  int32_t wavyAmplitude_ = 1;   // of the special underline
  int32_t wavyY_ = 0;           // its top within a line
  int32_t visibleLines_ = 1;    // client height / line height + 1
  int32_t textWidth_ = 0;       // the line bitmap's width, 0 without a window
  int32_t clientHeight_ = 0;    // as the last resize left it
  int32_t caretPx_ = 0, caretPy_ = 0;
  int32_t vFactor_ = 1, hFactor_ = 1;
  int32_t vMax_ = -1, vPage_ = -1;  // the range last written to each bar
  int32_t hMax_ = -1, hPage_ = -1;
  bool settingRanges_ = false;   // a range update may resize the client: no SetBounds then
  bool keyboardScroll_ = false;  // the scroll under way comes from keys or a scroll bar
  uint64_t lastScrollTick_ = 0;
  int32_t wheelAccum_ = 0;
  // Animated scroll: the window shows the origin plus these; each timer step brings them
  // toward 0 by the curve of animTime_.
  int32_t animTop_ = 0, animLeft_ = 0;
  int32_t animTotalTop_ = 0, animTotalLeft_ = 0;
  uint64_t animStart_ = 0;
  int32_t animTime_ = 0;
  bool painting_ = false;
  // What UpdateCaret reported last.
  int32_t reportedPos_ = -1;
  TByteString reportedFiller_;
  int32_t reportedStyle_ = -1;

  TMemoFont font_, altFont_;
  TColor color_ = clWindow;
  TBorderStyle borderStyle_ = bsSingle;
  bool hideSelection_ = true;
  TScrollStyle scrollBars_ = ssVertical;
  bool wantTabs_ = true;
  bool applyKeyWords_ = true, applyStartStopKeys_ = true;
  int32_t caretWidth_ = 1;
  TMemoPicture backgroundBmp_;
  bool displayOnly_ = false;
  bool enableHotKeys_ = true;
  TMemoPen endOfTextMark_{255, 1, psSolid};
  TColor highlightBackgnd_ = clWindow;
  TColor highlightColor_ = 255;
  TStyledLineBreak lineBreak_ = pbCRLF;
  int32_t lineHeight_ = 0;  // 0: automatic
  int32_t mouseWheelFactor_ = -1;
  unsigned char nullReplacement_ = 0;
  TStyledMemoOptions options_ =
      smoPutExtraSpaces | smoWrapCaret | smoInsertKeyActive | smoWideOverwriteCaret | smoAutoScrollBars;
  bool overwrite_ = false;
  bool passOverCodes_ = true;
  uint32_t progressInterval_ = 300;
  bool readOnly_ = false;
  TMemoPen rightLinePen_{0x808080, 1, psDot};
  int32_t rightLinePos_ = 0;
  int32_t scrollTime_ = 300;
  TColor selBackColor_ = clHighlight;
  TColor selTextColor_ = clHighlightText;
  bool showEndParSelected_ = true;
  uint8_t showNonPrintChars_ = 0;
  TMemoPen specUnderline_{255, 1, psSolid};
  int32_t undoMaxSpace_ = 4194304;
  int32_t undoMaxLevel_ = 65536;
  TpmUpperCase upperCaseType_ = smuAscii;
  TpmUpdateMode updateMode_ = umBackground;
  bool pairCancelling_ = true;
};

}  // namespace vestrel
