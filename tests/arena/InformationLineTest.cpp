#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "arena/CommaLocale.h"
#include "arena/InformationLine.h"

namespace kestrovan {
namespace {

using TWords = std::vector<std::string>;

// Words of one line after SetLine and Parse on a fresh tokeniser.
TWords WordsOf(const std::string& Text) {
  TInformationLine line;
  line.SetLine(Text);
  line.Parse();
  return line.Words();
}

TEST(TInformationLine, HeaderWithNameColonAndComment) {
  TInformationLine line;
  line.SetLine("object Can1: TCylinderZ   # a pushable cylinder");
  line.Parse();
  EXPECT_EQ(line.Words(), (TWords{"object", "Can1", "TCylinderZ"}));
  EXPECT_TRUE(line.IsObjectHeader());
  EXPECT_FALSE(line.IsAmbienceHeader());
  EXPECT_FALSE(line.IsBlockEnd());
}

TEST(TInformationLine, BlankBeforeColonGivesEmptyClassWord) {
  TInformationLine line;
  line.SetLine("object Can1 : TCylinderZ");
  line.Parse();
  EXPECT_EQ(line.Words(), (TWords{"object", "Can1", "", "TCylinderZ"}));
  EXPECT_TRUE(line.IsObjectHeader());
}

TEST(TInformationLine, AmbienceHeaderInBothKeywordForms) {
  TInformationLine line;
  line.SetLine("Object Mist: TAmbience extra words");
  line.Parse();
  EXPECT_TRUE(line.IsAmbienceHeader());
  EXPECT_FALSE(line.IsObjectHeader());
  line.Clear();
  line.SetLine("object Mist: TAmbience");
  line.Parse();
  EXPECT_TRUE(line.IsAmbienceHeader());
}

TEST(TInformationLine, KeywordsAreCaseSensitive) {
  for (const char* text : {"end", "End", "end of block"}) {
    TInformationLine line;
    line.SetLine(text);
    line.Parse();
    EXPECT_TRUE(line.IsBlockEnd()) << text;
  }
  for (const char* text : {"END", "eNd", "OBJECT A: TWall", "objects A: TWall"}) {
    TInformationLine line;
    line.SetLine(text);
    line.Parse();
    EXPECT_FALSE(line.IsBlockEnd()) << text;
    EXPECT_FALSE(line.IsObjectHeader()) << text;
  }
}

TEST(TInformationLine, LinesTooShortOrWithoutWordsMatchNothing) {
  // a single character is not examined, even a keyword-like one
  EXPECT_EQ(WordsOf(""), TWords{" "});
  EXPECT_EQ(WordsOf("#"), TWords{" "});
  EXPECT_EQ(WordsOf(":"), TWords{" "});
  EXPECT_EQ(WordsOf("x"), TWords{" "});
  EXPECT_EQ(WordsOf("     "), TWords{" "});
  EXPECT_EQ(WordsOf("   # only a comment"), TWords{" "});
}

TEST(TInformationLine, CommentLineIsOneWordThatIsNoKeyword) {
  TInformationLine line;
  line.SetLine("#end of the example");
  line.Parse();
  EXPECT_EQ(line.Words(), TWords{"#end of the example"});
  EXPECT_FALSE(line.IsBlockEnd());
  line.Clear();
  line.SetLine("#object A: TWall");
  line.Parse();
  EXPECT_FALSE(line.IsObjectHeader());
}

TEST(TInformationLine, CommentEndsTheScanOnlyWhereAWordWouldStart) {
  EXPECT_EQ(WordsOf("  Mass = 0.5 # kg"), (TWords{"Mass", "=", "0.5"}));
  EXPECT_EQ(WordsOf("Mass = 0.5#kg"), (TWords{"Mass", "=", "0.5#kg"}));
  EXPECT_EQ(WordsOf("a#b #c d"), (TWords{"a#b"}));
}

TEST(TInformationLine, ColonsEndWordsAndStandAloneColonsAreEmptyWords) {
  EXPECT_EQ(WordsOf("Length: 3"), (TWords{"Length", "3"}));
  EXPECT_EQ(WordsOf(":a"), (TWords{"", "a"}));
  EXPECT_EQ(WordsOf("a::b"), (TWords{"a", "", "b"}));
  EXPECT_EQ(WordsOf("a : b"), (TWords{"a", "", "b"}));
  EXPECT_EQ(WordsOf("a:b:"), (TWords{"a", "b"}));
}

TEST(TInformationLine, OnlyTheSpaceSeparatesWords) {
  EXPECT_EQ(WordsOf("\tLength = 3"), (TWords{"\tLength", "=", "3"}));
  EXPECT_EQ(WordsOf("Position = 1\t2 3"), (TWords{"Position", "=", "1\t2", "3"}));
  EXPECT_EQ(WordsOf("   Length    =  3   "), (TWords{"Length", "=", "3"}));
}

TEST(TInformationLine, HeaderWithoutClassWordIsAListIndexError) {
  TInformationLine line;
  line.SetLine("object Can1:");
  try {
    line.Parse();
    FAIL() << "no error";
  } catch (const TListIndexError& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds (2)");
    EXPECT_EQ(error.Index(), 2);
  }
}

TEST(TInformationLine, WordOutsideTheLineIsAListIndexError) {
  TInformationLine line;
  line.SetLine("Length =");
  line.Parse();
  EXPECT_EQ(line.Word(1), "=");
  EXPECT_THROW(line.Word(2), TListIndexError);
  EXPECT_THROW(line.Word(-1), TListIndexError);
}

TEST(TInformationLine, ClearAndReuseForgetThePreviousLine) {
  TInformationLine line;
  line.SetLine("object A: TWall");
  line.Parse();
  ASSERT_TRUE(line.IsObjectHeader());
  line.Clear();
  EXPECT_TRUE(line.Line().empty());
  EXPECT_TRUE(line.Words().empty());
  EXPECT_FALSE(line.IsObjectHeader());
  // Parse alone also reclassifies
  line.SetLine("end");
  line.Parse();
  line.SetLine("Height = 1");
  line.Parse();
  EXPECT_FALSE(line.IsBlockEnd());
  EXPECT_EQ(line.Words(), (TWords{"Height", "=", "1"}));
}

TEST(ParseFloat, AcceptsDecimalNumbers) {
  EXPECT_EQ(ParseFloat("1"), 1.0);
  EXPECT_EQ(ParseFloat("-2.5"), -2.5);
  EXPECT_EQ(ParseFloat("+3.25e2"), 325.0);
  EXPECT_EQ(ParseFloat("1E-3"), 0.001);
  EXPECT_EQ(ParseFloat("1e+3"), 1000.0);
  EXPECT_EQ(ParseFloat(".5"), 0.5);
  EXPECT_EQ(ParseFloat("5."), 5.0);
  EXPECT_EQ(ParseFloat("0012.50"), 12.5);
  EXPECT_EQ(ParseFloat("0.1"), 0.1);
  EXPECT_EQ(ParseFloat("1.7976931348623157e308"), 1.7976931348623157e308);
}

TEST(ParseFloat, TooSmallRoundsToSignedZero) {
  EXPECT_EQ(ParseFloat("1e-400"), 0.0);
  EXPECT_TRUE(std::signbit(ParseFloat("-1e-400")));
  EXPECT_EQ(ParseFloat("0.000001e-320"), 0.0);
  EXPECT_EQ(ParseFloat("0e999999"), 0.0);
}

// Parse rejects every one of Texts with "'TEXT' " + Complaint.
template <class TParse>
void ExpectRejected(TParse Parse, std::initializer_list<const char*> Texts, const std::string& Complaint) {
  for (const char* text : Texts) {
    try {
      Parse(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const TConversionError& error) {
      EXPECT_EQ(error.what(), "'" + std::string(text) + "' " + Complaint);
    }
  }
}

TEST(ParseFloat, RejectsEverythingElse) {
  ExpectRejected(ParseFloat, {"",    "+",    "-",   ".",    "e5",  "1e",    "1e+",   "1.2.3",  "--1",
                              "+-1", "0x10", "inf", "-inf", "nan", "NaN",   "1e400", "-1e400", "100000e305",
                              "1,5", " 1",   "1 ",  "3#x",  "1_0", "1e5.0", "\t1"},
                 "is not a valid floating point value");
}

TEST(ParseInteger, AcceptsDecimal32BitIntegers) {
  EXPECT_EQ(ParseInteger("42"), 42);
  EXPECT_EQ(ParseInteger("-7"), -7);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_EQ(ParseInteger("007"), 7);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("-2147483648"), -2147483647 - 1);
}

TEST(ParseInteger, RejectsEverythingElse) {
  ExpectRejected(ParseInteger,
                 {"", "+", "-", "+-1", "-+1", "2147483648", "-2147483649", "99999999999", "1.0", "1e3", "0x1F", "$1F",
                  " 1", "1 ", "12a"},
                 "is not a valid integer value");
}

TEST(ParseFloat, UsesTheDecimalSeparatorOfTheLocale) {
  test::TCommaLocale comma;
  if (!comma.Active()) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  EXPECT_EQ(ParseFloat("1,5"), 1.5);
  EXPECT_EQ(ParseFloat("-0,25e1"), -2.5);
  EXPECT_EQ(ParseFloat("7"), 7.0);
  // '.' is read in every locale, so files written with it load anywhere
  EXPECT_EQ(ParseFloat("1.5"), 1.5);
  EXPECT_THROW(ParseFloat("1,5,0"), TConversionError);
  EXPECT_THROW(ParseFloat("1.5,0"), TConversionError);
  EXPECT_THROW(ParseFloat("1,5.0"), TConversionError);
}

}  // namespace
}  // namespace kestrovan
