#include "ui/ApplicationIcon.h"

namespace kestrovan {

QIcon ApplicationIcon() { return QIcon(QStringLiteral(":/kestrovan/kestrovan.svg")); }

}  // namespace kestrovan
