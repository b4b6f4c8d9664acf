#include "numerics/TextNumbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kestrovan {

namespace {

// The exact product A * B as Product + Error (Dekker's algorithm: exact
// under round-to-nearest without fused multiply-add, as long as nothing
// overflows or underflows).
void TwoProduct(double A, double B, double& Product, double& Error) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double a = kSplitter * A;
  const double aHigh = a - (a - A);
  const double aLow = A - aHigh;
  const double b = kSplitter * B;
  const double bHigh = b - (b - B);
  const double bLow = B - bHigh;
  Product = A * B;
  Error = ((aHigh * bHigh - Product) + aHigh * bLow + aLow * bHigh) + aLow * bLow;
}

// Powers of ten that the fast path scales by, all exact doubles.
constexpr double kPowersOfTen[] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1000000.0};

// "000" to "999": three decimals are copied rather than divided out.
struct TThreeDigits {
  char Digits[1000][3];
  constexpr TThreeDigits() : Digits() {
    for (int i = 0; i < 1000; ++i) {
      Digits[i][0] = static_cast<char>('0' + i / 100);
      Digits[i][1] = static_cast<char>('0' + i / 10 % 10);
      Digits[i][2] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr TThreeDigits kThreeDigits;

// Writes Scaled / 10^Decimals with Decimals decimals at Out; returns the end.
template <int Decimals>
char* WriteScaled(char* Out, std::uint64_t Scaled) {
  constexpr std::uint64_t kUnit = static_cast<std::uint64_t>(kPowersOfTen[Decimals]);
  std::uint64_t integerPart = Scaled / kUnit;
  auto fractionPart = static_cast<std::uint32_t>(Scaled % kUnit);
  // the integer part's digits, written from the right once their count is known
  if (integerPart < 10) {
    *Out++ = static_cast<char>('0' + integerPart);
  } else {
    int count = 1;
    for (std::uint64_t rest = integerPart; rest >= 10; rest /= 10) {
      ++count;
    }
    char* digit = Out + count;
    do {
      *--digit = static_cast<char>('0' + integerPart % 10);
      integerPart /= 10;
    } while (integerPart != 0);
    Out += count;
  }
  if constexpr (Decimals > 0) {
    *Out++ = '.';
    if constexpr (Decimals == 3) {
      std::memcpy(Out, kThreeDigits.Digits[fractionPart], 3);
    } else {
      for (int i = Decimals - 1; i >= 0; --i) {
        Out[i] = static_cast<char>('0' + fractionPart % 10);
        fractionPart /= 10;
      }
    }
    Out += Decimals;
  }
  return Out;
}

// Writes Value with Decimals decimals at Out, as printf's "%.*f" writes it
// in the C locale; returns the end of the text. Out must have room for
// kMaximumFixedLength characters.
template <int Decimals>
char* WriteFixed(char* Out, double Value) {
  static_assert(Decimals >= 0 && Decimals <= 6);
  // Fast path: |Value| * 10^Decimals is formed exactly as a product and an
  // error term and rounded to the nearest integer, ties to even, which is
  // what printf does with the exact binary value. Beyond 2^52 and for
  // infinities and NaN, to_chars does it (it rounds like printf in the C
  // locale and never uses the locale).
  constexpr double kScale = kPowersOfTen[Decimals];
  const double magnitude = std::fabs(Value);
  if (!(magnitude * kScale < 4503599627370496.0)) {
    return std::to_chars(Out, Out + kMaximumFixedLength, Value, std::chars_format::fixed, Decimals).ptr;
  }
  std::uint64_t scaled = 0;
  // below a quarter unit the value rounds to zero (and the error term could underflow)
  if (magnitude * kScale >= 0.25) {
    double product = 0.0;
    double error = 0.0;
    TwoProduct(magnitude, kScale, product, error);
    scaled = static_cast<std::uint64_t>(product);                   // floor: product is positive and below 2^52
    const double fraction = product - static_cast<double>(scaled);  // exact
    // the exact value is scaled + fraction + error, |error| <= half an ulp of product
    if (fraction > 0.5 || (fraction == 0.5 && (error > 0.0 || (error == 0.0 && (scaled & 1U) != 0)))) {
      ++scaled;
    }
  }
  if (std::signbit(Value)) {
    *Out++ = '-';
  }
  return WriteScaled<Decimals>(Out, scaled);
}

}  // namespace

char* WriteFixed(char* Out, double Value, int Decimals) {
  switch (Decimals) {
    case 0:
      return WriteFixed<0>(Out, Value);
    case 1:
      return WriteFixed<1>(Out, Value);
    case 2:
      return WriteFixed<2>(Out, Value);
    case 3:
      return WriteFixed<3>(Out, Value);
    case 4:
      return WriteFixed<4>(Out, Value);
    case 5:
      return WriteFixed<5>(Out, Value);
    case 6:
      return WriteFixed<6>(Out, Value);
    default:
      return std::to_chars(Out, Out + kMaximumFixedLength, Value, std::chars_format::fixed, Decimals).ptr;
  }
}

char* WriteFixedThreeDecimals(char* Out, double Value) { return WriteFixed<3>(Out, Value); }

void AppendFixed(std::string& Text, double Value, int Decimals) {
  char digits[kMaximumFixedLength];
  Text.append(digits, WriteFixed(digits, Value, Decimals));
}

void AppendInteger(std::string& Text, long long Value) {
  char digits[32];
  const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, Value);
  Text.append(digits, result.ptr);
}

void AppendShortest(std::string& Text, double Value) {
  char digits[64];
  const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, Value);
  const std::string_view text(digits, static_cast<std::size_t>(result.ptr - digits));
  Text += text;
  if (std::isfinite(Value) && text.find_first_of(".e") == std::string_view::npos) {
    Text += ".0";
  }
}

}  // namespace kestrovan
