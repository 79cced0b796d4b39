// ctest-labels: acceptance
// The default macros on the air, as a first start has them: the function key pressed, the rig
// keyed through rigctld, the played audio decoded.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "acceptance/acceptance_fixture.h"
#include "support/tool_runner.h"

namespace vestrel::acceptance {
namespace {

using namespace std::chrono_literals;

// Text as RTTY carries it: upper case, every run of blanks and line ends one blank.
std::string Plain(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\r' || c == '\n';
    if (blank) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(char(std::toupper(static_cast<unsigned char>(c))));
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The decoded text of what was played from sample `from` on.
std::string Heard(const AcceptanceSession& session, size_t from) {
  const std::optional<std::string> text = DecodeWithVestrel(session.Playback(from), "RTTY");
  return text ? Plain(*text) : std::string("(vestrel-decode is not built)");
}

// Letters or digits: what a transmission of nothing but idle never decodes to.
bool HasCharacters(const std::string& text) {
  for (char c : text)
    if (std::isalnum(static_cast<unsigned char>(c))) return true;
  return false;
}

class DefaultMacros : public AcceptanceTest {
 protected:
  void SetUp() override {
    AcceptanceTest::SetUp();
    if (IsSkipped()) return;
    if (!test::HaveProgram("rigctld")) GTEST_SKIP() << "rigctld is not installed";
    SessionOptions options;
    options.rigKeying = true;  // and otherwise a first start: the default macros
    session_ = std::make_unique<AcceptanceSession>(options);
    ASSERT_TRUE(session_->Start());
    ASSERT_TRUE(session_->WaitEngineStarted()) << session_->ProgramOutput();
    ASSERT_TRUE(session_->WaitRigKeyed(false)) << "the rig does not answer";
    ASSERT_TRUE(session_->Activate());
  }
  void TearDown() override {
    if (session_) {
      session_->Terminate();
      EXPECT_EQ(session_->WaitExit(), 0) << session_->ProgramOutput();
    }
  }

  // Presses `keys`, waits for the transmission they start to end; what it played, decoded.
  std::string Transmit(const std::string& keys) {
    start_ = session_->PlaybackSamples();
    EXPECT_TRUE(session_->Key(keys));
    EXPECT_TRUE(session_->WaitRigKeyed(true)) << keys << " keyed nothing";
    EXPECT_TRUE(session_->WaitRigKeyed(false, 120s)) << keys << ": the transmission does not end";
    EXPECT_TRUE(session_->WaitPlaybackDrained());
    return Heard(*session_, start_);
  }

  size_t start_ = 0;  // where the last transmission's audio begins

  std::unique_ptr<AcceptanceSession> session_;
};

TEST_F(DefaultMacros, F1SendsTheWholeCqCallThenEndsWithNothingLeftQueued) {
  const std::string cq = "CQ CQ CQ de XX0XXX XX0XXX XX0XXX";
  const std::string heard = Transmit("F1");
  // The whole call, and the end right after it: nothing but the end's idle follows.
  const std::string whole = Plain(cq + "\r\n" + cq + " pse k");
  EXPECT_NE(heard.find(whole), std::string::npos) << heard;
  EXPECT_EQ(heard.substr(heard.size() - std::min(heard.size(), whole.size())), whole) << heard;
  // About 13 s of text at 45.45 Bd, preamble and tail: not seconds of idle after it.
  const size_t played = session_->PlaybackSamples() - start_;
  EXPECT_LT(played, size_t(kSampleRate) * 22) << "the transmission went on after the text";

  // A second transmission, started and ended with the TX key, carries nothing of the first.
  const size_t second_start = session_->PlaybackSamples();
  ASSERT_TRUE(session_->Key("ctrl+t"));
  ASSERT_TRUE(session_->WaitRigKeyed(true)) << "the TX key keyed nothing";
  ASSERT_TRUE(session_->Key("ctrl+t"));
  ASSERT_TRUE(session_->WaitRigKeyed(false, 60s)) << "the TX key did not end the transmission";
  ASSERT_TRUE(session_->WaitPlaybackDrained());
  const std::string second = Heard(*session_, second_start);
  EXPECT_FALSE(HasCharacters(second)) << second;
}

}  // namespace
}  // namespace vestrel::acceptance
