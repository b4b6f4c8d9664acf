#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "arena/Arena.h"

namespace kestrovan {

// The largest magnitude a position, velocity, radius or floor size may have
// for a run to compute it (m, m/s).
inline constexpr double kMaximumArenaMagnitude = 1e6;

// One finding about an arena: the line of the object concerned (0 for the
// arena as a whole) and what is wrong.
struct TArenaFinding {
  std::int64_t Line = 0;
  std::string Message;
};

// What a run makes of an arena: Errors it refuses to compute, Warnings of
// runs that compute but mean little.
struct TArenaCheck {
  std::vector<TArenaFinding> Errors;
  std::vector<TArenaFinding> Warnings;
};

// Checks Arena for a run of a robot of RobotRadius (m) starting at the origin
// with time steps of TimeStep (s).
//
// Errors: no object at all; a position, velocity, radius or floor size that
// is not finite or above kMaximumArenaMagnitude in magnitude; a movable
// cylinder whose drag step factor 0.1 * TimeStep / Mass is 2 or more (each
// step then reverses and amplifies its velocity).
//
// Warnings: no cylinder (every fitness is 0); a drag step factor from 1 to
// 2 (the velocity overshoots zero every step); a floor whose Length or Width
// is not positive; the robot's start outside the floor; cylinders that
// overlap each other or the robot at the start.
TArenaCheck CheckArena(const TArena& Arena, double RobotRadius, double TimeStep);

// "FILE:LINE: message", or "FILE: message" for line 0.
std::string Locate(const std::string& FileName, const TArenaFinding& Finding);

// A value as the checks' messages write it ("%g": 0.0004, 1e+300).
std::string FindingNumber(double Value);

}  // namespace kestrovan
