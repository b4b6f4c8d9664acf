#include "robot/Body.h"

namespace kestrovan {

void TBody::UpdateSensors(const TArena& Arena) {
  for (int i = 1; i <= Sensors.Count(); ++i) {
    Sensors.Items(i).Update(Arena);
  }
}

}  // namespace kestrovan
