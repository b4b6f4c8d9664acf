#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrovan {

// A word that does not convert to the number a property needs. what() is the
// message for the user, e.g. "'1.2.3' is not a valid floating point value".
class TConversionError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// A word that a line does not have. what() is "List index out of bounds (N)"
// with the 0-based index N of the missing word.
class TListIndexError : public std::out_of_range {
 public:
  explicit TListIndexError(int Index);
  int Index() const { return index_; }

 private:
  int index_;
};

// One line of an arena file, cut into words and classified. One instance
// serves a whole file: Clear, SetLine, Parse for every line.
//
// Words: blanks (the space character only) separate words; a colon ends the
// word it follows and is consumed with it, and a colon where a word would
// start is an empty word. A '#' where a word would start ends the line (a
// comment); inside a word it belongs to the word. A line starting with '#'
// is one word, the whole line. A line of at most one character, or one that
// yields no word, is a single blank word that matches nothing.
class TInformationLine {
 public:
  // Stores the line (without its line end); Parse cuts it.
  void SetLine(std::string_view Text);
  // Cuts Line into Words and sets the three flags. A header ("object" or
  // "Object" first) with fewer than three words throws TListIndexError(2).
  void Parse();
  // Empties Line and Words and resets the flags.
  void Clear();

  const std::string& Line() const { return line_; }
  // The words, 0-based.
  const std::vector<std::string>& Words() const { return words_; }
  int WordCount() const { return static_cast<int>(words_.size()); }
  // Words[Index]; throws TListIndexError when the line has no such word.
  const std::string& Word(int Index) const;

  // "object"/"Object" header whose third word is "TAmbience".
  bool IsAmbienceHeader() const { return isAmbienceHeader_; }
  // "object"/"Object" header of any other class word.
  bool IsObjectHeader() const { return isObjectHeader_; }
  // First word "end" or "End".
  bool IsBlockEnd() const { return isBlockEnd_; }

 private:
  std::string line_;
  std::vector<std::string> words_;
  bool isAmbienceHeader_ = false;
  bool isObjectHeader_ = false;
  bool isBlockEnd_ = false;
};

// A real number written with '.' or with the decimal separator of the
// current C locale (LC_NUMERIC) as decimal separator: optional sign, digits with an optional separator and
// fraction (at least one digit in all), optional exponent E or e with
// optional sign and digits. The whole text must be the number; no blanks,
// no hexadecimal, no inf or nan, nothing beyond the range of a double (a
// value too small for a double becomes 0). Throws TConversionError
// "'%s' is not a valid floating point value".
double ParseFloat(std::string_view Text);

// A decimal 32-bit integer with optional sign, the whole text. Throws
// TConversionError "'%s' is not a valid integer value".
std::int32_t ParseInteger(std::string_view Text);

}  // namespace kestrovan
