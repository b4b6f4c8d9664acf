// libFuzzer target: the brain file reader on any bytes. A file it accepts
// must make a brain that writes back to a file that reads to the same genes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "robot/FSMBrain.h"
#include "simulation/BrainFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  try {
    const kestrovan::TBrainRecord record = kestrovan::ParseBrainFile(text, "fuzz.brain");
    kestrovan::TFSMBrainParameters shape;
    shape.NumberOfStates = record.NumberOfStates;
    shape.NumberOfConditions = record.NumberOfConditions;
    shape.NumberOfInputs = record.NumberOfInputs;
    const auto brain = kestrovan::MakeRecordedBrain(record, shape);
    // every gene decodes to an input and a state that exist
    std::string description;
    brain->AppendDescription(description);
    const kestrovan::TBrainRecord again =
        kestrovan::ParseBrainFile(kestrovan::FormatBrainFile(*brain, record.Origin), "fuzz.brain");
    for (int q = 1; q <= record.Genome.Rows(); ++q) {
      for (int column = 1; column <= record.Genome.Columns(); ++column) {
        if (again.Genome.GetElement(q, column) != record.Genome.GetElement(q, column)) {
          __builtin_trap();
        }
      }
    }
  } catch (const kestrovan::TBrainFileError& error) {
    // a refused file must say why
    if (error.Message().empty()) {
      __builtin_trap();
    }
  }
  return 0;
}
