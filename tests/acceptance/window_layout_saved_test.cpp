// ctest-labels: acceptance
// The window as the operator left it: moved by its title bar, resized by its corner, its rows
// resized by the bars between them; Setup, Save, closed, started again. It comes back with
// the same frame, size and rows, and stays so over three more such rounds.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "acceptance/acceptance_fixture.h"
#include "acceptance/text_windows.h"
#include "support/child_process.h"

namespace vestrel::acceptance {
namespace {

using namespace std::chrono_literals;

// What the operator sees of the layout: the frame on the screen, the size inside it and the
// heights of the text windows (receive, sent, typing: the white runs down the middle).
struct Layout {
  Rect frame, client;
  std::vector<int> rows;
};

Layout LayoutOf(const AcceptanceSession& session, uint32_t textBackground) {
  Layout l;
  l.frame = session.FrameGeometry();
  l.client = session.Geometry();
  const Screenshot shot = session.WindowShot();
  const std::vector<ColourRun> runs = TextWindows(shot, textBackground);
  for (const ColourRun& r : runs) l.rows.push_back(r.Length());
  return l;
}

std::string Describe(const Layout& l) {
  std::ostringstream s;
  s << "frame " << l.frame.x << "," << l.frame.y << " " << l.frame.width << "x" << l.frame.height
    << ", client " << l.client.width << "x" << l.client.height << ", rows";
  for (int r : l.rows) s << " " << r;
  return s.str();
}

bool Same(const Layout& a, const Layout& b) {
  return a.frame.x == b.frame.x && a.frame.y == b.frame.y && a.frame.width == b.frame.width &&
         a.frame.height == b.frame.height && a.client.width == b.client.width &&
         a.client.height == b.client.height && a.rows == b.rows;
}

// The items of the menu bar in a shot of the client area: runs of columns with ink in the bar's
// text rows, as [left, right) pairs.
std::vector<std::pair<int, int>> MenuBarItems(const Screenshot& s) {
  const Rect band{0, 3, s.width, 13};
  const uint32_t bg = s.MostCommon(band);
  std::vector<std::pair<int, int>> items;
  int lastInk = -100;
  for (int x = 0; x < s.width; ++x) {
    bool ink = false;
    for (int y = band.y; y < band.y + band.height && !ink; ++y) ink = s.At(x, y) != bg;
    if (!ink) continue;
    if (x - lastInk > 6)
      items.push_back({x, x + 1});
    else
      items.back().second = x + 1;
    lastInk = x;
  }
  return items;
}

// A window of the program by its exact title; "" when none is shown.
std::string WindowNamed(const AcceptanceSession& session, const std::string& title) {
  std::string out;
  std::string pattern = "^";
  pattern.append(title).append("$");
  if (!session.XdoTool({"search", "--onlyvisible", "--name", pattern}, &out)) return "";
  return out.substr(0, out.find('\n'));
}

// Where X has a window's client area (xwininfo's absolute corner and size).
Rect WindowRect(const AcceptanceSession& session, const std::string& id) {
  const test::RunResult info = test::RunProgram({"env", DisplayVariable(session), "xwininfo", "-id", id});
  auto value = [&](const char* key) {
    const size_t at = info.out.find(key);
    return at == std::string::npos ? 0 : std::atoi(info.out.c_str() + at + std::strlen(key));
  };
  return {value("Absolute upper-left X:"), value("Absolute upper-left Y:"), value("Width:"),
          value("Height:")};
}

class WindowLayout : public AcceptanceTest {
 protected:
  // Setup from the menu bar, "Save", the dialog closed; true once the file was written.
  bool SetupSave(AcceptanceSession& session) {
    // A save writes the file again even when its text stays the same: the time tells.
    auto written = [&] {
      std::error_code ec;
      return fs::last_write_time(session.SettingsPath(), ec);
    };
    const fs::file_time_type before = written();
    const std::vector<std::pair<int, int>> items = MenuBarItems(session.WindowShot());
    if (items.size() < 2) {  // "File", "Setup", ...
      ADD_FAILURE() << "no menu bar items";
      return false;
    }
    // The pointer moves onto the item, as a hand does, before the click.
    session.XdoTool({"mousemove", "--sync", "0", "0"});
    if (!session.Click((items[1].first + items[1].second) / 2, 9)) return false;
    std::string dialog;
    if (!AcceptanceSession::WaitFor([&] { return !(dialog = WindowNamed(session, "Setup")).empty(); }, 30s)) {
      ADD_FAILURE() << "no Setup dialog; menu items " << items.size() << " first at " << items[0].first << "-"
                    << items[0].second << ", second at " << items[1].first << "-" << items[1].second;
      return false;
    }
    // The buttons "OK", "Apply", "Save", "Cancel" stand at the dialog's lower right, once it
    // is drawn.
    Rect d;
    int y = 0;
    std::vector<std::pair<int, int>> buttons;
    if (!AcceptanceSession::WaitFor(
            [&] {
              d = WindowRect(session, dialog);
              const Screenshot shot = session.Shot().Crop(d);
              y = SaveButtonRow(shot);
              buttons = ButtonsInRow(shot, y);
              return buttons.size() >= 4;
            },
            30s)) {
      ADD_FAILURE() << "no buttons in the Setup dialog";
      return false;
    }
    auto click = [&](const std::pair<int, int>& button) {
      session.XdoTool({"mousemove", "--sync", std::to_string(d.x + (button.first + button.second) / 2),
                       std::to_string(d.y + y), "click", "1"});
    };
    click(buttons[buttons.size() - 2]);  // "Save"
    const bool saved = AcceptanceSession::WaitFor([&] { return written() != before; }, 30s);
    click(buttons.back());  // "Cancel": the file is written already
    const bool closed =
        AcceptanceSession::WaitFor([&] { return WindowNamed(session, "Setup").empty(); }, 30s);
    EXPECT_TRUE(closed) << "Cancel did not close the Setup dialog";
    return saved;
  }

  // A row through the dialog's buttons: 10 pixels above the lowest row with four or more
  // separate buttons (their lower edge).
  static int SaveButtonRow(const Screenshot& s) {
    for (int y = s.height - 4; y > s.height / 2; --y)
      if (ButtonsInRow(s, y).size() >= 4) return y - 10;
    return s.height - 20;
  }
  // Runs of 40 pixels or more that are not the dialog's background, along row y.
  static std::vector<std::pair<int, int>> ButtonsInRow(const Screenshot& s, int y) {
    const uint32_t bg = s.At(2, y);
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < s.width;) {
      if (s.At(x, y) == bg) {
        ++x;
        continue;
      }
      int end = x;
      while (end < s.width && s.At(end, y) != bg) ++end;
      if (end - x >= 40) runs.push_back({x, end});
      x = end;
    }
    return runs;
  }
};

TEST_F(WindowLayout, MovedResizedAndItsRowsDraggedTheWindowComesBackAsLeftOverThreeRounds) {
  AcceptanceSession session;
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.WaitEngineStarted()) << session.ProgramOutput();
  ASSERT_TRUE(session.Activate());

  const Screenshot blank = session.WindowShot();
  const Rect receive = FindReceivePane(blank);
  ASSERT_GT(receive.height, 40) << "no receive window found";
  const uint32_t white = blank.MostCommon(receive);
  const Layout designed = LayoutOf(session, white);
  ASSERT_EQ(designed.rows.size(), 3u) << Describe(designed);

  // Moved by the title bar.
  ASSERT_TRUE(session.Drag(200, -8, 350, 112));
  EXPECT_TRUE(
      AcceptanceSession::WaitFor([&] { return session.FrameGeometry().x == designed.frame.x + 150; }, 20s))
      << Describe(LayoutOf(session, white));
  // Resized by the frame's lower right corner.
  {
    const Rect f = session.FrameGeometry(), c = session.Geometry();
    const int x = f.x + f.width - 2 - c.x, y = f.y + f.height - 2 - c.y;
    ASSERT_TRUE(session.Drag(x, y, x + 90, y + 70));
  }
  EXPECT_TRUE(AcceptanceSession::WaitFor(
      [&] { return session.Geometry().height > designed.client.height + 40; }, 20s))
      << Describe(LayoutOf(session, white));
  // The bar under the receive window dragged down, the one above the typing window up.
  const Layout resized = LayoutOf(session, white);
  ASSERT_EQ(resized.rows.size(), 3u) << Describe(resized);
  {
    const Screenshot shot = session.WindowShot();
    const std::vector<ColourRun> runs = TextWindows(shot, white);
    ASSERT_EQ(runs.size(), 3u);
    const int x = shot.width / 3;
    ASSERT_TRUE(session.Drag(x, runs[0].bottom + 1, x, runs[0].bottom + 41));
    const Screenshot after = session.WindowShot();
    const std::vector<ColourRun> moved = TextWindows(after, white);
    ASSERT_EQ(moved.size(), 3u);
    ASSERT_TRUE(session.Drag(x, moved[2].top - 2, x, moved[2].top - 32));
  }
  Layout left;
  EXPECT_TRUE(AcceptanceSession::WaitFor(
      [&] {
        left = LayoutOf(session, white);
        return left.rows.size() == 3 && left.rows[0] > resized.rows[0] + 20 &&
               left.rows[2] > resized.rows[2] + 10;
      },
      20s))
      << Describe(left) << " after " << Describe(resized);
  session.KeepShot(session.WindowShot(), "acceptance_window_layout_left");

  // Saved, closed and started again, four times: the same window each time, and the same file.
  std::string saved;
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(::testing::Message() << "round " << round);
    ASSERT_TRUE(SetupSave(session)) << "Setup, Save wrote nothing";
    const std::string file = session.ReadFile("VESTREL.INI");
    if (round == 0) saved = file;
    EXPECT_EQ(file, saved);
    ASSERT_TRUE(session.ClickCloseButton());
    ASSERT_EQ(session.WaitExit(), 0) << session.ProgramOutput();
    ASSERT_TRUE(session.Restart());
    ASSERT_TRUE(session.WaitEngineStarted()) << session.ProgramOutput();
    Layout back;
    EXPECT_TRUE(AcceptanceSession::WaitFor(
        [&] {
          back = LayoutOf(session, white);
          return Same(back, left);
        },
        30s))
        << Describe(back) << " but left as " << Describe(left);
    ASSERT_TRUE(session.Activate());
  }
  session.Terminate();
  EXPECT_EQ(session.WaitExit(), 0) << session.ProgramOutput();
}

}  // namespace
}  // namespace vestrel::acceptance
