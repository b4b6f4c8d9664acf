#pragma once

#include <QIcon>

namespace kestrovan {

// The program's icon (the drawing installed for the desktop's menu), built
// into the program; every window shows it.
QIcon ApplicationIcon();

}  // namespace kestrovan
