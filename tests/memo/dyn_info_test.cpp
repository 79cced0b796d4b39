#include "memo/dyn_info.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(DynInfoRec, FiftyEightBytesInFieldOrder) {
  DynInfoRec r;
  r.Start = 0x01020304;
  r.Flags = 0xC1;
  r.Level = 3;
  r.CollapseLevel = 2;
  r.CollapseStates = smdCollapsible;
  r.Backgnd = 0x00112233;
  r.Foregnd = -1;
  r.Context = 77;
  r.Cursor = -5;
  for (int i = 0; i < kDynKeyCount; ++i) r.Keys[i] = static_cast<int16_t>(0x100 * i + 1);
  unsigned char b[kDynInfoRecSize];
  DynInfoToBytes(r, b);
  EXPECT_EQ(b[0], 0x04);
  EXPECT_EQ(b[3], 0x01);
  EXPECT_EQ(b[4], 0xC1);
  EXPECT_EQ(b[5], 3);
  EXPECT_EQ(b[8], 0x33);
  EXPECT_EQ(b[12], 0xFF);
  EXPECT_EQ(b[16], 77);
  EXPECT_EQ(b[20], 0xFB);
  EXPECT_EQ(b[21], 0xFF);
  EXPECT_EQ(b[22], 1);     // Keys[0]
  EXPECT_EQ(b[57], 0x11);  // high byte of Keys[17]
  const DynInfoRec back = DynInfoFromBytes(b);
  EXPECT_EQ(back.Start, r.Start);
  EXPECT_EQ(back.Foregnd, -1);
  EXPECT_EQ(back.Cursor, -5);
  EXPECT_EQ(back.Keys, r.Keys);
}

TEST(DynInfoRec, LevelContextAndSameness) {
  DynInfoRec a;
  a.Flags = kDynActive | kDynFlag1;
  a.Level = 2;
  a.Context = 4;
  a.CollapseLevel = 3;
  EXPECT_EQ(DynToLevel(a), 2);
  EXPECT_EQ(DynToContext(a), 4);
  EXPECT_EQ(DynToCollapseLevel(a), 3);
  DynInfoRec b = a;
  b.Start = 99;
  EXPECT_TRUE(SameDynAttrib(a, b));
  b.Keys[3] = 1;  // above the level: not compared
  EXPECT_TRUE(SameDynAttrib(a, b));
  b.Keys[2] = 1;
  EXPECT_FALSE(SameDynAttrib(a, b));
  // A level beyond the stored keys compares all of them and nothing past them.
  a.Level = b.Level = 100;
  b.Keys = a.Keys;
  EXPECT_TRUE(SameDynAttrib(a, b));
  b.Keys[17] = 9;
  EXPECT_FALSE(SameDynAttrib(a, b));
  a.Level = b.Level = 200;  // above 127: keys are not compared
  EXPECT_TRUE(SameDynAttrib(a, b));
  DynInfoRec off;
  EXPECT_EQ(DynToLevel(off), -1);
  EXPECT_EQ(DynToContext(off), 0);
  DynInfoRec off2;
  off2.Context = 5;
  EXPECT_TRUE(SameDynAttrib(off, off2));  // inactive records carry nothing
}

}  // namespace
}  // namespace vestrel
