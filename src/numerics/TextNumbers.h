#pragma once

#include <string>

namespace kestrovan {

// Appends Value with Decimals decimals, rounded as printf's "%.*f" does, with
// '.' as decimal separator whatever the locale.
void AppendFixed(std::string& Text, double Value, int Decimals);

// Appends Value in decimal digits.
void AppendInteger(std::string& Text, long long Value);

}  // namespace kestrovan
