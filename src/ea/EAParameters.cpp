#include "ea/EAParameters.h"

#include <charconv>
#include <stdexcept>
#include <string>

namespace kestrovan {

namespace {

[[noreturn]] void Refuse(const char* Field, const std::string& Value, const char* Accepted) {
  throw std::invalid_argument(std::string("EA parameter ") + Field + " is " + Value + "; it must " + Accepted);
}

[[noreturn]] void Refuse(const char* Field, std::int32_t Value, const char* Accepted) {
  Refuse(Field, std::to_string(Value), Accepted);
}

void CheckProbability(const char* Field, double Value) {
  // written so that NaN fails too
  if (!(Value >= 0.0 && Value <= 1.0)) {
    // the shortest text that reads back as Value, so 1.0000001 is not shown as 1
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, Value).ptr;
    Refuse(Field, std::string(text, end), "lie in [0, 1]");
  }
}

}  // namespace

void TEAParameters::SetDefaults() {
  PopulationSize = 100;
  SelectionMethod = 0;
  TournamentSize = 4;
  TournamentWinnerProbability = 0.725;
  UseRanking = true;
  UseElitism = true;
  SteadyStateReplacement = false;
  CrossoverProbability = 0.8;
  CrossoverType = 0;
  MutationRate = 0.04;
  CreepProbability = 0.5;
  CreepMethod = 1;
  CreepRate = 0.05;
}

void TEAParameters::SetFixedChoices() {
  SelectionMethod = 0;
  UseRanking = false;
  SteadyStateReplacement = false;
  CrossoverProbability = 0.0;
}

void TEAParameters::Validate() const {
  // a smaller population would not keep its size through a generation step
  if (PopulationSize < 3) {
    Refuse("PopulationSize", PopulationSize, "be at least 3");
  }
  if (TournamentSize < 1) {
    Refuse("TournamentSize", TournamentSize, "be at least 1");
  }
  CheckProbability("TournamentWinnerProbability", TournamentWinnerProbability);
  CheckProbability("CrossoverProbability", CrossoverProbability);
  CheckProbability("MutationRate", MutationRate);
  CheckProbability("CreepProbability", CreepProbability);
}

}  // namespace kestrovan
