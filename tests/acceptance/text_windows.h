#pragma once
// Finding the main window's text windows in a screenshot, and running X tools on the
// session's display: what the window-layout stories share.
#include <cstdint>
#include <string>
#include <vector>

#include "acceptance/acceptance_fixture.h"

namespace vestrel::acceptance {

// A run of one colour down a column of a shot: [top, bottom).
struct ColourRun {
  int top = 0, bottom = 0;
  int Length() const { return bottom - top; }
};

// The runs of `colour` at least 10 pixels long down column x, top to bottom; a line of up to
// 3 pixels of another colour (a mark the window draws) does not split one.
std::vector<ColourRun> RunsOf(const Screenshot& s, int x, uint32_t colour);

// The receive, sent-text and typing windows down the middle of a shot of the main window:
// the first and the last two runs of their background (the spectrum, between them, draws on
// white as well); empty when there are fewer than three.
std::vector<ColourRun> TextWindows(const Screenshot& s, uint32_t background);

// "DISPLAY=" and the session's X display, for a tool started with env.
std::string DisplayVariable(const AcceptanceSession& session);

}  // namespace vestrel::acceptance
