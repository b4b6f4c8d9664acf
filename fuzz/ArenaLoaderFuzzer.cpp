// libFuzzer target: the arena loader and the checks a run applies, on any bytes.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "arena/Arena.h"
#include "arena/ArenaChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  std::istringstream input(std::string(reinterpret_cast<const char*>(Data), Size));
  try {
    kestrovan::TArena arena(input, "fuzz.txt");
    const kestrovan::TArena copy(arena);
    kestrovan::CheckArena(copy, 0.05, 0.01);
    arena.ResetObjects();
  } catch (const kestrovan::TArenaFileError& error) {
    // a refused file must say where
    if (error.Located().empty()) {
      __builtin_trap();
    }
  }
  return 0;
}
