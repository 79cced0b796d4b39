#include "app/termination_signals.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QTest>
#include <vector>

#include "support/qt_test_app.h"

namespace vestrel {
namespace {

bool HandlerIsDefault(int signal) {
  struct sigaction now {};
  sigaction(signal, nullptr, &now);
  return now.sa_handler == SIG_DFL;
}

TEST(TerminationSignals, EachSignalReachesTheGuiThreadOnceThenEndsTheProcessTheDefaultWay) {
  test::TestApp();
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    std::vector<int> seen;
    {
      TerminationSignals termination([&seen](int s) { seen.push_back(s); });
      ASSERT_TRUE(termination.installed());
      EXPECT_FALSE(HandlerIsDefault(sig));
      ASSERT_EQ(raise(sig), 0);
      // Bounded: the byte is in the pipe already; only the notifier's turn is awaited.
      EXPECT_TRUE(QTest::qWaitFor([&seen] { return !seen.empty(); }, 10000));
      EXPECT_EQ(seen, std::vector<int>{sig});
      // A second signal of the kind would now end the process: the shutdown may hang.
      EXPECT_TRUE(HandlerIsDefault(sig));
    }
    // Gone with the object: the previous disposition is back.
    EXPECT_TRUE(HandlerIsDefault(sig));
  }
}

TEST(TerminationSignals, ASecondInstanceInstallsNothing) {
  test::TestApp();
  TerminationSignals first([](int) {});
  TerminationSignals second([](int) {});
  EXPECT_TRUE(first.installed());
  EXPECT_FALSE(second.installed());
}

}  // namespace
}  // namespace vestrel
