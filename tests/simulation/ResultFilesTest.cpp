#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include "arena/CommaLocale.h"
#include "numerics/Matrices.h"
#include "robot/FSMBrain.h"
#include "simulation/ResultFiles.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

// A brain of S states and K conditions with every gene 0.5.
TFSMBrain UniformBrain(int S, int K) {
  TFSMBrainParameters parameters;
  parameters.NumberOfStates = S;
  parameters.NumberOfConditions = K;
  TFSMBrain brain(parameters);
  for (int q = 1; q <= brain.Genome.Rows(); ++q) {
    for (int j = 1; j <= brain.Genome.Columns(); ++j) {
      brain.Genome.SetElement(q, j, 0.5);
    }
  }
  return brain;
}

TMatrix MatrixOf(int Rows, int Columns, std::initializer_list<double> Values) {
  TMatrix matrix(Rows, Columns);
  auto value = Values.begin();
  for (int i = 1; i <= Rows; ++i) {
    for (int j = 1; j <= Columns; ++j) {
      matrix.SetElement(i, j, *value++);
    }
  }
  return matrix;
}

TEST(NewBestFile, HasTheBrainThenTwoOpenListsWithCrLf) {
  TFSMBrain brain = UniformBrain(2, 1);
  const double genes[] = {0.75, 0.25, 0.1, 0.2, 0.3, 0.4, 0.0, 0.999999, 0.2, 0.5, 0.9999999};
  for (int j = 1; j <= 11; ++j) {
    brain.Genome.SetElement(1, j, genes[j - 1]);
  }
  const TMatrix robot = MatrixOf(2, 2, {1.23456, -2.5, 0.0005, -0.0004});
  const TMatrix cylinders = MatrixOf(2, 4, {1, 0.25, -0.5, 2, 0, 0, 10.0625, -3});

  EXPECT_EQ(FormatNewBestFile(brain, robot, cylinders),
            "(*\r\n"
            "FSM: \r\n"
            "tauL = 0.500, tauR = -0.500, s[7] = 0.100, s[8] = 0.200, s[9] = 0.300, s[10] = 0.400\r\n"
            " If (s[1] > s[10]) and (s[2] > s[5]) then jump to state 2\r\n"
            "tauL = 0.000, tauR = 0.000, s[7] = 0.500, s[8] = 0.500, s[9] = 0.500, s[10] = 0.500\r\n"
            " If (s[5] > s[5]) and (s[5] > s[5]) then jump to state 2\r\n"
            "*)\r\n"
            " \r\n"
            "Robotpos = {\r\n"
            "{1.235, -2.500}\r\n"
            "{0.001, -0.000}\r\n"
            "\r\n"
            "{1.000,0.250,-0.500,2.000},\r\n"
            "{0.000,0.000,10.062,-3.000},\r\n");
}

TEST(NewBestFile, RowsWithoutCylindersAreAnOpeningBraceAlone) {
  const std::string text = FormatNewBestFile(UniformBrain(1, 0), MatrixOf(1, 2, {0, 0}), TMatrix(1, 0));
  EXPECT_TRUE(text.ends_with("Robotpos = {\r\n{0.000, 0.000}\r\n\r\n{\r\n")) << text;
}

TEST(NewBestFile, DefaultBrainGivesFiveStatesOfThreeConditions) {
  int yields = 0;
  const std::string text = FormatNewBestFile(UniformBrain(5, 3), TMatrix(4, 2), TMatrix(4, 6), [&yields] { ++yields; });
  EXPECT_EQ(yields, 8) << "once per trajectory line";

  // between "FSM: " and "*)": a state line, then its three conditions, five times
  const std::size_t begin = text.find("FSM: \r\n") + 7;
  const std::size_t end = text.find("*)\r\n");
  std::vector<std::string> lines;
  for (std::size_t at = begin; at < end;) {
    const std::size_t next = text.find("\r\n", at);
    lines.push_back(text.substr(at, next - at));
    at = next + 2;
  }
  ASSERT_EQ(lines.size(), 20U);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(lines[i].starts_with(i % 4 == 0 ? "tauL = " : " If (s[")) << lines[i];
  }
  // every line ends in CR LF, and nothing closes the lists
  std::size_t lineFeeds = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++lineFeeds;
      EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "at " << i;
    }
  }
  EXPECT_EQ(lineFeeds, 2 + 20 + 1 + 1 + 1 + 4 + 1 + 4U);
  EXPECT_TRUE(text.ends_with("},\r\n"));
}

TEST(HistoryFile, ListsEveryGenerationWithFourDecimals) {
  TVector best(0);
  TVector average(0);
  EXPECT_EQ(FormatHistoryFile(best, average), "MaxFitness = {\r\nAvgFitness = {\r\n");
  best.Append(0.53125);
  best.Append(1.0);
  average.Append(0.25);
  average.Append(0.123456);
  EXPECT_EQ(FormatHistoryFile(best, average),
            "MaxFitness = {\r\n{1,0.5312},\r\n{2,1.0000},\r\n"
            "AvgFitness = {\r\n{1,0.2500},\r\n{2,0.1235},\r\n");
}

TEST(AppendFixed, RoundsAsPrintfInTheCLocale) {
  for (const double value :
       {0.0, -0.0, 0.0005, 0.0015, 2.5e-4, -0.0004, 1.0005, 0.53125, 123456.7895, -7.25e-3, 1e300, 3.14159265358979}) {
    for (const int decimals : {2, 3, 4}) {
      char expected[512];
      std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
      std::string text = "x";
      AppendFixed(text, value, decimals);
      EXPECT_EQ(text, std::string("x") + expected);
    }
  }
}

// Every number of the result files goes through AppendFixed: over millions
// of values (random magnitudes, exact halfway cases and their neighbours,
// negatives, zeros, subnormals, beyond the fast path) it must give exactly
// printf's text in the C locale.
TEST(AppendFixed, GivesPrintfsTextForMillionsOfValues) {
  std::mt19937_64 random(20261209);
  long long compared = 0;
  long long differing = 0;
  std::string firstDifference;
  const auto check = [&](double Value) {
    for (const int decimals : {2, 3, 4}) {
      char expected[512];
      std::snprintf(expected, sizeof expected, "%.*f", decimals, Value);
      std::string text;
      AppendFixed(text, Value, decimals);
      ++compared;
      if (text != expected) {
        if (differing++ == 0) {
          char exact[64];
          std::snprintf(exact, sizeof exact, "%a", Value);
          firstDifference = std::string(exact) + " with " + std::to_string(decimals) + " decimals: '" + text +
                            "' instead of '" + expected + "'";
        }
      }
    }
  };
  const auto checkWithNeighbours = [&](double Value) {
    check(Value);
    check(-Value);
    check(std::nextafter(Value, 0.0));
    check(std::nextafter(Value, 1e308));
  };

  // halfway cases: odd multiples of 2^-k are the only exact ties
  for (int k = 1; k <= 12; ++k) {
    for (long long j = 1; j < 40000; j += 2) {
      checkWithNeighbours(std::ldexp(static_cast<double>(j), -k));
    }
  }
  // the nearest doubles to the decimal halfway points n + 0.5 units of the last place
  for (int n = 0; n < 50000; ++n) {
    checkWithNeighbours((n + 0.5) / 1000.0);
    checkWithNeighbours((n + 0.5) / 10000.0);
  }
  // random values of every magnitude the files hold, and beyond
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 100000; ++i) {
    check(unit(random) * 3.0);
    check(unit(random) * 1e-3);
    check(unit(random) * 1e6);
    check(std::ldexp(unit(random), static_cast<int>(random() % 120) - 60));
  }
  // random bit patterns: subnormals, huge values, infinities and NaN included
  for (int i = 0; i < 100000; ++i) {
    check(std::bit_cast<double>(random()));
  }
  for (const double value : {0.0, -0.0, 4.9e-324, -4.9e-324, 2.2250738585072014e-308, 4503599627370.4995,
                             4503599627370.4996, 4503599627370496.0, 9.0e15, 1.7976931348623157e308,
                             std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    check(value);
  }

  EXPECT_EQ(differing, 0) << "of " << compared << " values; first: " << firstDifference;
  EXPECT_GT(compared, 5000000);
}

TEST(AppendFixed, WritesAPointUnderACommaLocale) {
  test::TCommaLocale comma;
  if (!comma.Active()) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  std::string text;
  AppendFixed(text, -1.5, 3);
  EXPECT_EQ(text, "-1.500");
  TVector history(0);
  history.Append(0.25);
  EXPECT_EQ(FormatHistoryFile(history, history), "MaxFitness = {\r\n{1,0.2500},\r\nAvgFitness = {\r\n{1,0.2500},\r\n");
}

TEST(WriteFileAtomically, WritesAndReplacesWholeFiles) {
  const test::TTemporaryFolder folder;
  const std::filesystem::path file = folder.Path() / "1.txt";
  WriteFileAtomically(file, "first\r\n");
  EXPECT_EQ(test::ReadFile(file), "first\r\n");
  WriteFileAtomically(file, std::string(100000, 'x'));
  EXPECT_EQ(test::ReadFile(file), std::string(100000, 'x'));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1) << "no temporary file left";
}

TEST(WriteFileAtomically, FailureNamesTheFileAndTheReason) {
  const test::TTemporaryFolder folder;
  const std::filesystem::path missing = folder.Path() / "no such folder" / "descr.txt";
  try {
    WriteFileAtomically(missing, "text");
    FAIL() << "written";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot write '" + missing.string() + "': No such file or directory");
  }

  // a folder in the way: the folder stays, and no temporary file is left
  const std::filesystem::path blocked = folder.Path() / "2.txt";
  std::filesystem::create_directory(blocked);
  try {
    WriteFileAtomically(blocked, "text");
    FAIL() << "written";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("'" + blocked.string() + "': "), std::string::npos) << error.what();
  }
  EXPECT_TRUE(std::filesystem::is_directory(blocked));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

}  // namespace
}  // namespace kestrovan
