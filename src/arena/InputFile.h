#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrovan {

// Bounds every input file reader applies.
inline constexpr std::size_t kMaximumInputFileSize = 256u * 1024u * 1024u;  // bytes
inline constexpr std::size_t kMaximumInputLineLength = 1024u * 1024u;       // bytes, line end excluded

// An input file that cannot be read as a whole. what() is the reason alone
// (the system's reason where there is one, e.g. "Permission denied").
class TInputFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the whole of FileName into memory, once. A regular file, and a pipe
// reached through a path such as /dev/stdin or /dev/fd/N, are read to their
// end; anything else (a folder, a named FIFO, a device, a socket) is refused
// at once with "not a regular file" and never waited on. A missing file is
// "File not found"; other failures give the system's reason. More than
// MaximumSize bytes are refused without reading further.
std::string ReadInputFile(const std::string& FileName, std::size_t MaximumSize = kMaximumInputFileSize);

// Text with every control character (below 0x20, and 0x7F) written as \xNN,
// so that a message quoting bytes of a file cannot move the terminal's
// cursor or change its colours.
std::string EscapeControlCharacters(std::string_view Text);

}  // namespace kestrovan
