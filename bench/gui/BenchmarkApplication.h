#pragma once

#include <QApplication>

namespace kestrovan {

// One application for every benchmark of the process. It is never
// destroyed: tearing it down among the static destructors at exit crashes.
inline void EnsureApplication() {
  static int argc = 1;
  static char name[] = "kestrovan-benchmark";
  static char* argv[] = {name, nullptr};
  static QApplication* application = nullptr;
  if (application == nullptr) {
    application = new QApplication(argc, argv);
  }
}

}  // namespace kestrovan
