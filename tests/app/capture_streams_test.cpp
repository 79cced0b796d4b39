// ctest-labels: unit
// The text and KISS capture files in a temporary directory: appending and creating, files
// that cannot be opened, the close messages, a full disk, opening again while open, the
// shutdown, status panel 4, the receive window saved for the editor, and the Unix time.
#include "app/capture_streams.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "io/capture_status.h"
#include "memo/styled_memo.h"
#include "memo/styled_memo_strings.h"
#include "support/fake_clock.h"
#include "support/fake_file_dialogs.h"
#include "support/recording_memo_window.h"
#include "support/temp_dir.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using Box = std::pair<std::string, std::string>;  // caption, text

class Recorder : public CaptureStreamsHost, public MessageBoxSink, public ShellOpener {
 public:
  void SetMenuEnabled(std::string_view item, bool enabled) override {
    menu.push_back(std::string(item) + (enabled ? " on" : " off"));
  }
  void SetDisplayPause(int ticks) override { pauses.push_back(ticks); }
  void ShowCaptureStatus() override { panel4 = std::string(CaptureStatusText(text(), kiss(), false)); }
  void ShowMessage(std::string_view caption, std::string_view t) override { boxes.emplace_back(caption, t); }
  bool OpenDocument(const std::string& path) override {
    opened.push_back(path);
    return true;
  }

  std::function<bool()> text, kiss;
  std::vector<std::string> menu, opened;
  std::vector<int> pauses;
  std::vector<Box> boxes;
  std::string panel4 = "(never shown)";
};

std::string Contents(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

struct Captures {
  Captures() {
    r.text = [this] { return streams.TextCaptureOn(); };
    r.kiss = [this] { return streams.KissCaptureOn(); };
  }
  // Writes a character to the text file or a frame to the KISS file, as their writers do.
  void Put(bool kiss, std::string_view bytes) {
    if (kiss) {
      streams.kiss().WriteKiss({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    } else {
      for (char c : bytes) text.Put(static_cast<uint8_t>(c));
    }
  }
  bool Open(bool kiss, const std::string& name) {
    return kiss ? streams.OpenKissCaptureFile(name) : streams.OpenTextCaptureFile(name);
  }
  void Close(bool kiss) { kiss ? streams.CloseKISSCaptureFile1Click() : streams.CloseCaptureFile1Click(); }
  void Click(bool kiss) { kiss ? streams.OpenKISSCaptureFile1Click() : streams.OpenCaptureFile1Click(); }
  bool On(bool kiss) const { return kiss ? streams.KissCaptureOn() : streams.TextCaptureOn(); }

  test::TempDir dir;
  Recorder r;
  test::FakeFileDialogs dialogs;
  TextCaptureStream text;
  TCaptureStreams streams{r, r, dialogs, r, text};
};

struct Kind {
  bool kiss;
  const char* name;
  const char* title;
  const char* open;
  const char* close;
  const char* closed;
  const char* errors;
};
constexpr Kind kKinds[] = {
    {false, "text", "Open capture file", "Open Capture File (Alt-L)", "Close Capture File (Alt-L)",
     "Capture file was closed", "There was errors in capture file!"},
    {true, "KISS", "Open KISS capture file", "Open KISS Capture File", "Close KISS Capture File",
     "KISS Capture file was closed", "There was errors in KISS capture file!"},
};

TEST(CaptureStreams, OpenAppendCloseFromTheMenu) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    Captures c;
    const fs::path file = c.dir / "cap.txt";
    Write(file, "old\r\n");
    c.dialogs.answer = file.string();
    c.Click(k.kiss);
    ASSERT_EQ(c.dialogs.requests.size(), 1u);
    const FileDialogRequest& q = c.dialogs.requests[0];
    EXPECT_EQ(q.title, k.title);
    EXPECT_EQ(q.filter, "Text files (*.txt);;All files (*)");
    EXPECT_FALSE(q.confirmOverwrite);  // appended to, never replaced
    EXPECT_TRUE(q.hideReadOnly);
    EXPECT_TRUE(c.On(k.kiss));
    EXPECT_EQ(c.r.menu, (std::vector<std::string>{std::string(k.open) + " off", std::string(k.close) + " on"}));
    EXPECT_EQ(c.r.panel4, k.kiss ? "CapK" : "CapT");
    c.Put(k.kiss, "new");
    c.r.menu.clear();
    c.Close(k.kiss);
    EXPECT_FALSE(c.On(k.kiss));
    EXPECT_EQ(Contents(file), "old\r\nnew");
    EXPECT_EQ(c.r.boxes, (std::vector<Box>{{"File Closed", k.closed}}));
    EXPECT_EQ(c.r.menu, (std::vector<std::string>{std::string(k.close) + " off", std::string(k.open) + " on"}));
    EXPECT_EQ(c.r.pauses, std::vector<int>{0});
    EXPECT_EQ(c.r.panel4, "");
    // Closing again: no message, the menu items reset all the same.
    c.r.boxes.clear();
    c.r.menu.clear();
    c.Close(k.kiss);
    EXPECT_TRUE(c.r.boxes.empty());
    EXPECT_EQ(c.r.menu.size(), 2u);
    // A missing file is created; a cancelled dialog opens nothing.
    c.dialogs.answer.clear();
    c.Click(k.kiss);
    EXPECT_FALSE(c.On(k.kiss));
    EXPECT_TRUE(c.Open(k.kiss, (c.dir / "new.txt").string()));
    c.Put(k.kiss, "A");
    c.streams.CloseAll();
    EXPECT_EQ(Contents(c.dir / "new.txt"), "A");
  }
}

TEST(CaptureStreams, AFileThatCannotBeOpenedLeavesTheCaptureOff) {
  test::TempDir dir;
  Write(dir / "plain", "x");
  fs::create_directory(dir / "locked");
  fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  std::vector<std::pair<const char*, fs::path>> places = {
      {"missing directory", dir / "none" / "cap.txt"},
      {"a file for a directory", dir / "plain" / "cap.txt"},
      {"a directory for a file", dir.path()},
  };
  // The superuser writes into any directory.
  if (geteuid() != 0) places.emplace_back("no write access", dir / "locked" / "cap.txt");
  for (const Kind& k : kKinds) {
    for (const auto& [what, place] : places) {
      SCOPED_TRACE(std::string(k.name) + ": " + what);
      Captures c;
      EXPECT_FALSE(c.Open(k.kiss, place.string()));
      EXPECT_FALSE(c.On(k.kiss));
      EXPECT_EQ(c.r.boxes, (std::vector<Box>{{"File Error", "File Open Error!"}}));
      EXPECT_TRUE(c.r.menu.empty());
      EXPECT_EQ(c.r.panel4, "(never shown)");
    }
  }
  fs::permissions(dir / "locked", fs::perms::owner_all);
}

TEST(CaptureStreams, WriteErrorsShowWhenTheFileIsClosed) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    Captures c;
    ASSERT_TRUE(c.Open(k.kiss, "/dev/full"));
    c.Put(k.kiss, "CQ CQ");
    EXPECT_TRUE(c.r.boxes.empty());  // nothing while writing
    c.Close(k.kiss);
    EXPECT_EQ(c.r.boxes, (std::vector<Box>{{"File Error", k.errors}}));
    EXPECT_FALSE(c.On(k.kiss));
  }
}

// Opening while a file is open closes that one first: what it buffered is written, and its
// write errors are shown.
TEST(CaptureStreams, OpeningAgainClosesTheOpenFileFirst) {
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    Captures c;
    ASSERT_TRUE(c.Open(k.kiss, (c.dir / "a.txt").string()));
    c.Put(k.kiss, "first");
    ASSERT_TRUE(c.Open(k.kiss, (c.dir / "b.txt").string()));
    EXPECT_EQ(Contents(c.dir / "a.txt"), "first");
    EXPECT_TRUE(c.r.boxes.empty());
    ASSERT_TRUE(c.Open(k.kiss, "/dev/full"));
    c.Put(k.kiss, "lost");
    c.r.menu.clear();
    // The failed open after closing the full one leaves the capture off and says so.
    EXPECT_FALSE(c.Open(k.kiss, (c.dir / "none" / "c.txt").string()));
    EXPECT_EQ(c.r.boxes, (std::vector<Box>{{"File Error", k.errors}, {"File Error", "File Open Error!"}}));
    EXPECT_FALSE(c.On(k.kiss));
    EXPECT_EQ(c.r.menu, (std::vector<std::string>{std::string(k.open) + " on", std::string(k.close) + " off"}));
  }
}

TEST(CaptureStreams, TheShutdownClosesBothWithoutAWord) {
  Captures c;
  ASSERT_TRUE(c.Open(false, (c.dir / "t.txt").string()));
  ASSERT_TRUE(c.Open(true, (c.dir / "k.txt").string()));
  EXPECT_EQ(c.r.panel4, "T+K");
  c.Put(false, "text");
  c.Put(true, std::string_view("\xC0\x00\x01\xC0", 4));
  c.r.menu.clear();
  c.streams.CloseAll();
  EXPECT_FALSE(c.streams.TextCaptureOn());
  EXPECT_FALSE(c.streams.KissCaptureOn());
  EXPECT_EQ(Contents(c.dir / "t.txt"), "text");
  EXPECT_EQ(Contents(c.dir / "k.txt"), std::string("\xC0\x00\x01\xC0", 4));
  EXPECT_TRUE(c.r.boxes.empty());
  EXPECT_TRUE(c.r.menu.empty());
  // Also with a full disk under one of them.
  ASSERT_TRUE(c.Open(true, "/dev/full"));
  c.Put(true, "x");
  c.streams.CloseAll();
  EXPECT_TRUE(c.r.boxes.empty());
}

TEST(CaptureStreams, PanelFourForTheFourCombinations) {
  Captures c;
  const std::string t = (c.dir / "t.txt").string(), k = (c.dir / "k.txt").string();
  c.Open(false, t);
  EXPECT_EQ(c.r.panel4, "CapT");
  c.Open(true, k);
  EXPECT_EQ(c.r.panel4, "T+K");
  c.Close(false);
  EXPECT_EQ(c.r.panel4, "CapK");
  c.Close(true);
  EXPECT_EQ(c.r.panel4, "");
}

TEST(CaptureStreams, AltLTogglesTheTextCapture) {
  Captures c;
  c.dialogs.answer = (c.dir / "t.txt").string();
  c.streams.ToggleTextCapture();
  EXPECT_TRUE(c.streams.TextCaptureOn());
  c.streams.ToggleTextCapture();
  EXPECT_FALSE(c.streams.TextCaptureOn());
  EXPECT_EQ(c.dialogs.requests.size(), 1u);
  EXPECT_EQ(c.r.boxes, (std::vector<Box>{{"File Closed", "Capture file was closed"}}));
}

TEST(CaptureStreams, TheReceiveWindowGoesToTheEditor) {
  test::ScopedWorkingDir cwd;
  testing::RecordingMemoWindow window{200, 100};
  TStyledMemo memo;
  memo.CreateHandle(window);
  memo.setTextContent(ToBytes("CQ DE XX0XXX\r\nK\xE4"));
  Captures c;
  // A file left from an earlier run is replaced.
  Write("~~tmpbuf.txt", "stale text of an earlier run");
  c.streams.OpenBufferinN1Click(memo.Lines());
  EXPECT_EQ(Contents("~~tmpbuf.txt"), "CQ DE XX0XXX\r\nK\xE4");
  EXPECT_EQ(c.r.opened, std::vector<std::string>{"~~tmpbuf.txt"});
  EXPECT_EQ(c.r.pauses, std::vector<int>{400});
  EXPECT_TRUE(c.r.boxes.empty());
}

TEST(CaptureStreams, AFailedSaveForTheEditorOpensNothing) {
  test::ScopedWorkingDir cwd;
  TStyledMemo memo;
  memo.setTextContent(ToBytes("CQ"));
  Captures c;
  // Where the file should go stands a directory: it cannot be written (not even by root).
  fs::create_directory("~~tmpbuf.txt");
  c.streams.OpenBufferinN1Click(memo.Lines());
  EXPECT_EQ(c.r.boxes, (std::vector<Box>{{"File Error", "File Write Error!"}}));
  EXPECT_TRUE(c.r.opened.empty());
  // A working directory without write access, with a stale file in it.
  if (geteuid() != 0) {
    fs::remove("~~tmpbuf.txt");
    Write("~~tmpbuf.txt", "stale");
    fs::permissions("~~tmpbuf.txt", fs::perms::owner_read);
    c.streams.OpenBufferinN1Click(memo.Lines());
    EXPECT_EQ(c.r.boxes.size(), 2u);
    EXPECT_TRUE(c.r.opened.empty());
  }
}

TEST(CaptureStreams, UnixTime) {
  test::FakeClock clock;
  const struct {
    int64_t utc;
    uint32_t expected;
  } rows[] = {
      {test::UtcOf(1970, 1, 1, 0, 0, 10), 10},
      {test::UtcOf(2026, 12, 10, 17, 30, 0), 1796923800},
      {-1, 0},  // before 1970: no such time
      {int64_t{UINT32_MAX} + 1, 0},
  };
  for (const auto& r : rows) {
    clock.utcSeconds = r.utc;
    EXPECT_EQ(GetUnixTime(clock), r.expected) << r.utc;
  }
}

}  // namespace
}  // namespace vestrel
