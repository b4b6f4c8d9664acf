#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "numerics/TextNumbers.h"

namespace kestrovan {

class TBrain;
class TMatrix;
class TVector;

// The text of a new-best file, lines ending in CR LF: the brain's own
// section (TBrain::AppendDescription) between "(*" and "*)", then the robot positions after "Robotpos = {" and,
// after an empty line, the cylinder positions, one row per line. Neither
// list is closed. Yield, if set, is called after every trajectory line.
std::string FormatNewBestFile(const TBrain& Brain, const TMatrix& RobotTrajectory, const TMatrix& CylinderTrajectory,
                              const std::function<void()>& Yield = {});

// The text of "descr.txt": the best and the average fitness of every
// completed generation, lines ending in CR LF.
std::string FormatHistoryFile(const TVector& MaxFitnessHistory, const TVector& AverageFitnessHistory);

// Writes Content to a temporary file in Path's folder and renames it to Path
// when complete, so that no reader sees a partial file; an existing file is
// replaced. Throws std::runtime_error with the file name and the system's
// reason; the temporary file is removed then, and Path is left as it was.
void WriteFileAtomically(const std::filesystem::path& Path, std::string_view Content);

// Makes Folder ready for a run's result files: creates it with its parents
// when missing, removes the temporary files that WriteFileAtomically left
// there when a process of this program was killed while writing (those of
// processes still running stay), and proves that a file can be created,
// written and removed in it. Throws std::runtime_error naming the folder and
// the system's reason.
void PrepareOutputFolder(const std::filesystem::path& Folder);

// Removes from Folder the temporary files that WriteFileAtomically left
// when a process of this program was killed while writing; those of
// processes still running stay. Whatever cannot be read or removed is left.
void RemoveStaleTemporaryFiles(const std::filesystem::path& Folder);

// True for a name WriteFileAtomically gives its temporary files
// (".NAME.txt.tmpPID", ".NAME.brain.tmpPID"); ProcessId receives PID.
bool IsTemporaryResultFileName(const std::string& FileName, long& ProcessId);

}  // namespace kestrovan
