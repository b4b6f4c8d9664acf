#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

#include "ea/EAParameters.h"

namespace kestrovan {
namespace {

// Validate's message for the defaults changed by Change, or "" when accepted.
std::string Refusal(const std::function<void(TEAParameters&)>& Change) {
  TEAParameters parameters;
  Change(parameters);
  try {
    parameters.Validate();
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "";
}

TEST(TEAParameters, Defaults) {
  const TEAParameters parameters;
  EXPECT_EQ(parameters.PopulationSize, 100);
  EXPECT_EQ(parameters.TournamentWinnerProbability, 0.725);
  EXPECT_TRUE(parameters.UseRanking);
  EXPECT_EQ(parameters.CrossoverProbability, 0.8);
  EXPECT_EQ(parameters.CreepMethod, 1);
}

TEST(TEAParameters, ValidateRefusesWhatWouldBreakARun) {
  EXPECT_EQ(Refusal([](TEAParameters&) {}), "");
  EXPECT_EQ(Refusal([](TEAParameters& p) { p.PopulationSize = 2; }),
            "EA parameter PopulationSize is 2; it must be at least 3");
  EXPECT_EQ(Refusal([](TEAParameters& p) { p.TournamentSize = 0; }),
            "EA parameter TournamentSize is 0; it must be at least 1");
  EXPECT_EQ(Refusal([](TEAParameters& p) { p.TournamentWinnerProbability = 1.5; }),
            "EA parameter TournamentWinnerProbability is 1.5; it must lie in [0, 1]");
  EXPECT_EQ(Refusal([](TEAParameters& p) { p.CrossoverProbability = -0.25; }),
            "EA parameter CrossoverProbability is -0.25; it must lie in [0, 1]");
  EXPECT_EQ(Refusal([](TEAParameters& p) { p.MutationRate = NAN; }),
            "EA parameter MutationRate is nan; it must lie in [0, 1]");
  EXPECT_EQ(Refusal([](TEAParameters& p) { p.CreepProbability = 1.0000001; }),
            "EA parameter CreepProbability is 1.0000001; it must lie in [0, 1]");
  EXPECT_EQ(Refusal([](TEAParameters& p) {
              p.PopulationSize = 3;
              p.TournamentSize = 1;
              p.TournamentWinnerProbability = 0.0;
              p.CrossoverProbability = 1.0;
            }),
            "");
}

}  // namespace
}  // namespace kestrovan
