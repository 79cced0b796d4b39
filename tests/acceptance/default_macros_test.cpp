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

// Letters or digits: what a transmission of nothing but idle never decodes to.
bool HasCharacters(const std::string& text) {
  for (char c : text)
    if (std::isalnum(static_cast<unsigned char>(c))) return true;
  return false;
}

// The whole text was heard; with `ended`, nothing but the end's idle came after it.
void ExpectWholeText(const std::string& heard, const std::string& text, bool ended) {
  const std::string whole = RttyPlain(text);
  EXPECT_NE(heard.find(whole), std::string::npos) << heard;
  if (ended) {
    EXPECT_EQ(heard.substr(heard.size() - std::min(heard.size(), whole.size())), whole) << heard;
  }
}

// The default texts as the macro editor shows them, with the fields of a first start (call
// empty, report "599", name "om") filled in.
struct MacroCase {
  const char* keys;
  std::string text;
  bool endsTransmission;
};

class DefaultMacros : public AcceptanceTest {
 protected:
  void SetUp() override {
    AcceptanceTest::SetUp();
    if (IsSkipped()) return;
    if (!test::HaveProgram("rigctld")) GTEST_SKIP() << "rigctld is not installed";
    SessionOptions options;
    options.rigKeying = true;  // and otherwise a first start: the default macros
    session_ = std::make_unique<AcceptanceSession>(options);
    ASSERT_TRUE(session_->StartReadyToKey());
    ASSERT_TRUE(session_->Activate());
  }
  void TearDown() override {
    if (session_) {
      session_->Terminate();
      EXPECT_EQ(session_->WaitExit(), 0) << session_->ProgramOutput();
    }
  }

  // Presses `keys`, which start a transmission; its audio is counted from here.
  void StartWith(const std::string& keys) {
    start_ = session_->PlaybackSamples();
    EXPECT_TRUE(session_->Key(keys));
    EXPECT_TRUE(session_->WaitRigKeyed(true)) << keys << " keyed nothing";
  }
  // Waits for the transmission to end by itself; what it played, decoded.
  std::string WaitEnd(const std::string& what) {
    EXPECT_TRUE(session_->WaitRigKeyed(false, 120s)) << what << ": the transmission does not end";
    EXPECT_TRUE(session_->WaitPlaybackDrained());
    return HeardRtty(*session_, start_);
  }
  // Presses `keys`, waits for the transmission they start to end.
  std::string Transmit(const std::string& keys) {
    StartWith(keys);
    return WaitEnd(keys);
  }
  // Waits until the transmission has played `text` and two seconds more, and is still on.
  void ExpectHeardAndGoingOn(const std::string& text, const std::string& what) {
    size_t heardAt = 0;
    std::string heard;
    EXPECT_TRUE(AcceptanceSession::WaitFor(
        [&] {
          heard = HeardRtty(*session_, start_);
          if (heard.find(RttyPlain(text)) == std::string::npos) return false;
          if (heardAt == 0) heardAt = session_->PlaybackSamples();
          return session_->PlaybackSamples() > heardAt + 2 * size_t(kSampleRate);
        },
        120s))
        << what << " heard: " << heard;
    EXPECT_EQ(session_->RigKeyed(), true) << what << " ended the transmission";
  }
  // The running transmission sends `text` whole: then it ends by itself right after it, or
  // goes on until the TX key ends it, as the macro of `c` means to.
  void ExpectOnTheAir(const std::string& text, const MacroCase& c) {
    std::string heard;
    if (c.endsTransmission) {
      heard = WaitEnd(c.keys);
    } else {
      ExpectHeardAndGoingOn(text, c.keys);
      heard = EndWithTxKey();
    }
    ExpectWholeText(heard, text, c.endsTransmission);
  }
  // Ends the transmission with the TX key; what it played, decoded.
  std::string EndWithTxKey() {
    EXPECT_TRUE(session_->Key("Scroll_Lock"));
    return WaitEnd("the TX key");
  }

  size_t start_ = 0;  // where the last transmission's audio begins

  std::unique_ptr<AcceptanceSession> session_;
};

TEST_F(DefaultMacros, F1SendsTheWholeCqCallThenEndsWithNothingLeftQueued) {
  const std::string cq = "CQ CQ CQ de XX0XXX XX0XXX XX0XXX";
  const std::string heard = Transmit("F1");
  ExpectWholeText(heard, cq + "\r\n" + cq + " pse k", true);
  // About 13 s of text at 45.45 Bd, preamble and tail: not seconds of idle after it.
  const size_t played = session_->PlaybackSamples() - start_;
  EXPECT_LT(played, size_t(kSampleRate) * 22) << "the transmission went on after the text";

  // A second transmission, started and ended with the TX key, carries nothing of the first.
  StartWith("Scroll_Lock");
  const std::string second = EndWithTxKey();
  EXPECT_FALSE(HasCharacters(second)) << second;
}

TEST_F(DefaultMacros, EachMacroThatStartsATransmissionSendsItsWholeText) {
  const MacroCase cases[] = {
      {"F2", "de XX0XXX XX0XXX", false},
      {"F6", "QRZ? de XX0XXX XX0XXX k", true},
      {"F7", "de XX0XXX: QRL, sorry. 73", true},
      {"F10", "RYRYRYRYRYRYRYRYRYRYRYRYRYRYRYRY", true},
      {"ctrl+F4", "de XX0XXX 599 599 599 k", true},
  };
  for (const MacroCase& c : cases) {
    SCOPED_TRACE(c.keys);
    StartWith(c.keys);
    ExpectOnTheAir(c.text, c);
  }
}

TEST_F(DefaultMacros, MacrosForUseDuringATransmissionSendTheirWholeTextAfterWhatWasTyped) {
  const MacroCase cases[] = {
      {"F3", "de XX0XXX kn", true},
      {"F4", "Good day om, thanks for the call. Your RST is 599 599.", false},
      {"F5", "How do you copy? de XX0XXX kn", true},
      {"F8", "Thanks for the QSO, 73 and good DX. de XX0XXX sk", true},
      {"F9", "Software: Vestrel 3.30, a sound-card modem terminal.", false},
  };
  for (const MacroCase& c : cases) {
    SCOPED_TRACE(c.keys);
    StartWith("Scroll_Lock");
    ASSERT_TRUE(session_->Type("qrv"));
    ASSERT_TRUE(session_->Key(c.keys));
    ExpectOnTheAir("qrv " + c.text, c);
  }
}

}  // namespace
}  // namespace vestrel::acceptance
