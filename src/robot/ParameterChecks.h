#pragma once

#include <string_view>

namespace kestrovan {

// Throw std::invalid_argument naming the owner, the field, the accepted
// range and the offending value. NaN fails every check.

// Value > 0.
void RequirePositive(double Value, std::string_view Owner, std::string_view Field, std::string_view Unit);
// Value >= 0.
void RequireNonNegative(double Value, std::string_view Owner, std::string_view Field);
// Value >= Minimum.
void RequireAtLeast(long long Value, long long Minimum, std::string_view Owner, std::string_view Field);

}  // namespace kestrovan
