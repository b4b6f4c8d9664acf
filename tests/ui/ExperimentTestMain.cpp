// Runs the run window's tests inside a QApplication: the window and its 3D
// view need a display (Xvfb with Mesa's software renderer under CTest).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
