#pragma once

#include <QSettings>

namespace kestrovan {

// The program's memory from one start to the next: the main window's arena,
// configuration and geometry, the run window's size and view choices, the
// recent experiments. One file per user, whatever names the application
// object was given.
QSettings ProgramSettings();

}  // namespace kestrovan
