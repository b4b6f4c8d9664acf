#include "ea/Crossover.h"

namespace kestrovan {

TCrossover::TCrossover(const TAgent& First, const TAgent& Second) : Parent1(First.Copy()), Parent2(Second.Copy()) {}

void TCrossover::Execute() {
  Child1 = Parent1->Copy();
  Child2 = Parent2->Copy();
}

}  // namespace kestrovan
