#pragma once
#include <cstdint>

#include "memo/draw_surface.h"
#include "memo/paragraphs_list.h"
#include "memo/styled_navigator.h"

namespace vestrel {

// Breaks one paragraph into display lines for the memo's font, margins and wrap options, laying
// out exactly what the navigator measures: the same runs between style codes and attribute
// starts, the same fonts (RunFontStyle), the same tab stops (TNavigatorContext::TabStep).
//
// memo       the memo's context: wrap options, margins, keywords hook, widest line (raised here)
// canvas     where text is measured; nil: the paragraph becomes one line of width 0
// setFont    select the font of the style at fromLine first; false: the canvas already holds it
//            and spaceWidth/overhang are its metrics
// availWidth the client width in pixels (margins are taken off here)
// par        the paragraph record, nil: store paragraph parIndex
// fromLine   in: the line holding the start of the edit, the earlier one when the start lies on
//            a line boundary (0 for a new paragraph); out: the first line that changed
// oldLine    in: the line holding the end of the new text (the last line starting at or before
//            it); out: the last new line of the recomputed range
// wholePar   recompute every line, with no early stop. Pass it unless the paragraph's lines were
//            shifted in place by the one edit that fromLine and oldLine describe (the store's
//            LinesShifted) or left alone.
// spaceWidth, overhang  in/out: metrics of the selected font, refreshed whenever it changes
// lineDelta  out: change of the paragraph's line count; newLineCount out: the count now
//
// So old lines fromLine..oldLine-lineDelta were replaced by new lines fromLine..oldLine; lines
// before and after are unchanged. The store's line totals and the first lines of later
// paragraphs are the caller's to update (it sums the deltas of a run of paragraphs).
void ReformatParP(TNavigatorContext& memo, TFontMeasure* canvas, bool setFont, int32_t availWidth,
                  ParInfo* par, int32_t parIndex, int32_t& fromLine, int32_t& oldLine, bool wholePar,
                  int32_t& spaceWidth, int32_t& overhang, int32_t& lineDelta, int32_t& newLineCount);

// The wrap width of a paragraph: pixels, or characters when the memo's ColumnWrap is positive;
// never below 1.
int64_t ParWrapWidth(const TNavigatorContext& memo, const ParInfo& par, int32_t availWidth);

}  // namespace vestrel
