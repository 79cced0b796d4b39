#include "io/capture_status.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(CaptureStatus, EveryCombinationOfTheThreeCaptureFiles) {
  struct Case {
    bool text, kiss, wave;
    std::string_view panel;
  };
  const Case cases[] = {
      {false, false, false, ""},  {true, false, false, "CapT"}, {false, true, false, "CapK"},
      {true, true, false, "T+K"}, {false, false, true, "CapW"}, {true, false, true, "T+W"},
      {false, true, true, "K+W"}, {true, true, true, "T+K+W"},
  };
  for (const Case& c : cases) EXPECT_EQ(CaptureStatusText(c.text, c.kiss, c.wave), c.panel) << c.panel;
}

}  // namespace
}  // namespace vestrel
