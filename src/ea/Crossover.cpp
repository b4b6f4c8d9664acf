#include "ea/Crossover.h"

namespace kestrovan {

TCrossover::TCrossover(const TAgent& First, const TAgent& Second, TAgentStock* Stock)
    : Parent1(Stock != nullptr ? Stock->CopyOf(First) : First.Copy()),
      Parent2(Stock != nullptr ? Stock->CopyOf(Second) : Second.Copy()),
      stock_(Stock) {}

std::unique_ptr<TAgent> TCrossover::CopyOf(const TAgent& Source) const {
  return stock_ != nullptr ? stock_->CopyOf(Source) : Source.Copy();
}

void TCrossover::Execute() {
  Child1 = CopyOf(*Parent1);
  Child2 = CopyOf(*Parent2);
}

}  // namespace kestrovan
