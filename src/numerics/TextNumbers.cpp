#include "numerics/TextNumbers.h"

#include <charconv>

namespace kestrovan {

void AppendFixed(std::string& Text, double Value, int Decimals) {
  // to_chars rounds like printf in the C locale and never uses the locale
  char digits[400];
  const std::to_chars_result result =
      std::to_chars(digits, digits + sizeof digits, Value, std::chars_format::fixed, Decimals);
  Text.append(digits, result.ptr);
}

void AppendInteger(std::string& Text, long long Value) {
  char digits[32];
  const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, Value);
  Text.append(digits, result.ptr);
}

}  // namespace kestrovan
