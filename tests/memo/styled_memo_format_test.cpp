// When the memo lays its paragraphs out: at once, in background slices that the format thread
// asks for (a slice ends when 25 ms have passed on the memo's clock), or for another surface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/styled_memo.h"
#include "support/memo_text.h"
#include "support/paragraph_store_check.h"
#include "support/recording_memo_window.h"
#include "support/ticking_clock.h"

namespace vestrel {
namespace {

using testing::FakeDrawSurface;
using testing::RecordingMemoWindow;
using testing::StoreFault;
using testing::TickingClock;

// n paragraphs of words that wrap differently in a narrow window.
std::string LongText(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    s += "line " + std::to_string(i);
    for (int k = 0; k < i % 7; ++k) s += " word" + std::to_string(k);
    if (i + 1 < n) s += "\r\n";
  }
  return s;
}

void Load(TStyledMemo& m, const std::string& text) {
  TMemoryStream s(std::vector<unsigned char>(text.begin(), text.end()));
  m.LoadFromStream(s);
}

// Every paragraph's lines, as (start, stop, first display line).
std::vector<std::vector<int32_t>> Layout(const TStyledMemo& m) {
  std::vector<std::vector<int32_t>> out;
  for (int32_t i = 0; i < m.GetParCount(); ++i) {
    const ParInfo& p = m.Store()[i];
    std::vector<int32_t> row{p.FirstLine};
    for (int32_t l = 0; l < GetLineCount(p); ++l) {
      row.push_back(GetLine(p, l).Start);
      row.push_back(GetLine(p, l).Stop);
    }
    out.push_back(row);
  }
  return out;
}

struct Memo {
  explicit Memo(TpmUpdateMode mode, int32_t width = 120, int32_t height = 100) : w(width, height) {
    m.setClock(&clock);
    m.setUpdateMode(mode);
    m.CreateHandle(w);
  }
  TickingClock clock;
  RecordingMemoWindow w;
  TStyledMemo m;
};

TEST(StyledMemoFormat, ImmediateModeLaysEverythingOutOnLoad) {
  Memo a(umImmediate);
  Load(a.m, LongText(600));
  EXPECT_EQ(a.m.getFormatCompleted(), 100);
  EXPECT_GT(a.m.getTotalLineCount(), 600);  // the longer paragraphs wrap
  EXPECT_FALSE(a.m.FormatThreadRunning());
  EXPECT_FALSE(a.w.WaitForFormatRequest(0));
  EXPECT_EQ(StoreFault(a.m.Store()), "");
}

TEST(StyledMemoFormat, BackgroundSlicesReachTheSameLinesAsImmediateMode) {
  const std::string text = LongText(600);
  Memo a(umImmediate);
  Load(a.m, text);
  Memo b(umBackground);
  ASSERT_TRUE(b.m.FormatThreadRunning());
  b.w.TakeFormatRequests();  // what the window's creation asked for
  Load(b.m, text);
  const int32_t afterLoad = b.m.getFormatCompleted();
  EXPECT_LT(afterLoad, 5);  // the load returns with little laid out
  std::vector<int32_t> completed;
  while (b.m.getFormatCompleted() < 100) {
    ASSERT_TRUE(b.w.WaitForFormatRequest(10000)) << "no slice asked for at " << b.m.getFormatCompleted();
    ASSERT_EQ(b.w.DeliverFormatRequests(b.m), 1);  // never more than one request on its way
    completed.push_back(b.m.getFormatCompleted());
    ASSERT_FALSE(b.m.Formatting());
  }
  // Slices of about 25 paragraphs (one clock tick each), the percentage climbing.
  EXPECT_GT(completed.size(), 10u);
  EXPECT_LT(completed.size(), 100u);
  for (size_t i = 1; i < completed.size(); ++i) EXPECT_GE(completed[i], completed[i - 1]);
  EXPECT_EQ(b.m.getTotalLineCount(), a.m.getTotalLineCount());
  EXPECT_EQ(b.m.Store().VisibleLineCount, a.m.Store().VisibleLineCount);
  EXPECT_EQ(Layout(b.m), Layout(a.m));
  EXPECT_EQ(b.m.Store().LastUnformatted, -1);
  EXPECT_EQ(StoreFault(b.m.Store()), "");
  // The work done, a signal that was still on its way brings one more request at most, which
  // finds nothing to do and asks for no other.
  if (b.w.WaitForFormatRequest(50)) {
    EXPECT_EQ(b.w.DeliverFormatRequests(b.m), 1);
  }
  EXPECT_EQ(b.m.getFormatCompleted(), 100);
  EXPECT_FALSE(b.w.WaitForFormatRequest(50));
}

TEST(StyledMemoFormat, AnEditInBackgroundModeLaysOutTheRestInSlices) {
  Memo b(umBackground);
  Load(b.m, LongText(300));
  ASSERT_TRUE(b.w.FormatInBackground(b.m));
  Memo a(umImmediate);
  Load(a.m, LongText(300));
  // A margin change lays everything out again: background mode leaves it to the slices.
  b.m.setLeftMargin(30);
  a.m.setLeftMargin(30);
  EXPECT_LT(b.m.getFormatCompleted(), 100);
  EXPECT_EQ(a.m.getFormatCompleted(), 100);
  ASSERT_TRUE(b.w.FormatInBackground(b.m));
  EXPECT_EQ(Layout(b.m), Layout(a.m));
  // The slices leave off inside an update and resume when it closes.
  b.m.BeginUpdate();
  b.m.setSelStart(0);
  b.m.setSelText(ToBytes("new first line that is long enough to wrap\r\n"));
  b.m.Reformat();
  b.w.WaitForFormatRequest(100);
  b.w.DeliverFormatRequests(b.m);
  EXPECT_LT(b.m.getFormatCompleted(), 100);
  b.m.EndUpdate();
  ASSERT_TRUE(b.w.FormatInBackground(b.m));
  a.m.setSelStart(0);
  a.m.setSelText(ToBytes("new first line that is long enough to wrap\r\n"));
  EXPECT_EQ(Layout(b.m), Layout(a.m));
  EXPECT_EQ(StoreFault(b.m.Store()), "");
}

TEST(StyledMemoFormat, ProgressFiresAtMostOncePerInterval) {
  Memo b(umBackground);
  b.m.setProgressInterval(40);
  std::vector<uint64_t> fired;
  b.m.OnProgress = [&](TStyledMemo&) { fired.push_back(b.clock.now); };
  Load(b.m, LongText(2000));
  fired.clear();  // the load's own reports
  ASSERT_TRUE(b.w.FormatInBackground(b.m));
  ASSERT_GE(fired.size(), 3u);
  // The last report says the work is done; those before it keep their distance.
  for (size_t i = 1; i + 1 < fired.size(); ++i) EXPECT_GT(fired[i] - fired[i - 1], 40u) << i;
}

TEST(StyledMemoFormat, FormatNowWithProgressReportsAndTheEndOnce) {
  Memo a(umOnNeed);
  a.m.setProgressInterval(10);
  Load(a.m, LongText(400));
  EXPECT_LT(a.m.getFormatCompleted(), 100);  // on need: only what was shown
  int reports = 0;
  a.m.OnProgress = [&](TStyledMemo&) { ++reports; };
  a.m.FormatNow(0, a.m.GetParCount() - 1, true, false);
  EXPECT_EQ(a.m.getFormatCompleted(), 100);
  EXPECT_GT(reports, 2);
  EXPECT_FALSE(a.m.Formatting());
  // Out of order: the mark stays; in order from it, the mark moves.
  a.m.setLeftMargin(20);
  a.m.FormatNow(100, 120, false, false);
  EXPECT_EQ(a.m.Store().FirstUnformatted, 0);
  a.m.FormatNow(0, 49, false, false);
  EXPECT_EQ(a.m.Store().FirstUnformatted, 50);
  EXPECT_EQ(a.m.getFormatCompleted(), 50 * 100 / a.m.GetParCount());
  EXPECT_EQ(StoreFault(a.m.Store()), "");
}

// A format that changes the vertical range used to leave the formatting-running flag on, and
// with it painting and selection repaints off for good.
TEST(StyledMemoFormat, AFormatThatChangesTheScrollRangeIsFollowedByPainting) {
  Memo a(umOnNeed, 120, 60);
  Load(a.m, LongText(50));
  const int32_t rangesBefore = a.w.rangeWrites;
  a.m.FormatNow(0, a.m.GetParCount() - 1, false, false);
  EXPECT_GT(a.w.rangeWrites, rangesBefore);
  EXPECT_FALSE(a.m.Formatting());
  FakeDrawSurface dc;
  TMemoPaint paint{&dc, {0, 0, 120, 60}};
  TMemoMessage msg;
  msg.Msg = WM_PAINT;
  msg.WParam = reinterpret_cast<uintptr_t>(&paint);
  a.m.WndProc(msg);
  EXPECT_FALSE(dc.Of(FakeDrawSurface::Op::Text).empty());
  // A selection made now paints its lines again.
  a.w.bands.clear();
  a.m.setSelStart(0);
  a.m.setSelLength(8);
  EXPECT_FALSE(a.w.bands.empty());
}

TEST(StyledMemoFormat, ModeChangesStartAndStopTheThread) {
  Memo b(umOnNeed);
  Load(b.m, LongText(200));
  EXPECT_FALSE(b.m.FormatThreadRunning());
  b.m.setUpdateMode(umBackground);
  EXPECT_TRUE(b.m.FormatThreadRunning());
  ASSERT_TRUE(b.w.FormatInBackground(b.m));
  b.m.setLeftMargin(10);
  b.m.setUpdateMode(umImmediate);  // the pending range is laid out at once
  EXPECT_FALSE(b.m.FormatThreadRunning());
  EXPECT_EQ(b.m.getFormatCompleted(), 100);
  // A request of a thread the memo let go does nothing.
  const size_t before = b.w.TakeFormatRequests().size();
  (void)before;
  b.m.setLeftMargin(20);
  TMemoMessage stale;
  stale.Msg = SM_UPDATEBKG;
  stale.WParam = 1;
  b.m.setUpdateMode(umOnNeed);
  b.m.setLeftMargin(30);
  b.m.WndProc(stale);
  EXPECT_LT(b.m.getFormatCompleted(), 100);
  b.m.DestroyWindowHandle();
  EXPECT_FALSE(b.m.FormatThreadRunning());
}

TEST(StyledMemoFormat, AnotherSurfaceLaysOutAtOnceAndDrawsLines) {
  TStyledMemo m;
  m.SetTextBuf(ToBytes("alpha beta gamma delta\r\nsecond"));
  FakeDrawSurface dc;
  m.FormatText(&dc, 60);
  EXPECT_EQ(m.getFormatCompleted(), 100);
  EXPECT_GT(m.getTotalLineCount(), 2);  // wrapped to 60 pixels
  m.DrawLines(0, m.getTotalLineCount() - 1, dc, {0, 0});
  EXPECT_FALSE(dc.Of(FakeDrawSurface::Op::Text).empty());
  m.FormatText(nullptr, 0);
}

TEST(StyledMemoFormat, UpperCasedSliceGrowsAndFollowsEdits) {
  TStyledMemo m;
  m.SetTextBuf(ToBytes("abc def ghi\r\nxyz"));
  EXPECT_EQ(ToChars(TByteString(m.GetUpText(0, 3, 4))), "DEF");
  EXPECT_EQ(ToChars(TByteString(m.GetUpText(0, 3, 1))), "BC ");   // extends on the left
  EXPECT_EQ(ToChars(TByteString(m.GetUpText(0, 4, 7))), " GHI");  // and on the right
  EXPECT_EQ(ToChars(TByteString(m.GetUpText(1, 2, 1))), "YZ");
  m.setSelStart(0);
  m.setSelText(ToBytes("q\r\n"));  // the cached paragraph moves on
  EXPECT_EQ(ToChars(TByteString(m.GetUpText(2, 3, 0))), "XYZ");
  TStyledMemo::setUpperCaseProc([](unsigned char* t, int32_t n) {
    for (int32_t i = 0; i < n; ++i) t[i] = '*';
  });
  m.setUpperCaseType(smuUserDefined);
  EXPECT_EQ(ToChars(TByteString(m.GetUpText(2, 3, 0))), "***");
  TStyledMemo::setUpperCaseProc(nullptr);
  EXPECT_EQ(ToChars(TByteString(m.GetUpText(0, 1, 0))), "Q");  // without a routine: ASCII
}

}  // namespace
}  // namespace vestrel
