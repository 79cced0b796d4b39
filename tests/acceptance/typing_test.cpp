// ctest-labels: acceptance
// Typing and the TX key, as an operator works: text typed before and during a transmission goes
// out once, in the transmission that sent it; what had not been handed to the modulator when TX
// was pressed again stays in the typing window unsent, can still be deleted, and nothing of it
// reaches the next transmission.
#include <gtest/gtest.h>

#include <string>

#include "acceptance/acceptance_fixture.h"
#include "support/tool_runner.h"

namespace vestrel::acceptance {
namespace {

using namespace std::chrono_literals;

using Typing = AcceptanceTest;

TEST_F(Typing, EachTypedCharacterGoesOutOnceInItsOwnTransmission) {
  if (!test::HaveProgram("rigctld")) GTEST_SKIP() << "rigctld is not installed";
  SessionOptions options;
  options.rigKeying = true;
  AcceptanceSession session(options);
  ASSERT_TRUE(session.StartReadyToKey());
  ASSERT_TRUE(session.Activate());
  auto heardFrom = [&](size_t from) { return HeardRtty(session, from); };

  // Text typed, TX, more text, and TX again at once, while it is still going out: the end
  // comes after what was already handed to the modulator.
  ASSERT_TRUE(session.Type("first "));
  const size_t first = session.PlaybackSamples();
  ASSERT_TRUE(session.Key("Scroll_Lock"));
  ASSERT_TRUE(session.WaitRigKeyed(true)) << "the TX key keyed nothing";
  const std::string typed = "first more text to come";
  ASSERT_TRUE(session.Type("more text to come"));
  ASSERT_TRUE(session.Key("Scroll_Lock"));
  ASSERT_TRUE(session.WaitRigKeyed(false)) << "the TX key did not end the transmission";
  ASSERT_TRUE(session.WaitPlaybackDrained());
  // A beginning of the typed text, each character once.
  const std::string heard1 = heardFrom(first);
  EXPECT_EQ(RttyPlain(typed).rfind(heard1, 0), 0u) << heard1;
  EXPECT_NE(heard1.find("FIRST"), std::string::npos) << heard1;

  // What did not go out is still unsent: it can all be deleted.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(session.Key("BackSpace BackSpace BackSpace BackSpace BackSpace"));

  // The next transmission carries only what is typed for it.
  const size_t second = session.PlaybackSamples();
  ASSERT_TRUE(session.Key("Scroll_Lock"));
  ASSERT_TRUE(session.WaitRigKeyed(true)) << "the TX key keyed nothing";
  ASSERT_TRUE(session.Type("next"));
  std::string heard;
  size_t heardAt = 0;
  EXPECT_TRUE(AcceptanceSession::WaitFor(
      [&] {
        heard = heardFrom(second);
        if (heard.find("NEXT") == std::string::npos) return false;
        if (heardAt == 0) heardAt = session.PlaybackSamples();
        return session.PlaybackSamples() > heardAt + size_t(kSampleRate);  // and a second more
      },
      60s))
      << heard;
  ASSERT_TRUE(session.Key("Scroll_Lock"));
  ASSERT_TRUE(session.WaitRigKeyed(false)) << "the TX key did not end the transmission";
  ASSERT_TRUE(session.WaitPlaybackDrained());
  EXPECT_EQ(heardFrom(second), "NEXT");

  session.Terminate();
  EXPECT_EQ(session.WaitExit(), 0) << session.ProgramOutput();
}

}  // namespace
}  // namespace vestrel::acceptance
