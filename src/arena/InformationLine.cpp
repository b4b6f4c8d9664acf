#include "arena/InformationLine.h"

#include <charconv>
#include <clocale>
#include <cstdint>
#include <system_error>

namespace kestrovan {

TListIndexError::TListIndexError(int Index)
    : std::out_of_range("List index out of bounds (" + std::to_string(Index) + ")"), index_(Index) {}

void TInformationLine::SetLine(std::string_view Text) { line_.assign(Text); }

void TInformationLine::Clear() {
  line_.clear();
  words_.clear();
  isAmbienceHeader_ = false;
  isObjectHeader_ = false;
  isBlockEnd_ = false;
}

const std::string& TInformationLine::Word(int Index) const {
  if (Index < 0 || Index >= WordCount()) {
    throw TListIndexError(Index);
  }
  return words_[static_cast<std::size_t>(Index)];
}

void TInformationLine::Parse() {
  words_.clear();
  isAmbienceHeader_ = false;
  isObjectHeader_ = false;
  isBlockEnd_ = false;

  const std::size_t n = line_.size();
  if (n > 1) {
    std::size_t i = 0;
    while (i < n) {
      const char c = line_[i];
      if (c == ' ') {
        ++i;
      } else if (c == '#') {
        // a comment: the rest of the line; a line that starts with it is
        // kept whole as its only word
        if (i == 0) {
          words_.push_back(line_);
        }
        break;
      } else if (c == ':') {
        words_.emplace_back();
        ++i;
      } else {
        const std::size_t start = i;
        while (i < n && line_[i] != ' ' && line_[i] != ':') {
          ++i;
        }
        words_.emplace_back(line_, start, i - start);
        // the colon that ends a word goes with it
        if (i < n && line_[i] == ':') {
          ++i;
        }
      }
    }
  }
  // a line too short to examine, or without words, matches nothing
  if (words_.empty()) {
    words_.emplace_back(" ");
  }

  const std::string& first = words_.front();
  if (first == "object" || first == "Object") {
    if (Word(2) == "TAmbience") {
      isAmbienceHeader_ = true;
    } else {
      isObjectHeader_ = true;
    }
  } else if (first == "end" || first == "End") {
    isBlockEnd_ = true;
  }
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The current C locale's decimal separator; "." when it has none.
std::string_view DecimalSeparator() {
  const std::lconv* conventions = std::localeconv();
  if (conventions == nullptr || conventions->decimal_point == nullptr || conventions->decimal_point[0] == '\0') {
    return ".";
  }
  return conventions->decimal_point;
}

[[noreturn]] void NotAFloat(std::string_view Text) {
  throw TConversionError("'" + std::string(Text) + "' is not a valid floating point value");
}

}  // namespace

double ParseFloat(std::string_view Text) {
  const std::string_view separator = DecimalSeparator();
  // the number rewritten for from_chars: '.' as separator, no leading '+'
  std::string canonical;
  canonical.reserve(Text.size());

  std::size_t i = 0;
  const std::size_t n = Text.size();
  bool negative = false;
  if (i < n && (Text[i] == '+' || Text[i] == '-')) {
    negative = Text[i] == '-';
    if (negative) {
      canonical.push_back('-');
    }
    ++i;
  }

  // mantissa; magnitude is the decimal exponent of its first non-zero digit
  // plus one, used only to tell overflow from underflow
  std::int64_t digits = 0;
  std::int64_t magnitude = 0;
  bool nonZero = false;
  while (i < n && IsDigit(Text[i])) {
    nonZero = nonZero || Text[i] != '0';
    if (nonZero) {
      ++magnitude;
    }
    canonical.push_back(Text[i]);
    ++digits;
    ++i;
  }
  // '.' is read in every locale, the locale's own separator as well
  const std::size_t separatorSize =
      Text.substr(i).starts_with('.') ? 1 : (Text.substr(i).starts_with(separator) ? separator.size() : 0);
  if (separatorSize > 0) {
    i += separatorSize;
    canonical.push_back('.');
    while (i < n && IsDigit(Text[i])) {
      if (!nonZero && Text[i] == '0') {
        --magnitude;
      }
      nonZero = nonZero || Text[i] != '0';
      canonical.push_back(Text[i]);
      ++digits;
      ++i;
    }
  }
  if (digits == 0) {
    NotAFloat(Text);
  }

  std::int64_t exponent = 0;
  if (i < n && (Text[i] == 'e' || Text[i] == 'E')) {
    canonical.push_back('e');
    ++i;
    bool negativeExponent = false;
    if (i < n && (Text[i] == '+' || Text[i] == '-')) {
      negativeExponent = Text[i] == '-';
      canonical.push_back(Text[i]);
      ++i;
    }
    const std::size_t exponentStart = i;
    while (i < n && IsDigit(Text[i])) {
      if (exponent < 1000000000) {
        exponent = exponent * 10 + (Text[i] - '0');
      }
      canonical.push_back(Text[i]);
      ++i;
    }
    if (i == exponentStart) {
      NotAFloat(Text);
    }
    if (negativeExponent) {
      exponent = -exponent;
    }
  }
  if (i != n) {
    NotAFloat(Text);
  }

  double value = 0.0;
  const char* end = canonical.data() + canonical.size();
  const std::from_chars_result result = std::from_chars(canonical.data(), end, value);
  if (result.ec == std::errc::result_out_of_range) {
    // beyond the largest double is an error; below the smallest rounds to 0
    if (nonZero && magnitude + exponent > 0) {
      NotAFloat(Text);
    }
    return negative ? -0.0 : 0.0;
  }
  if (result.ec != std::errc() || result.ptr != end) {
    NotAFloat(Text);
  }
  return value;
}

std::int32_t ParseInteger(std::string_view Text) {
  // from_chars takes a '-' but no '+'; either sign must be followed by a digit
  std::string_view digits = Text;
  const bool plus = digits.starts_with('+');
  if (plus) {
    digits.remove_prefix(1);
  }
  const std::size_t firstDigit = !plus && digits.starts_with('-') ? 1 : 0;
  std::int32_t value = 0;
  if (digits.size() > firstDigit && IsDigit(digits[firstDigit])) {
    const std::from_chars_result result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc() && result.ptr == digits.data() + digits.size()) {
      return value;
    }
  }
  throw TConversionError("'" + std::string(Text) + "' is not a valid integer value");
}

}  // namespace kestrovan
