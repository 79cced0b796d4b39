// TStyledMemo: loading and saving the whole text.
#include "memo/byte_stream.h"
#include "memo/styled_memo.h"

namespace vestrel {

void TStyledMemo::LoadFromStream(TStream& stream) {
  const TAlive alive = alive_;
  // A text past the load bounds is refused before anything changes; the memo's own text
  // coming back (Reload) is taken as it is.
  if (!reloading_) store_.CheckLoadBounds(stream, nullReplacement_);
  undo_.Clear();
  modified_ = true;
  const int32_t oldLines = store_.TotalLineCount;
  // Whatever the store took in, the memo stands on it afterwards: nothing selected, every
  // navigator at the start.
  auto settle = [this] {
    ctx_.WidestLineWidth = -1;
    ctx_.WidestLine = -1;
    selLength_ = 0;
    filler_.clear();
    caretX_ = kNoCaretX;
    blockMode_ = false;
    caret_ = &selStart_;
    for (TStyledNavigator* n : ctx_.Navigators) {
      n->Invalidate();
      n->SetPos(0);
    }
    pendingEdit_.reset();
    editsPending_ = 0;
    upPar_ = -1;
  };
  ++updateCount_;
  try {
    TStyledLineBreak found = lineBreak_;
    const TParagraphsList::TProgressEvent progress = [this](TParagraphsList&) { Fire(OnProgress); };
    store_.LoadFromStream(stream, nullReplacement_, (options_ & smoDiscardTrailingSpaces) != 0, found,
                          OnProgress ? progress : TParagraphsList::TProgressEvent(), progressInterval_);
    if (options_ & smoAutoLineBreak) lineBreak_ = found;
  } catch (...) {
    // The bracket is released, so the memo formats and paints again.
    settle();
    --updateCount_;
    if (updateCount_ == 0) EndModifications();
    throw;
  }
  settle();
  if (!Fire(OnParse, 0, store_.CharCount)) return;
  --updateCount_;
  ctx_.TopOrigin = ctx_.LeftOrigin = 0;
  if (!Fire(OnProgress)) return;
  if (updateCount_ > 0) {
    store_.ModLineDelta = store_.TotalLineCount - oldLines;  // the change, as every edit records it
  } else {
    store_.FirstModPar = store_.Count();
    store_.LastModPar = -1;
    store_.ModLineDelta = 0;
    if (WindowReady() || outCanvas_) {
      StopScrollAnimation();
      Repaint();
      if (outCanvas_ || updateMode_ == umImmediate) {
        FormatNow(0, store_.Count() - 1, true, true);
        if (alive.expired()) return;
      } else if (updateMode_ == umBackground) {
        progressTick_ = NowMs();
        SignalFormatThread();
      }
      AfterWholeFormat();
      UpdateCaret(false);
      if (alive.expired()) return;
    }
  }
  Change();
}

void TStyledMemo::SaveToStream(TStream& stream) {
  const TParagraphsList::TProgressEvent progress = [this](TParagraphsList&) { Fire(OnProgress); };
  store_.SaveToStream(stream, pairCancelling_ && store_.StaticFormat,
                      (options_ & smoDiscardTrailingSpaces) != 0, lineBreak_,
                      OnProgress ? progress : TParagraphsList::TProgressEvent(), progressInterval_);
}

void TStyledMemo::Reload(bool keepModified) {
  const bool modified = modified_;
  TMemoryStream m;
  SaveToStream(m);
  m.SetPosition(0);
  reloading_ = true;
  const TAlive alive = alive_;
  try {
    LoadFromStream(m);
  } catch (...) {
    if (!alive.expired()) reloading_ = false;
    throw;
  }
  if (alive.expired()) return;
  reloading_ = false;
  if (keepModified) modified_ = modified;
}

}  // namespace vestrel
