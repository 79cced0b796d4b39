#pragma once
#include <QApplication>

namespace vestrel::test {

// The one QApplication of a gui test program (gtest_main owns main).
inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "vestrel-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace vestrel::test
