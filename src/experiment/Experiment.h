#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ea/EAParameters.h"
#include "robot/DefaultRobot.h"

namespace kestrovan {

// Every setting of an evolution run: the robot, the EA, the simulation, the
// arena file and, optionally, the seed and the number of generations. The
// experiment file (TOML) holds one of these; a missing key keeps the value
// of Default().
struct TExperiment {
  // The arena file; empty when none is given. A path read from a file is
  // resolved against the file's folder.
  std::filesystem::path ArenaFile;
  // Body, sensor range and opening angle, motor and brain shape. The brain's
  // mutation values always follow the EA's (see RobotConfiguration()).
  TRobotConfiguration Robot = TRobotConfiguration::Default();
  TEAParameters EA;
  double SimulationTime = 20.0;  // s per evaluation
  double TimeStep = 0.01;        // s per step
  bool KeepCylinderVelocities = false;
  double MinimumCylinderSpeed = 0.0;  // m/s
  double MaximumCylinderSpeed = 0.0;  // m/s
  std::optional<std::uint32_t> Seed;  // empty: from the clock
  std::optional<int> Generations;     // empty: the front end decides
  bool LogEvaluations = false;        // write evaluations.csv

  // The default configuration: the robot of a new session and the EA
  // parameters as the EA setup dialog leaves them after OK without edits.
  static TExperiment Default();

  // Robot with the brain's mutation rate, creep probability and creep rate
  // taken from EA, as the main window hands them to new brains.
  TRobotConfiguration RobotConfiguration() const;

  bool operator==(const TExperiment& Other) const;
};

// Distance of the IR sensors from the body's centre, whatever its radius.
inline constexpr double kSensorMountingRadius = 0.05;

// A refused experiment file: File, Line (0 when the whole file is meant) and
// what is wrong.
class TExperimentFileError : public std::runtime_error {
 public:
  TExperimentFileError(std::filesystem::path File, int Line, const std::string& Message);
  const std::filesystem::path& File() const { return file_; }
  int Line() const { return line_; }
  const std::string& Message() const { return message_; }

 private:
  std::filesystem::path file_;
  int line_;
  std::string message_;
};

// Reads an experiment file. Throws TExperimentFileError for a file that
// cannot be read, bad TOML, an unknown section or key, a value of the wrong
// type or out of its range, or an arena file that does not exist.
TExperiment ReadExperiment(const std::filesystem::path& File);
// The same for text read from File (File names the errors and anchors a
// relative arena path).
TExperiment ParseExperiment(std::string_view Text, const std::filesystem::path& File);

// The experiment as TOML: every key, numbers in shortest round-trip form with
// '.', the arena path relative to Folder (the folder of the file written).
std::string ExperimentText(const TExperiment& Experiment, const std::filesystem::path& Folder);
// Writes ExperimentText under a temporary name, then renames it to File.
// Throws std::runtime_error naming the file.
void WriteExperiment(const TExperiment& Experiment, const std::filesystem::path& File);

// Shortest text that reads back as Value, always with '.' or an exponent.
std::string ShortestReal(double Value);

}  // namespace kestrovan
