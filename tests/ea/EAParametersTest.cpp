#include "ea/EAParameters.h"

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace kestrovan {
namespace {

TEST(TEAParameters, Defaults) {
  TEAParameters parameters;
  parameters.PopulationSize = 7;
  parameters.UseRanking = false;
  parameters.SetDefaults();
  EXPECT_EQ(parameters.PopulationSize, 100);
  EXPECT_EQ(parameters.SelectionMethod, 0);
  EXPECT_EQ(parameters.TournamentSize, 4);
  EXPECT_EQ(parameters.TournamentWinnerProbability, 0.725);
  EXPECT_TRUE(parameters.UseRanking);
  EXPECT_TRUE(parameters.UseElitism);
  EXPECT_FALSE(parameters.SteadyStateReplacement);
  EXPECT_EQ(parameters.CrossoverProbability, 0.8);
  EXPECT_EQ(parameters.CrossoverType, 0);
  EXPECT_EQ(parameters.MutationRate, 0.04);
  EXPECT_EQ(parameters.CreepProbability, 0.5);
  EXPECT_EQ(parameters.CreepMethod, 1);
  EXPECT_EQ(parameters.CreepRate, 0.05);
  EXPECT_NO_THROW(parameters.Validate());
}

// Validate's message for parameters changed by Change, or "" when accepted.
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

TEST(TEAParameters, ValidateRefusesWhatWouldBreakARun) {
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
}

TEST(TEAParameters, ValidateAcceptsTheLimits) {
  EXPECT_EQ(Refusal([](TEAParameters& p) {
              p.PopulationSize = 3;
              p.TournamentSize = 1;
              p.TournamentWinnerProbability = 0.0;
              p.CrossoverProbability = 1.0;
              p.MutationRate = 0.0;
              p.CreepProbability = 1.0;
            }),
            "");
}

}  // namespace
}  // namespace kestrovan
