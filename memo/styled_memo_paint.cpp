// TStyledMemo: painting. Each display line is composed in the window's one-line image (its
// background, selection, text runs, marks) and reaches the window in one copy; the text is laid
// out exactly as the navigator measures it, so caret, clicks and glyphs agree.
#include <algorithm>

#include "memo/style_codes.h"
#include "memo/styled_memo.h"

namespace vestrel {
namespace {

bool ColorSet(TColor c) {
  return c != -1 && c != clNone;
}

// a mod b for b > 0, never negative.
int64_t PosMod(int64_t a, int64_t b) {
  const int64_t r = a % b;
  return r < 0 ? r + b : r;
}

}  // namespace

void TStyledMemo::Paint(DrawSurface& dc, const TRect& area) {
  if (!WindowReady() || updateCount_ > 0 || painting_ || formatting_) return;
  painting_ = true;
  const bool caretLaidOut = store_[caret_->GetParNb()].States & smpFormatted;
  const int64_t h = ctx_.LineHeight;
  // The paragraphs of the lines to paint are laid out on the way.
  FormatForPaint(std::max<int64_t>(0, (ShownTop() + area.Top) / h),
                 std::max<int64_t>(0, (area.Bottom + ShownTop() - 1) / h));
  const int64_t shownTop = ShownTop();
  const int64_t total = store_.VisibleLineCount;
  TPaintTarget target;
  target.width = textWidth_;
  target.left = ShownLeft();
  target.focused = window_->Focused();
  auto background = [&](const TRect& r) {
    if (r.Bottom <= r.Top || r.Right <= r.Left) return;
    if (backgroundBmp_.Empty()) {
      dc.FillRect(r, color_);
      return;
    }
    // The picture is tiled from the scroll origin, so that it moves with the text.
    dc.TileImage(r, backgroundBmp_, static_cast<int32_t>(-PosMod(ShownLeft(), backgroundBmp_.Width)),
                 static_cast<int32_t>(-PosMod(shownTop, backgroundBmp_.Height)));
  };

  if (shownTop < 0)
    background(
        {area.Left, area.Top, area.Right, static_cast<int32_t>(std::min<int64_t>(-shownTop, area.Bottom))});
  const int64_t first = std::max<int64_t>(0, (shownTop + area.Top) / h);
  const int64_t last = std::max<int64_t>(0, (area.Bottom + shownTop - 1) / h);
  int64_t y = first * h - shownTop;
  if (first < total && area.Bottom > area.Top) {
    scratch2_.setVisibleLineNumber(static_cast<int32_t>(first));
    int32_t par = scratch2_.GetParNb();
    int32_t line = scratch2_.GetParLine();
    for (int64_t n = first; n <= last && n < total; ++n) {
      PaintLine(dc, par, line, static_cast<int32_t>(y), target);
      y += h;
      if (++line >= GetLineCount(store_[par])) {
        line = 0;
        do ++par;
        while (par < store_.Count() && (store_[par].States & smpHidden));
        if (par >= store_.Count()) break;
      }
    }
  }
  background({area.Left, static_cast<int32_t>(std::clamp<int64_t>(y, area.Top, area.Bottom)), area.Right,
              area.Bottom});

  // The end of the text, and the right margin line.
  if (endOfTextMark_.Color != -1) {
    const int64_t markY = total * h - shownTop + endOfTextMark_.Width / 2;
    if (markY >= area.Top && markY < area.Bottom) {
      dc.SetPen(endOfTextMark_);
      dc.MoveTo(area.Left, static_cast<int32_t>(markY));
      dc.LineTo(area.Right, static_cast<int32_t>(markY));
    }
  }
  if (rightLinePos_ != 0) {
    const int64_t base = int64_t{ctx_.LeftMargin} - ShownLeft();
    const int64_t x = rightLinePos_ > 0 ? base + int64_t{rightLinePos_} * std::max(ctx_.SpaceWidth, 1)
                                        : base - rightLinePos_;
    if (x >= area.Left && x < area.Right) {
      dc.SetPen(rightLinePen_);
      dc.MoveTo(static_cast<int32_t>(x), 0);
      dc.LineTo(static_cast<int32_t>(x), window_->ClientHeight());
    }
  }
  painting_ = false;
  if (!caretLaidOut) UpdateCaret(false);
}

void TStyledMemo::PaintLine(DrawSurface& dc, int32_t parIndex, int32_t lineIndex, int32_t y,
                            const TPaintTarget& target) {
  const ParInfo& p = store_[parIndex];
  const LineInfo& l = GetLine(p, lineIndex);
  const bool parEnd = lineIndex == GetLineCount(p) - 1;
  const int32_t w = target.width;
  const int32_t h = ctx_.LineHeight;
  const TColor parBack = smsGetParBackgnd(p), parFore = smsGetParForegnd(p);
  const bool parBackSet = ColorSet(parBack), parForeSet = ColorSet(parFore);

  dc.BeginLine(w, h);
  if (parBackSet) {
    dc.FillRect({0, 0, w, h}, parBack);
  } else if (!backgroundBmp_.Empty()) {
    dc.TileImage({0, 0, w, h}, backgroundBmp_,
                 static_cast<int32_t>(-PosMod(target.left, backgroundBmp_.Width)),
                 static_cast<int32_t>(-PosMod(int64_t{y} + ShownTop(), backgroundBmp_.Height)));
  } else {
    dc.FillRect({0, 0, w, h}, color_);
  }

  // The selection on this line, in offsets of the paragraph.
  const bool focused = target.focused;
  const int32_t selA = std::min(selStart_.GetPos(), selEnd_.GetPos()) - p.StartOffset;
  const int32_t selB = std::max(selStart_.GetPos(), selEnd_.GetPos()) - p.StartOffset;
  const bool anySel = selA != selB && (focused || !hideSelection_);
  const bool showSel = anySel && !blockMode_;
  const bool winColors = options_ & smoWindowsSelColors;
  // A column block covers its columns, in blank widths from the left margin, on the lines
  // between the selection ends.
  TRect blockBand{};
  if (anySel && blockMode_) {
    const int32_t n = p.FirstLine + lineIndex;
    const int32_t l1 = selStart_.getVisibleLineNumber(), l2 = selEnd_.getVisibleLineNumber();
    if (n >= std::min(l1, l2) && n <= std::max(l1, l2)) {
      const int64_t sw = std::max(ctx_.SpaceWidth, 1);
      const int64_t base = int64_t{ctx_.LeftMargin} - target.left;
      blockBand = {
          static_cast<int32_t>(std::clamp<int64_t>(base + std::min(blockCol1_, blockCol2_) * sw, -1, w + 1)),
          0,
          static_cast<int32_t>(std::clamp<int64_t>(base + std::max(blockCol1_, blockCol2_) * sw, -1, w + 1)),
          h};
    }
  }
  // Past this line: on a paragraph's last line, the selection takes its break along.
  const bool beyond = showSel && selA <= l.Stop && (parEnd ? selB > p.Length() : selB > l.Stop);
  const bool onLine = showSel && ((selA < l.Stop && selB > l.Start) || beyond);

  const int32_t x0 = static_cast<int32_t>(int64_t{ctx_.LineOriginX(l)} + ctx_.LeftOrigin - target.left);
  const bool codes = store_.StaticFormat;
  const std::vector<DynInfoRec>& dyns = GetDynArray(p);
  const int32_t nd = static_cast<int32_t>(dyns.size());
  int32_t di = 0;
  uint8_t style = 0;
  auto dyn = [&]() -> const DynInfoRec& {
    return di == 0 ? GetStartDynAttrib(p) : dyns[static_cast<size_t>(di - 1)];
  };
  // Justified lines but a paragraph's last spread the spare width over their blanks, as the
  // navigator measures them.
  const int32_t free = ctx_.ClientWidth - ctx_.LeftMargin - ctx_.RightMargin - l.Width;
  const bool stretch = ctx_.Justified && l.JustifyFrom < l.Stop && l.BlankCount > 0 && free > 0;
  const int32_t per = stretch ? free / l.BlankCount : 0;
  const int32_t rem = stretch ? free % l.BlankCount : 0;
  int32_t acc = rem / 2, stretched = 0;
  const int32_t tabStep = ctx_.TabStep();
  const int32_t chunk = ctx_.MaxCharsPerCall;
  // A wrapped line's trailing blanks are not drawn, unless blanks are shown.
  int32_t drawEnd = l.Stop;
  if (!parEnd && !(showNonPrintChars_ & smNPSpace))
    while (drawEnd > l.Start && p.Text[static_cast<size_t>(drawEnd - 1)] == ' ') --drawEnd;

  int64_t x = 0;  // from the line's start
  int64_t sx = 0, ex = 0;
  auto at = [&](int32_t q) {
    if (q == selA) sx = x;
    if (q == selB) ex = x;
  };
  if (selA <= l.Start) sx = 0;
  int32_t font = -1;
  auto select = [&](uint8_t ext) {
    if (ext != font) dc.SelectFont(ext);
    font = ext;
  };
  // Colours of a run: the paragraph's or the font's, the highlight, an active attribute's, and
  // the selection's.
  auto colors = [&](uint8_t ext, bool selected) {
    TMemoFont f;
    SetupFont(f, ext);
    TColor text = parForeSet ? parFore : f.Color;
    TColor back = 0;
    bool opaque = false;
    if ((options_ & smoKeepParBackgnd) && parBackSet) {
      back = parBack;
      opaque = true;
    }
    if (ext & 0x10) {
      text = highlightColor_;
      back = highlightBackgnd_;
      opaque = true;
    }
    const DynInfoRec& d = dyn();
    if (d.Flags & kDynActive) {
      if (!parForeSet && ColorSet(d.Foregnd)) text = d.Foregnd;
      if (!parBackSet && ColorSet(d.Backgnd)) {
        back = d.Backgnd;
        opaque = true;
      }
    }
    if (selected && winColors) {
      text = selTextColor_;
      opaque = false;
    }
    dc.SetTextColors(text, back, opaque);
    return std::pair<TColor, bool>(back, opaque);
  };
  // The line is walked twice: first measuring only, for the selection band, which with the
  // system's colours lies under the text; then drawing.
  auto walk = [&](bool draw) {
    x = 0;
    di = 0;
    while (di < nd && dyns[static_cast<size_t>(di)].Start <= l.Start) ++di;
    style = codes ? l.StartStyle : 0;
    acc = rem / 2;
    stretched = 0;
    font = -1;
    int32_t q = l.Start;
    while (q < l.Stop) {
      while (di < nd && dyns[static_cast<size_t>(di)].Start <= q) ++di;
      at(q);
      const unsigned char c = p.Text[static_cast<size_t>(q)];
      if (codes && IsStyleCode(c)) {
        XORStyleCode(style, c);
        ++q;
        continue;
      }
      const uint8_t flags = dyn().Flags;
      const uint8_t ext = RunFontStyle(style, flags, ctx_.FontStyle);
      const uint8_t full = AttrToExtFontStyles(style, flags, ctx_.FontStyle);
      const bool selected = showSel && q >= selA && q < selB;
      const bool drawn = draw && q < drawEnd;
      select(ext);
      if (c == '\t') {
        const int64_t tw = tabStep > 0 ? (x / tabStep + 1) * tabStep - x : 0;
        if (drawn) {
          const auto [back, opaque] = colors(full, selected);
          const int32_t left = static_cast<int32_t>(x0 + x);
          if (opaque && !(selected && winColors))
            dc.FillRect({left, baseline_ - fontMetrics_.Ascent, static_cast<int32_t>(left + tw),
                         baseline_ + fontMetrics_.Descent},
                        back);
          if (showNonPrintChars_ & smNPTab) {
            static const unsigned char kTabMark = 0xBB;
            TPoint pt{left, baseline_};
            PutText(dc, pt, &kTabMark, 1, chunk, w, false, 0);
          }
        }
        x += tw;
        ++q;
        continue;
      }
      if (c == ' ' && stretch && q >= l.JustifyFrom) {
        int64_t bw = GetTextWidth(dc, &c, 1, chunk);
        if (stretched < l.BlankCount) {
          bw += per;
          acc += rem;
          if (acc >= l.BlankCount) {
            ++bw;
            acc -= l.BlankCount;
          }
          ++stretched;
        }
        if (drawn) {
          const auto [back, opaque] = colors(full, selected);
          if (opaque && !(selected && winColors)) {
            const int32_t left = static_cast<int32_t>(x0 + x);
            dc.FillRect({left, baseline_ - fontMetrics_.Ascent, static_cast<int32_t>(left + bw),
                         baseline_ + fontMetrics_.Descent},
                        back);
          }
        }
        x += bw;
        ++q;
        continue;
      }
      // A run up to the next place where the look or the measure changes.
      int32_t end = q + 1;
      while (end < l.Stop) {
        const unsigned char e = p.Text[static_cast<size_t>(end)];
        if ((codes && IsStyleCode(e)) || e == '\t' || (e == ' ' && stretch && end >= l.JustifyFrom)) break;
        if (di < nd && dyns[static_cast<size_t>(di)].Start <= end) break;
        if (end == selA || end == selB || end == drawEnd) break;
        ++end;
      }
      const int32_t n = end - q;
      const int64_t rw = GetTextWidth(dc, p.Text.data() + q, n, chunk);
      if (drawn) {
        colors(full, selected);
        TPoint pt{static_cast<int32_t>(std::clamp<int64_t>(x0 + x, INT32_MIN / 2, INT32_MAX / 2)), baseline_};
        PutText(dc, pt, p.Text.data() + q, n, chunk, w, false, 0);
        if ((flags & kDynActive) && (flags & 0x18) == 0x18) {
          dc.SetPen(specUnderline_);
          WavyLine(dc, static_cast<int32_t>(std::clamp<int64_t>(x0 + x, INT32_MIN / 2, INT32_MAX / 2)),
                   static_cast<int32_t>(std::clamp<int64_t>(x0 + x + rw, INT32_MIN / 2, INT32_MAX / 2)),
                   wavyY_, wavyAmplitude_);
        }
      }
      x += rw;
      q = end;
    }
    at(l.Stop);
  };

  walk(false);
  const int64_t textEnd = x;
  if (beyond) ex = (options_ & smoFullLineSelect) ? int64_t{w} - x0 : textEnd;
  const TRect band{static_cast<int32_t>(std::clamp<int64_t>(x0 + sx, -1, w + 1)), 0,
                   static_cast<int32_t>(std::clamp<int64_t>(x0 + ex, -1, w + 1)), h};
  if (onLine && winColors && band.Right > band.Left) dc.FillRect(band, selBackColor_);
  if (winColors && blockBand.Right > blockBand.Left) dc.FillRect(blockBand, selBackColor_);
  walk(true);
  if (parEnd && (showNonPrintChars_ & smNPReturn)) {
    static const unsigned char kReturnMark = 0xB6;
    select(RunFontStyle(style, dyn().Flags, ctx_.FontStyle));
    colors(AttrToExtFontStyles(style, dyn().Flags, ctx_.FontStyle), false);
    TPoint pt{static_cast<int32_t>(std::clamp<int64_t>(x0 + textEnd, INT32_MIN / 2, INT32_MAX / 2)),
              baseline_};
    PutText(dc, pt, &kReturnMark, 1, chunk, w, false, 0);
  }
  if (onLine && !winColors && band.Right > band.Left) dc.InvertRect(band);
  if (!winColors && blockBand.Right > blockBand.Left) dc.InvertRect(blockBand);
  // A selected paragraph end shows as a small block half a blank wide.
  if (parEnd && showSel && beyond && showEndParSelected_ && !(options_ & smoFullLineSelect) && !blockMode_ &&
      !(showNonPrintChars_ & smNPReturn)) {
    const int32_t left = static_cast<int32_t>(std::clamp<int64_t>(x0 + textEnd, -1, w + 1));
    const TRect mark{left, h / 3, left + std::max(ctx_.SpaceWidth / 2, 1), h - h / 3};
    if (winColors)
      dc.FillRect(mark, selBackColor_);
    else
      dc.InvertRect(mark);
  }
  if (collapseHandler_)
    collapseHandler_->DrawLine(*this, dc, p.FirstLine + lineIndex, parIndex, h, target.left);
  dc.EndLine(y);
}

}  // namespace vestrel
