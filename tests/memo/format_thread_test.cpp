// ctest-labels: unit tsan
// The format thread beside the window's thread, which is the test's own here: requests queue in
// the fake window until the test hands them to the memo. Runs under ThreadSanitizer too.
#include "memo/format_thread.h"

#include <gtest/gtest.h>

#include <memory>
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

using testing::RecordingMemoWindow;
using testing::StoreFault;
using testing::TickingClock;

std::string Text(int n, const std::string& word) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    s += word + " " + std::to_string(i) + " and some more words to wrap";
    if (i + 1 < n) s += "\r\n";
  }
  return s;
}

void Load(TStyledMemo& m, const std::string& text) {
  TMemoryStream s(std::vector<unsigned char>(text.begin(), text.end()));
  m.LoadFromStream(s);
}

TEST(FormatThread, SignalsWhileARequestIsOnItsWayCollapseIntoIt) {
  RecordingMemoWindow w;
  TpmFormatThread t(w);
  t.Signal();
  ASSERT_TRUE(w.WaitForFormatRequest(10000));
  for (int i = 0; i < 50; ++i) t.Signal();
  EXPECT_FALSE(w.WaitForFormatRequest(0) && w.TakeFormatRequests().size() > 1);
  // Once the window took it, the next signal brings the next request.
  w.TakeFormatRequests();
  t.RequestTaken();
  t.Signal();
  ASSERT_TRUE(w.WaitForFormatRequest(10000));
  EXPECT_EQ(w.TakeFormatRequests(), std::vector<uintptr_t>{t.Token()});
  t.PutToEnd();
  t.PutToEnd();  // a second time does nothing
}

TEST(FormatThread, TokensTellThreadsApart) {
  RecordingMemoWindow w;
  TpmFormatThread a(w), b(w);
  EXPECT_NE(a.Token(), b.Token());
  EXPECT_NE(a.Token(), 0u);
}

TEST(FormatThread, LoadsAndEditsWhileTheThreadRuns) {
  RecordingMemoWindow w(140, 80);
  TickingClock clock;  // read on the test's thread only, as the memo reads it
  TStyledMemo m;
  m.setClock(&clock);
  m.CreateHandle(w);
  ASSERT_TRUE(m.FormatThreadRunning());
  for (int round = 0; round < 4; ++round) {
    Load(m, Text(400, "round" + std::to_string(round)));
    for (int k = 0; k < 6; ++k) {
      if (w.WaitForFormatRequest(1000)) w.DeliverFormatRequests(m);
      m.setSelStart(m.getCharCount() / (k + 2));
      m.setSelText(ToBytes("typed while formatting\r\n"));
    }
    ASSERT_TRUE(w.FormatInBackground(m));
    ASSERT_NO_THROW(m.CheckIntegrity());
    ASSERT_EQ(StoreFault(m.Store()), "");
  }
}

TEST(FormatThread, AMemoDestroyedWithARequestPendingTouchesNothing) {
  RecordingMemoWindow w(140, 80);
  for (int i = 0; i < 20; ++i) {
    auto m = std::make_unique<TStyledMemo>();
    m->CreateHandle(w);
    Load(*m, Text(200, "gone"));
    if (i % 2 == 0) {
      ASSERT_TRUE(w.WaitForFormatRequest(10000));
    }  // else it may be on its way
    m.reset();
  }
  // What was queued for the memos that went reaches another memo and does nothing there.
  const std::vector<uintptr_t> stale = w.TakeFormatRequests();
  TStyledMemo other;
  other.setUpdateMode(umOnNeed);
  other.CreateHandle(w);
  Load(other, Text(200, "other"));
  other.setUpdateMode(umBackground);
  const int32_t before = other.getFormatCompleted();
  for (uintptr_t token : stale) {
    TMemoMessage msg;
    msg.Msg = SM_UPDATEBKG;
    msg.WParam = token;
    other.WndProc(msg);
  }
  EXPECT_EQ(other.getFormatCompleted(), before);
  ASSERT_TRUE(w.FormatInBackground(other));
}

TEST(FormatThread, AtTheApplicationsEndASliceAsksForNoMore) {
  RecordingMemoWindow w(140, 80);
  TickingClock clock;
  auto m = std::make_unique<TStyledMemo>();
  m->setClock(&clock);
  m->CreateHandle(w);
  Load(*m, Text(3000, "end"));
  ASSERT_TRUE(w.WaitForFormatRequest(10000));
  w.terminating = true;
  // The slices run that were asked for (a signal of the load may still bring one more), and
  // none asks for another.
  int slices = 0;
  while (w.WaitForFormatRequest(100)) slices += w.DeliverFormatRequests(*m);
  EXPECT_GE(slices, 1);
  EXPECT_LE(slices, 2);
  EXPECT_LT(m->getFormatCompleted(), 100);
  m.reset();  // signals the thread and waits for it
  EXPECT_TRUE(w.TakeFormatRequests().empty());
}

}  // namespace
}  // namespace vestrel
