// libFuzzer target: the line tokenizer and the number readers, on any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "arena/InformationLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  kestrovan::TInformationLine line;
  line.SetLine(text);
  try {
    line.Parse();
  } catch (const kestrovan::TListIndexError&) {
    // a header without its class word
    return 0;
  }
  // every word fits in the line, and a non-empty line has at least one word
  if (line.WordCount() < 1 || (line.IsObjectHeader() && line.IsAmbienceHeader())) {
    __builtin_trap();
  }
  for (const std::string& word : line.Words()) {
    if (word.size() > text.size() && word != " ") {
      __builtin_trap();
    }
    try {
      kestrovan::ParseFloat(word);
    } catch (const kestrovan::TConversionError&) {
    }
    try {
      kestrovan::ParseInteger(word);
    } catch (const kestrovan::TConversionError&) {
    }
  }
  return 0;
}
