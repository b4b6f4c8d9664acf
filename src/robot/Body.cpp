#include "robot/Body.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "arena/ArenaModel.h"

namespace kestrovan {

namespace {

// Most cylinders handed to the sensors at once; with more near the body they
// read every cylinder themselves.
constexpr std::size_t kMaximumCandidates = 64;

// Up to this many cylinders in the arena every sensor reads them all.
constexpr std::size_t kDirectCylinders = 16;

// Margin (m) of the neighbourhood box: far above the rounding of the
// sensors' own distance tests at any coordinate up to 10^6 m.
constexpr double kBoxMargin = 1e-6;

}  // namespace

void TBody::UpdateSensors(const TCylinderView& Cylinders) {
  const int count = Sensors.Count();
  // among a few cylinders the sensors' own rejection is cheaper than the box
  if (Cylinders.Size() <= kDirectCylinders) {
    for (int i = 1; i <= count; ++i) {
      Sensors.Items(i).Update(Cylinders);
    }
    return;
  }
  // the box around every sensor's disc; a sensor without one reads every cylinder
  double xMin = 0.0;
  double xMax = 0.0;
  double yMin = 0.0;
  double yMax = 0.0;
  bool bounded = count > 0;
  for (int i = 1; i <= count && bounded; ++i) {
    double x = 0.0;
    double y = 0.0;
    double radius = 0.0;
    bounded = Sensors.Items(i).SensingDisc(x, y, radius) && radius >= 0.0 && std::isfinite(x + y + radius);
    xMin = i == 1 ? x - radius : std::min(xMin, x - radius);
    xMax = i == 1 ? x + radius : std::max(xMax, x + radius);
    yMin = i == 1 ? y - radius : std::min(yMin, y - radius);
    yMax = i == 1 ? y + radius : std::max(yMax, y + radius);
  }

  // the cylinders that reach into the box (their radius and the margin
  // added): the only ones any sensor can see
  std::array<std::uint32_t, kMaximumCandidates> candidates{};
  std::size_t found = 0;
  if (bounded) {
    for (std::size_t k = 0; k < Cylinders.Size(); ++k) {
      const double reach = std::fabs(Cylinders.Constants[k].Radius) + kBoxMargin;
      const double cx = Cylinders.States[k].Position[0];
      const double cy = Cylinders.States[k].Position[1];
      // not a number or outside: no reading can come from it
      if (!(cx + reach >= xMin && cx - reach <= xMax && cy + reach >= yMin && cy - reach <= yMax)) {
        continue;
      }
      if (found == kMaximumCandidates) {
        bounded = false;
        break;
      }
      candidates[found++] = static_cast<std::uint32_t>(k);
    }
  }

  for (int i = 1; i <= count; ++i) {
    if (bounded) {
      Sensors.Items(i).UpdateAmong(Cylinders, std::span<const std::uint32_t>(candidates.data(), found));
    } else {
      Sensors.Items(i).Update(Cylinders);
    }
  }
}

}  // namespace kestrovan
