#include "simulation/ResultFiles.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <system_error>

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
  char line[2 * kMaximumFixedLength + 16];
  for (int i = 1; i <= RobotTrajectory.Rows(); ++i) {
    char* end = line;
    *end++ = '{';
    end = WriteFixedThreeDecimals(end, RobotTrajectory.GetElement(i, 1));
    *end++ = ',';
    *end++ = ' ';
    end = WriteFixedThreeDecimals(end, RobotTrajectory.GetElement(i, 2));
    *end++ = '}';
    *end++ = '\r';
    *end++ = '\n';
    text.append(line, end);
    Call(Yield);
  }
  AppendLine(text, "");

  // cylinder positions, "{x1,y1,x2,y2,...}," per step; the last value closes
  // the row, so a row without cylinders is "{" alone
  const int columns = CylinderTrajectory.Columns();
  for (int i = 1; i <= CylinderTrajectory.Rows(); ++i) {
    // values gathered in the line buffer, which is flushed whenever it might overflow
    char* end = line;
    *end++ = '{';
    for (int j = 1; j <= columns; ++j) {
      if (end - line > static_cast<std::ptrdiff_t>(sizeof line) - kMaximumFixedLength - 8) {
        text.append(line, end);
        end = line;
      }
      end = WriteFixedThreeDecimals(end, CylinderTrajectory.GetElement(i, j));
      // the last value closes the row: "},"
      if (j == columns) {
        *end++ = '}';
      }
      *end++ = ',';
    }
    *end++ = '\r';
    *end++ = '\n';
    text.append(line, end);
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

bool IsTemporaryResultFileName(const std::string& FileName, long& ProcessId) {
  // the text result files and the brain files
  std::size_t marker = FileName.rfind(".txt.tmp");
  std::size_t digitsStart = marker + 8;
  if (marker == std::string::npos) {
    marker = FileName.rfind(".brain.tmp");
    digitsStart = marker + 10;
  }
  if (!FileName.starts_with('.') || marker == std::string::npos || marker < 2) {
    return false;
  }
  const std::string_view digits = std::string_view(FileName).substr(digitsStart);
  long id = 0;
  const std::from_chars_result result = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size() || id <= 0) {
    return false;
  }
  ProcessId = id;
  return true;
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& Folder) {
  std::error_code error;
  // a process that still runs keeps its own
  for (std::filesystem::directory_iterator entry(Folder, error), end; !error && entry != end; entry.increment(error)) {
    long processId = 0;
    if (IsTemporaryResultFileName(entry->path().filename().string(), processId) &&
        (::kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH) && entry->is_regular_file(error)) {
      std::filesystem::remove(entry->path(), error);
      error.clear();
    }
  }
}

void PrepareOutputFolder(const std::filesystem::path& Folder) {
  const std::string name = Folder.string();
  std::error_code error;
  std::filesystem::create_directories(Folder, error);
  if (error) {
    throw std::runtime_error("Cannot create folder '" + name + "': " + error.message());
  }
  if (!std::filesystem::is_directory(Folder, error)) {
    throw std::runtime_error("'" + name + "' is not a folder");
  }

  RemoveStaleTemporaryFiles(Folder);

  // a probe file, so that a folder that cannot be written is found before
  // the first evaluation rather than at the first new best
  const std::filesystem::path probe = Folder / (".kestrovan-probe" + std::to_string(getpid()));
  const std::string probeName = probe.string();
  errno = 0;
  std::FILE* file = std::fopen(probeName.c_str(), "wb");
  if (file == nullptr) {
    const int reason = errno;
    throw std::runtime_error("Cannot write in folder '" + name +
                             "': " + (reason != 0 ? std::strerror(reason) : "unknown error"));
  }
  errno = 0;
  const bool written = std::fputc('\n', file) != EOF && std::fflush(file) == 0;
  const int writeError = errno;
  const bool closed = std::fclose(file) == 0;
  const int closeError = errno;
  std::remove(probeName.c_str());
  if (!written || !closed) {
    const int reason = !written ? writeError : closeError;
    throw std::runtime_error("Cannot write in folder '" + name +
                             "': " + (reason != 0 ? std::strerror(reason) : "unknown error"));
  }
}

}  // namespace kestrovan
