// TStyledMemo: the clipboard, column blocks going in and out, keeping a block aside while text
// goes in at the caret, and the memo's own popup menu.
#include <algorithm>
#include <vector>

#include "memo/code_pages.h"
#include "memo/style_codes.h"
#include "memo/styled_memo.h"
#include "memo/styled_memo_strings.h"

namespace vestrel {
namespace {

// The memo's CR LF goes out as the LF of the desktop's text.
TByteString ToClipboardBreaks(TByteView text) {
  TByteString out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

// LF, CR LF and CR coming in each make one paragraph break (CR LF in the memo's text); a NUL,
// which would end the text, is dropped.
TByteString FromClipboardBreaks(TByteView text) {
  TByteString out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    if (c == 0) continue;
    if (c == '\r' || c == '\n') {
      out.append({'\r', '\n'});
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      continue;
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace

// ---- column blocks ----

void TStyledMemo::SelectBlock(int32_t startCol, int32_t startPar, int32_t endPar, int32_t endCol) {
  if (ctx_.WordWrap) return;
  const int32_t last = store_.Count() - 1;
  startPar = std::clamp(startPar, 0, last);
  endPar = std::clamp(endPar, 0, last);
  startCol = std::max(startCol, 0);
  endCol = std::max(endCol, 0);
  const bool codes = store_.StaticFormat;
  const TByteView endText = store_[endPar].Text, startText = store_[startPar].Text;
  const int32_t caretPos = store_[endPar].StartOffset + ColToOffset(endText, endCol, ctx_.TabStops, codes);
  const int32_t otherPos =
      store_[startPar].StartOffset + ColToOffset(startText, startCol, ctx_.TabStops, codes);
  const int32_t extra = ColToExtra(endText, endCol, ctx_.TabStops, codes);
  const TAlive alive = alive_;
  InvalidateSelection();
  setSelStart(caretPos);
  if (alive.expired()) return;
  setSelLength(otherPos - caretPos);
  filler_.assign(static_cast<size_t>(std::max(extra, 0)), ' ');
  blockMode_ = true;
  blockCol1_ = startCol;
  blockCol2_ = endCol;
  InvalidateSelection();
  if (WindowReady()) UpdateCaret(false);
}

void TStyledMemo::InsertBlock(TByteView text) {
  const TAlive alive = alive_;
  const bool keep = options_ & smoNoOverwriteBlocks;
  if (keep) PrepareKeepBlock();
  if (alive.expired()) return;
  // The lines, each ended by its break; a break at the very end adds no empty line.
  std::vector<TByteView> lines;
  for (size_t i = 0, from = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
      if (i < text.size() || i > from) lines.push_back(text.substr(from, i - from));
      if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
      from = i + 1;
    }
  }
  // The caret's column in space widths from the left margin: as drawn when the memo measures,
  // else counted in characters (tabs expanded).
  const bool codes = store_.StaticFormat;
  int32_t column;
  if (ctx_.Measure && ctx_.SpaceWidth > 0) {
    column = (caret_->GetDisplayX() + ctx_.LeftOrigin - ctx_.LeftMargin) / ctx_.SpaceWidth;
  } else {
    column = OffsetToCol(caret_->GetPar().Text, std::min(caret_->GetOffset(), caret_->GetPar().Length()),
                         ctx_.TabStops, codes);
  }
  column += static_cast<int32_t>(filler_.size());
  column = std::max(column, 0);
  const int32_t firstPar = caret_->GetParNb();
  // The lines go in at the caret's column; a selected block stays where it is.
  blockMode_ = false;

  {
    const TUpdateScope scope(*this);
    for (size_t i = 0; i < lines.size(); ++i) {
      const int32_t par = firstPar + static_cast<int32_t>(i);
      while (par >= store_.Count()) {
        paragraphs_->Add(TByteView());
        if (alive.expired()) return;
      }
      const TByteView t = store_[par].Text;
      const int32_t offset = ColToOffset(t, column, ctx_.TabStops, codes);
      const int32_t pad = ColToExtra(t, column, ctx_.TabStops, codes);
      TByteString piece(static_cast<size_t>(std::max(pad, 0)), ' ');
      piece.append(lines[i]);
      setSelStart(store_[par].StartOffset + offset);
      if (alive.expired()) return;
      SetSelTextBuf(piece);
      if (alive.expired()) return;
    }
  }
  if (alive.expired()) return;
  if (keep) EndKeepBlock();
  if (!alive.expired() && updateCount_ == 0) ScrollInView();
}

// ---- keeping a block aside ----

void TStyledMemo::PrepareKeepBlock() {
  if (kept_.depth++ > 0) return;
  const int32_t caret = caret_->GetPos();
  kept_.restore = (options_ & smoPersistentBlocks) && selLength_ != 0;
  if (!kept_.restore) {
    // The text goes in at the caret, the selection is simply let go.
    blockMode_ = false;
    selStart_.SetPos(caret);
    selEnd_.SetPos(caret);
    selLength_ = 0;
    caret_ = &selStart_;
    return;
  }
  kept_.block = blockMode_;
  kept_.end1 = std::make_unique<TStyledNavigator>(&ctx_);
  kept_.end2 = std::make_unique<TStyledNavigator>(&ctx_);
  kept_.end1->Temporary = kept_.end2->Temporary = true;
  kept_.end1->SetPos(caret);
  kept_.end2->SetPos(caret + selLength_);
  if (kept_.block) {
    const bool codes = store_.StaticFormat;
    auto colOf = [&](TStyledNavigator& n) {
      return OffsetToCol(n.GetPar().Text, std::min(n.GetOffset(), n.GetPar().Length()), ctx_.TabStops, codes);
    };
    const bool caretIsEnd = caret_ == &selEnd_;
    const int32_t caretCol = caretIsEnd ? blockCol2_ : blockCol1_;
    const int32_t otherCol = caretIsEnd ? blockCol1_ : blockCol2_;
    kept_.colDelta1 = caretCol - colOf(*kept_.end1);
    kept_.colDelta2 = otherCol - colOf(*kept_.end2);
  }
  blockMode_ = false;
  selStart_.SetPos(caret);
  selEnd_.SetPos(caret);
  selLength_ = 0;
  caret_ = &selStart_;
  BeginUpdate();
}

void TStyledMemo::EndKeepBlock() {
  if (kept_.depth == 0 || --kept_.depth > 0) return;
  if (!kept_.restore) return;
  kept_.restore = false;
  const TAlive alive = alive_;
  std::unique_ptr<TStyledNavigator> end1 = std::move(kept_.end1), end2 = std::move(kept_.end2);
  move_.SetPos(selStart_.GetPos());  // the end of the new text
  if (kept_.block) {
    const bool codes = store_.StaticFormat;
    auto colOf = [&](TStyledNavigator& n) {
      return OffsetToCol(n.GetPar().Text, std::min(n.GetOffset(), n.GetPar().Length()), ctx_.TabStops, codes);
    };
    const int32_t col1 = colOf(*end1) + kept_.colDelta1, col2 = colOf(*end2) + kept_.colDelta2;
    SelectBlock(col2, end2->GetParNb(), end1->GetParNb(), col1);
    if (alive.expired()) return;
  } else {
    selStart_.SetPos(std::min(end1->GetPos(), end2->GetPos()));
    selEnd_.SetPos(std::max(end1->GetPos(), end2->GetPos()));
    selLength_ = end2->GetPos() - end1->GetPos();
    InvalidateSelection();
  }
  filler_.clear();
  caret_ = &move_;
  EndUpdate();
  if (alive.expired()) return;
  if (updateCount_ == 0) ScrollInView();
}

// ---- clipboard ----

void TStyledMemo::CopyToClipboard() {
  if (!clipboard_ || selLength_ == 0) return;
  TByteString text;
  if (blockMode_)
    text = SelectedBlockText();
  else if (options_ & smoPlainClipboard)
    text = StripCodes(getSelText());
  else
    text = getSelText();
  clipboard_->SetText(ToUtf16(ToClipboardBreaks(text), CodePage()), blockMode_);
}

void TStyledMemo::CutToClipboard() {
  const TAlive alive = alive_;
  CopyToClipboard();
  if (alive.expired() || !clipboard_) return;
  setSelText(TByteView());
}

TByteString TStyledMemo::ClipboardBytes() {
  const std::u16string text = clipboard_->Text();
  return FromClipboardBreaks(FromUtf16(text, CodePage()));
}

void TStyledMemo::PasteFromClipboard() {
  if (!clipboard_) return;
  const TAlive alive = alive_;
  const bool keep = options_ & smoNoOverwriteBlocks;
  if (keep) PrepareKeepBlock();
  if (alive.expired()) return;
  bool blockPaste = false;
  if (options_ & smoBlockSelection) {
    const TByteString marker = clipboard_->BlockMarker();
    blockPaste = !marker.empty() && marker[0] == kColumnBlockMarker;
  }
  if (clipboard_->HasText()) {
    undoNewRecord_ = true;
    const TByteString text = ClipboardBytes();
    if (blockPaste)
      InsertBlock(text);
    else
      setSelText(text);
    if (alive.expired()) return;
    undoNewRecord_ = true;
  }
  if (keep) EndKeepBlock();
}

// ---- the popup menu ----

TMemoPopupMenu& TStyledMemo::getInternalPopup() {
  if (!popup_) {
    popup_ = std::make_unique<TMemoPopupMenu>();
    popup_->Items = {{"&Undo", kPopupUndo, true},
                     {"&Redo", kPopupRedo, true},
                     {"-", 0, true},
                     {"Cu&t", kPopupCut, true},
                     {"&Copy", kPopupCopy, true},
                     {"&Paste", kPopupPaste, true},
                     {"-", 0, true},
                     {"&Select all", kPopupSelectAll, true}};
  }
  return *popup_;
}

void TStyledMemo::ShowInternalPopup(TPoint at) {
  if (options_ & smoNoDefaultPopup) return;
  TMemoPopupMenu& menu = getInternalPopup();
  const bool editable = !readOnly_ && !displayOnly_;
  for (TMemoPopupItem& item : menu.Items) {
    switch (item.Tag) {
      case kPopupUndo:
        item.Enabled = CanUndo();
        break;
      case kPopupRedo:
        item.Enabled = CanRedo();
        break;
      case kPopupCut:
        item.Enabled = selLength_ != 0 && editable;
        break;
      case kPopupCopy:
        item.Enabled = selLength_ != 0;
        break;
      case kPopupPaste:
        item.Enabled = clipboard_ && clipboard_->HasText() && editable;
        break;
      case kPopupSelectAll:
        item.Enabled = true;
        break;
      default:
        break;
    }
  }
  if (!Fire(OnInternalPopup)) return;
  if (WindowReady()) window_->ShowPopupMenu(*popup_, at);
}

void TStyledMemo::PopupClickHandler(int32_t tag) {
  const TAlive alive = alive_;
  bool scroll = true;
  switch (tag) {
    case kPopupUndo:
      Undo();
      break;
    case kPopupRedo:
      Redo();
      break;
    case kPopupCut:
      CutToClipboard();
      break;
    case kPopupCopy:
      CopyToClipboard();
      scroll = false;
      break;
    case kPopupPaste:
      PasteFromClipboard();
      break;
    case kPopupSelectAll:
      SelectAll();
      scroll = false;
      break;
    default:
      return;
  }
  if (scroll && !alive.expired()) ScrollInView();
}

}  // namespace vestrel
