// libFuzzer target: the experiment file reader on any bytes. A file it
// accepts must write back to a text that reads back to the same experiment.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "experiment/Experiment.h"

namespace {

// A folder with the arena file that the inputs name ("arena.txt").
std::filesystem::path ExperimentFile() {
  static const std::filesystem::path file = [] {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kestrovan-fuzz-experiment";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "arena.txt") << "object Can: TCylinderZ\n  Radius = 0.1\n  Mass = 0.1\nend\n";
    return folder / "experiment.toml";
  }();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::filesystem::path file = ExperimentFile();
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  try {
    const kestrovan::TExperiment experiment = kestrovan::ParseExperiment(text, file);
    const std::string written = kestrovan::ExperimentText(experiment, file.parent_path());
    const kestrovan::TExperiment again = kestrovan::ParseExperiment(written, file);
    if (kestrovan::ExperimentText(again, file.parent_path()) != written) {
      __builtin_trap();
    }
  } catch (const kestrovan::TExperimentFileError& error) {
    // a refused file must say where
    if (error.Message().empty()) {
      __builtin_trap();
    }
  }
  return 0;
}
