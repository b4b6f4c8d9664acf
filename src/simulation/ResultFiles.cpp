#include "simulation/ResultFiles.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "numerics/Matrices.h"
#include "numerics/TextNumbers.h"
#include "robot/Brain.h"

namespace kestrovan {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendLine(std::string& Text, std::string_view Line) {
  Text += Line;
  Text += kLineEnd;
}

void Call(const std::function<void()>& Yield) {
  if (Yield) {
    Yield();
  }
}

// Removes the temporary file and reports the failure under the target's name.
[[noreturn]] void FailWrite(const std::string& Target, const std::string& Temporary, int Error) {
  std::remove(Temporary.c_str());
  throw std::runtime_error("Cannot write '" + Target + "': " + (Error != 0 ? std::strerror(Error) : "unknown error"));
}

}  // namespace

std::string FormatNewBestFile(const TBrain& Brain, const TMatrix& RobotTrajectory, const TMatrix& CylinderTrajectory,
                              const std::function<void()>& Yield) {
  std::string text;
  // about 16 characters per robot row and 7 per cylinder value
  text.reserve(4096 + static_cast<std::size_t>(RobotTrajectory.Rows()) * 20 +
               static_cast<std::size_t>(CylinderTrajectory.Rows()) * (4 + 8 * CylinderTrajectory.Columns()));

  // the brain in readable form
  AppendLine(text, "(*");
  Brain.AppendDescription(text);
  AppendLine(text, "*)");
  AppendLine(text, " ");

  // robot positions, one "{x, y}" per step; the list stays open
  AppendLine(text, "Robotpos = {");
  for (int i = 1; i <= RobotTrajectory.Rows(); ++i) {
    text += '{';
    AppendFixed(text, RobotTrajectory.GetElement(i, 1), 3);
    text += ", ";
    AppendFixed(text, RobotTrajectory.GetElement(i, 2), 3);
    text += '}';
    text += kLineEnd;
    Call(Yield);
  }
  AppendLine(text, "");

  // cylinder positions, "{x1,y1,x2,y2,...}," per step; the last value closes
  // the row, so a row without cylinders is "{" alone
  const int columns = CylinderTrajectory.Columns();
  for (int i = 1; i <= CylinderTrajectory.Rows(); ++i) {
    text += '{';
    for (int j = 1; j <= columns; ++j) {
      AppendFixed(text, CylinderTrajectory.GetElement(i, j), 3);
      text += j < columns ? "," : "},";
    }
    text += kLineEnd;
    Call(Yield);
  }
  return text;
}

std::string FormatHistoryFile(const TVector& MaxFitnessHistory, const TVector& AverageFitnessHistory) {
  std::string text;
  const auto appendHistory = [&text](std::string_view Header, const TVector& History) {
    AppendLine(text, Header);
    for (int g = 1; g <= History.Count(); ++g) {
      text += '{';
      AppendInteger(text, g);
      text += ',';
      AppendFixed(text, History.GetElement(g), 4);
      text += "},";
      text += kLineEnd;
    }
  };
  appendHistory("MaxFitness = {", MaxFitnessHistory);
  appendHistory("AvgFitness = {", AverageFitnessHistory);
  return text;
}

void WriteFileAtomically(const std::filesystem::path& Path, std::string_view Content) {
  const std::string target = Path.string();
  // a hidden name in the same folder, so that the rename cannot cross file systems
  std::filesystem::path temporary = Path;
  std::string temporaryFileName = ".";
  temporaryFileName += Path.filename().string();
  temporaryFileName += ".tmp";
  temporaryFileName += std::to_string(getpid());
  temporary.replace_filename(temporaryFileName);
  const std::string temporaryName = temporary.string();

  errno = 0;
  std::FILE* file = std::fopen(temporaryName.c_str(), "wb");
  if (file == nullptr) {
    FailWrite(target, temporaryName, errno);
  }
  errno = 0;
  const bool written = std::fwrite(Content.data(), 1, Content.size(), file) == Content.size() && std::fflush(file) == 0;
  const int writeError = errno;
  errno = 0;
  const bool closed = std::fclose(file) == 0;
  const int closeError = errno;
  if (!written) {
    FailWrite(target, temporaryName, writeError);
  }
  if (!closed) {
    FailWrite(target, temporaryName, closeError);
  }
  errno = 0;
  if (std::rename(temporaryName.c_str(), target.c_str()) != 0) {
    FailWrite(target, temporaryName, errno);
  }
}

}  // namespace kestrovan
