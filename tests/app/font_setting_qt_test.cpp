// Fonts and colours between the settings and Qt.
#include "app/font_setting_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "support/qt_test_app.h"

namespace vestrel {
namespace {

TEST(FontSettingQt, AFontGoesToQtAndBack) {
  test::TestApp();
  TFontSetting f{"DejaVu Sans", 204, 255, -16, 0, 12, 1 | 4, 0xFFFFFF};
  const QFont font = FontOf(f);
  EXPECT_EQ(font.family().toStdString(), "DejaVu Sans");
  EXPECT_EQ(font.pointSize(), 12);  // the size decides over the height
  EXPECT_TRUE(font.bold());
  EXPECT_TRUE(font.underline());
  EXPECT_FALSE(font.italic());
  EXPECT_FALSE(font.strikeOut());
  TFontSetting back{"x", 204, 255, 0, 0, 0, 0, 0xFFFFFF};
  TakeFont(font, back);
  EXPECT_EQ(back.FontName, "DejaVu Sans");
  EXPECT_EQ(back.FontSize, 12);
  EXPECT_EQ(back.FontHeight, -16);  // 12 points at 96 pixels per inch
  EXPECT_EQ(back.FontStyle, 5);
  EXPECT_EQ(back.FontCharset, 204);  // what the font dialog has no say in stays
  EXPECT_EQ(back.FontColor, 255);
  EXPECT_EQ(back.Background, 0xFFFFFF);
  QFont italic = font;
  italic.setBold(false);
  italic.setItalic(true);
  italic.setStrikeOut(true);
  italic.setUnderline(false);
  TakeFont(italic, back);
  EXPECT_EQ(back.FontStyle, 2 | 8);
}

TEST(FontSettingQt, ColoursAreBlueGreenRedAndSystemColoursTheDesktops) {
  test::TestApp();
  EXPECT_EQ(ColourOf(0x00FF8040, Qt::black), QColor(0x40, 0x80, 0xFF));
  EXPECT_EQ(ColourCode(QColor(0x40, 0x80, 0xFF)), 0x00FF8040);
  EXPECT_EQ(ColourOf(-2147483640, QColor(1, 2, 3)), QColor(1, 2, 3));
  QWidget w;
  TFontSetting f;
  f.FontColor = 0x0000FF;
  f.Background = -2147483643;
  ApplyFontSetting(w, f, QPalette::Text, true);
  EXPECT_EQ(w.palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(w.palette().color(QPalette::Base), QApplication::palette(&w).color(QPalette::Base));
}

}  // namespace
}  // namespace vestrel
