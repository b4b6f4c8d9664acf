// Runs the run window's tests inside a QApplication: the window and its 3D
// view need a display (Xvfb with Mesa's software renderer under CTest).
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // the windows read numbers with the user's locale (QLocale); the test
  // arenas are written with '.', read by the C library's numeric locale
  std::setlocale(LC_NUMERIC, "C");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
