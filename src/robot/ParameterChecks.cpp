#include "robot/ParameterChecks.h"

#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>

namespace kestrovan {

namespace {

[[noreturn]] void Refuse(std::string_view Owner, std::string_view Field, std::string_view Range, double Value) {
  std::ostringstream message;
  message.imbue(std::locale::classic());
  message << Owner << ' ' << Field << " must be " << Range << ", got " << Value;
  throw std::invalid_argument(message.str());
}

}  // namespace

void RequirePositive(double Value, std::string_view Owner, std::string_view Field, std::string_view Unit) {
  if (!(Value > 0.0)) {
    Refuse(Owner, Field, "greater than 0 " + std::string(Unit), Value);
  }
}

void RequireNonNegative(double Value, std::string_view Owner, std::string_view Field) {
  if (!(Value >= 0.0)) {
    Refuse(Owner, Field, "0 or more", Value);
  }
}

void RequireAtLeast(long long Value, long long Minimum, std::string_view Owner, std::string_view Field) {
  if (Value < Minimum) {
    Refuse(Owner, Field, "at least " + std::to_string(Minimum), static_cast<double>(Value));
  }
}

}  // namespace kestrovan
