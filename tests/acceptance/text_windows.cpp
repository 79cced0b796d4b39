#include "acceptance/text_windows.h"

namespace vestrel::acceptance {

// The runs of `colour` at least 10 pixels long down column x, top to bottom; a line of up to
// 3 pixels of another colour (a mark the window draws) does not split one.
std::vector<ColourRun> RunsOf(const Screenshot& s, int x, uint32_t colour) {
  std::vector<ColourRun> runs;
  for (int y = 0; y < s.height;) {
    if (s.At(x, y) != colour) {
      ++y;
      continue;
    }
    ColourRun r{y, y};
    for (;;) {
      while (r.bottom < s.height && s.At(x, r.bottom) == colour) ++r.bottom;
      int resume = r.bottom;
      while (resume < s.height && resume - r.bottom < 3 && s.At(x, resume) != colour) ++resume;
      if (resume < s.height && resume > r.bottom && s.At(x, resume) == colour) {
        r.bottom = resume;
        continue;
      }
      break;
    }
    if (r.Length() >= 10) runs.push_back(r);
    y = r.bottom;
  }
  return runs;
}

// The receive, sent-text and typing windows down the middle of a shot: the first and the last
// two runs of their background (the spectrum, between them, draws on white as well).
std::vector<ColourRun> TextWindows(const Screenshot& s, uint32_t background) {
  const std::vector<ColourRun> runs = RunsOf(s, s.width / 2, background);
  if (runs.size() < 3) return {};
  return {runs.front(), runs[runs.size() - 2], runs.back()};
}

std::string DisplayVariable(const AcceptanceSession& session) {
  std::string v = "DISPLAY=";
  return v.append(session.Display());
}

}  // namespace vestrel::acceptance
