#pragma once

#include <cstdint>
#include <memory>

#include "ea/Agent.h"
#include "ea/AgentStock.h"

namespace kestrovan {

// Recombination of two parents into two children. It owns copies of the
// parents and, after Execute, the two children.
class TCrossover {
 public:
  // Parent1 := First's Copy, Parent2 := Second's Copy; no children yet.
  // With a Stock (not owned), every copy, the children's too, is taken
  // from it (TAgentStock::CopyOf).
  TCrossover(const TAgent& First, const TAgent& Second, TAgentStock* Stock = nullptr);

  void SetCrossoverType(std::uint8_t Value) { CrossoverType = Value; }

  // Produces Child1 and Child2. The genomes offer no recombination, so the
  // children are copies of Parent1 and Parent2 (with their parents'
  // fitness) whatever CrossoverType says; a step that draws a crossover
  // therefore always finds two children.
  void Execute();

  std::unique_ptr<TAgent> Parent1;
  std::unique_ptr<TAgent> Parent2;
  std::unique_ptr<TAgent> Child1;
  std::unique_ptr<TAgent> Child2;
  std::uint8_t CrossoverType = 0;  // read by no recombination yet

 private:
  std::unique_ptr<TAgent> CopyOf(const TAgent& Source) const;

  TAgentStock* stock_ = nullptr;
};

}  // namespace kestrovan
