#include "ea/Population.h"

#include <cassert>
#include <utility>

namespace kestrovan {

TPopulation::TPopulation(const TPopulation& Source) {
  agents_.reserve(Source.agents_.size());
  for (const auto& agent : Source.agents_) {
    agents_.push_back(agent->Copy());
  }
}

TPopulation& TPopulation::operator=(const TPopulation& Source) {
  if (this != &Source) {
    TPopulation copy(Source);
    *this = std::move(copy);
  }
  return *this;
}

TAgent& TPopulation::GetAgent(int Index) {
  assert(Index >= 1 && Index <= Count());
  return *agents_[static_cast<std::size_t>(Index - 1)];
}

const TAgent& TPopulation::GetAgent(int Index) const {
  assert(Index >= 1 && Index <= Count());
  return *agents_[static_cast<std::size_t>(Index - 1)];
}

void TPopulation::SetAgent(int Index, std::unique_ptr<TAgent> Agent) {
  assert(Index >= 1 && Index <= Count());
  assert(Agent != nullptr);
  agents_[static_cast<std::size_t>(Index - 1)] = std::move(Agent);
}

std::unique_ptr<TAgent> TPopulation::Exchange(int Index, std::unique_ptr<TAgent> Agent) {
  assert(Index >= 1 && Index <= Count());
  assert(Agent != nullptr);
  std::swap(agents_[static_cast<std::size_t>(Index - 1)], Agent);
  return Agent;
}

std::vector<std::unique_ptr<TAgent>> TPopulation::Release() {
  std::vector<std::unique_ptr<TAgent>> agents = std::move(agents_);
  agents_.clear();
  return agents;
}

void TPopulation::Add(const TAgent& Agent) { agents_.push_back(Agent.Copy()); }

void TPopulation::Append(std::unique_ptr<TAgent> Agent) {
  assert(Agent != nullptr);
  agents_.push_back(std::move(Agent));
}

double TPopulation::AverageFitness() const {
  assert(Count() >= 1);
  double sum = 0.0;
  for (const auto& agent : agents_) {
    sum += agent->Fitness;
  }
  return sum / Count();
}

int TPopulation::IndexOfBest() const {
  assert(Count() >= 1);
  int best = 1;
  for (int i = 2; i <= Count(); ++i) {
    if (GetAgent(i).Fitness > GetAgent(best).Fitness) {
      best = i;
    }
  }
  return best;
}

double TPopulation::MaxFitness() const { return GetAgent(IndexOfBest()).Fitness; }

double TPopulation::MinFitness() const { return GetAgent(IndexOfWorst()).Fitness; }

TAgent& TPopulation::BestAgent() { return GetAgent(IndexOfBest()); }

const TAgent& TPopulation::BestAgent() const { return GetAgent(IndexOfBest()); }

int TPopulation::IndexOfWorst() const {
  assert(Count() >= 1);
  int worst = 1;
  for (int i = 2; i <= Count(); ++i) {
    if (GetAgent(i).Fitness < GetAgent(worst).Fitness) {
      worst = i;
    }
  }
  return worst;
}

int TPopulation::IndexOfSecondWorst() const {
  assert(Count() >= 2);
  const int worst = IndexOfWorst();
  // start with the first agent that is not the worst
  int second = worst == 1 ? 2 : 1;
  for (int i = 2; i <= Count(); ++i) {
    if (i != worst && GetAgent(i).Fitness < GetAgent(second).Fitness) {
      second = i;
    }
  }
  return second;
}

void TPopulation::Rank() {
  for (int i = 1; i <= Count(); ++i) {
    const double fitness = GetAgent(i).Fitness;
    int rank = 1;
    for (int j = 1; j <= Count(); ++j) {
      if (j != i && GetAgent(j).Fitness < fitness) {
        ++rank;
      }
    }
    GetAgent(i).RankFitness = rank;
  }
}

}  // namespace kestrovan
