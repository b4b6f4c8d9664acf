#pragma once

#include <string>

namespace kestrovan {

// Room WriteFixed needs: any double with up to 60 decimals (309 integer
// digits, sign, point).
inline constexpr int kMaximumFixedLength = 400;

// Writes Value with Decimals decimals at Out, rounded as printf's "%.*f"
// rounds the exact binary value, with '.' whatever the locale; returns the
// end of the text. Out must have room for kMaximumFixedLength characters.
// Up to six decimals the digits come from the exact product with the power
// of ten (far cheaper than to_chars), beyond that from to_chars.
char* WriteFixed(char* Out, double Value, int Decimals);
// WriteFixed with three decimals, the result files' trajectory numbers.
char* WriteFixedThreeDecimals(char* Out, double Value);

// Appends Value with Decimals decimals, as WriteFixed writes it.
void AppendFixed(std::string& Text, double Value, int Decimals);

// Appends Value in decimal digits.
void AppendInteger(std::string& Text, long long Value);

// Appends the shortest text that reads back as exactly Value, with '.'
// whatever the locale, and with ".0" added when it would read as an integer.
void AppendShortest(std::string& Text, double Value);

}  // namespace kestrovan
