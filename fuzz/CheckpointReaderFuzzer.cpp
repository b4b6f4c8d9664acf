// libFuzzer target: the checkpoint reader on any bytes, and on any body
// sealed with a valid header and checksum (which random bytes seldom hit).
// A checkpoint it accepts must encode back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "experiment/Checkpoint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size == 0) {
    return 0;
  }
  const std::string_view rest(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  // the first byte chooses: the bytes as a file, or as the body of one
  const std::string bytes = (Data[0] & 1) != 0 ? kestrovan::SealCheckpoint(rest) : std::string(rest);
  try {
    const kestrovan::TCheckpoint checkpoint = kestrovan::DecodeCheckpoint(bytes, "fuzz.kcp");
    if (kestrovan::EncodeCheckpoint(checkpoint) != bytes) {
      __builtin_trap();
    }
  } catch (const kestrovan::TCheckpointError& error) {
    // a refusal names the file
    if (std::string_view(error.what()).substr(0, 10) != "fuzz.kcp: ") {
      __builtin_trap();
    }
  }
  return 0;
}
