#include "arena/ArenaChecks.h"

#include <cmath>
#include <cstdio>

#include "arena/InputFile.h"

namespace kestrovan {

std::string FindingNumber(double Value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", Value);
  return text;
}

namespace {

std::string Describe(const TArena& Arena, int i) {
  const TArenaObject& object = Arena.Objects(i);
  std::string text = ArenaClassName(object);
  text += object.Name.empty() ? std::string(" (unnamed)") : " '" + EscapeControlCharacters(object.Name) + "'";
  return text;
}

bool Absurd(double Value) { return !std::isfinite(Value) || std::fabs(Value) > kMaximumArenaMagnitude; }

// Adds an error for every value of Vector that a run cannot compute.
void CheckVector(TArenaCheck& Check, std::int64_t Line, const std::string& Object, const char* Name,
                 const TVector& Vector) {
  for (int k = 1; k <= 3; ++k) {
    if (Absurd(Vector.GetElement(k))) {
      Check.Errors.push_back({Line, Object + ": " + Name + " " + FindingNumber(Vector.GetElement(k)) +
                                        " is not finite or above " + FindingNumber(kMaximumArenaMagnitude) +
                                        " in magnitude"});
      return;
    }
  }
}

void CheckValue(TArenaCheck& Check, std::int64_t Line, const std::string& Object, const char* Name, double Value) {
  if (Absurd(Value)) {
    Check.Errors.push_back({Line, Object + ": " + Name + " " + FindingNumber(Value) + " is not finite or above " +
                                      FindingNumber(kMaximumArenaMagnitude) + " in magnitude"});
  }
}

void CheckDrag(TArenaCheck& Check, std::int64_t Line, const std::string& Object, const TCylinderZ& Cylinder,
               double TimeStep) {
  if (Cylinder.IsImmovable()) {
    return;
  }
  // v := v - v * factor each step: from 1 on the velocity overshoots zero,
  // from 2 on it grows without bound
  const double factor = 0.1 * TimeStep / Cylinder.Mass;
  const std::string text = Object + ": Mass " + FindingNumber(Cylinder.Mass) + " kg with time step " +
                           FindingNumber(TimeStep) + " s gives a drag step factor 0.1*dt/Mass of " +
                           FindingNumber(factor);
  if (!(factor < 2.0)) {
    Check.Errors.push_back(
        {Line, text + ", which must stay below 2 (Mass above " + FindingNumber(0.05 * TimeStep) + " kg)"});
  } else if (factor >= 1.0) {
    Check.Warnings.push_back({Line, text + ": the velocity overshoots zero every step (Mass above " +
                                        FindingNumber(0.1 * TimeStep) + " kg avoids it)"});
  }
}

}  // namespace

TArenaCheck CheckArena(const TArena& Arena, double RobotRadius, double TimeStep) {
  TArenaCheck check;
  if (Arena.NumberOfObjects() == 0) {
    check.Errors.push_back({0, "the arena has no object"});
    return check;
  }

  for (int i = 1; i <= Arena.NumberOfObjects(); ++i) {
    const TArenaObject& object = Arena.Objects(i);
    const std::int64_t line = Arena.ObjectLine(i);
    const std::string name = Describe(Arena, i);
    CheckVector(check, line, name, "Position", object.Position);
    CheckVector(check, line, name, "Velocity", object.Velocity);
    if (const auto* floor = dynamic_cast<const TBasicFloor*>(&object)) {
      CheckValue(check, line, name, "Length", floor->Length);
      CheckValue(check, line, name, "Width", floor->Width);
      if (!(floor->Length > 0.0) || !(floor->Width > 0.0)) {
        check.Warnings.push_back({line, name + ": Length " + FindingNumber(floor->Length) + " by Width " +
                                            FindingNumber(floor->Width) + " m is not a positive size"});
      }
    }
    if (const auto* cylinder = dynamic_cast<const TCylinderZ*>(&object)) {
      CheckValue(check, line, name, "Radius", cylinder->Radius);
      CheckDrag(check, line, name, *cylinder, TimeStep);
    }
  }
  if (!check.Errors.empty()) {
    return check;
  }

  if (Arena.Cylinders().empty()) {
    check.Warnings.push_back({0, "the arena has no cylinder (TCylinderZ or TSoftDrinkCanZ): every fitness is 0"});
  }
  double xMin = 0.0;
  double xMax = 0.0;
  double yMin = 0.0;
  double yMax = 0.0;
  if (Arena.GetFloorBounds(xMin, xMax, yMin, yMax) && Arena.Floor()->Length > 0.0 && Arena.Floor()->Width > 0.0 &&
      !(xMin < 0.0 && 0.0 < xMax && yMin < 0.0 && 0.0 < yMax)) {
    check.Warnings.push_back({0, "the robot's start (0, 0) is outside the floor, x from " + FindingNumber(xMin) +
                                     " to " + FindingNumber(xMax) + ", y from " + FindingNumber(yMin) + " to " +
                                     FindingNumber(yMax)});
  }

  // overlaps at the start, in object order
  std::vector<std::pair<int, const TCylinderZ*>> cylinders;
  for (int i = 1; i <= Arena.NumberOfObjects(); ++i) {
    if (const auto* cylinder = dynamic_cast<const TCylinderZ*>(&Arena.Objects(i))) {
      cylinders.emplace_back(i, cylinder);
    }
  }
  for (std::size_t a = 0; a < cylinders.size(); ++a) {
    const auto [i, first] = cylinders[a];
    const double x = first->Position.GetElement(1);
    const double y = first->Position.GetElement(2);
    if (std::hypot(x, y) < first->Radius + RobotRadius) {
      check.Warnings.push_back({Arena.ObjectLine(i), Describe(Arena, i) + " overlaps the robot at its start (0, 0)"});
    }
    for (std::size_t b = a + 1; b < cylinders.size(); ++b) {
      const auto [j, second] = cylinders[b];
      if (std::hypot(x - second->Position.GetElement(1), y - second->Position.GetElement(2)) <
          first->Radius + second->Radius) {
        check.Warnings.push_back({Arena.ObjectLine(j), Describe(Arena, j) + " overlaps " + Describe(Arena, i) +
                                                           " (line " + std::to_string(Arena.ObjectLine(i)) + ")"});
      }
    }
  }
  return check;
}

std::string Locate(const std::string& FileName, const TArenaFinding& Finding) {
  if (Finding.Line > 0) {
    return FileName + ":" + std::to_string(Finding.Line) + ": " + Finding.Message;
  }
  return FileName + ": " + Finding.Message;
}

}  // namespace kestrovan
