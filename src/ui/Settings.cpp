#include "ui/Settings.h"

#include <QString>

namespace kestrovan {

QSettings ProgramSettings() { return QSettings(QStringLiteral("Kestrovan"), QStringLiteral("kestrovan")); }

}  // namespace kestrovan
