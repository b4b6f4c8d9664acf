#pragma once

// The kestrovan-batch executable run from the end-to-end tests as a user
// would run it: in a folder, standard input empty, both outputs kept.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace kestrovan::test {

struct TBatchExit {
  int Code = -1;  // exit status, -1 when a signal ended the program
  std::string Out;
  std::string Err;
};

// Runs the program in Folder with Arguments, words as a shell reads them.
inline TBatchExit RunBatchProgram(const std::filesystem::path& Folder, const std::string& Arguments) {
  const std::string command = "cd '" + Folder.string() + "' && '" KESTROVAN_BATCH_EXECUTABLE "' " + Arguments +
                              " >stdout.log 2>stderr.log </dev/null";
  const int status = std::system(command.c_str());
  TBatchExit result;
  result.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.Out = ReadFile(Folder / "stdout.log");
  result.Err = ReadFile(Folder / "stderr.log");
  return result;
}

inline std::vector<std::string> TextLines(const std::string& Text) {
  std::vector<std::string> lines;
  std::istringstream input(Text);
  for (std::string line; std::getline(input, line);) {
    lines.push_back(line);
  }
  return lines;
}

}  // namespace kestrovan::test
