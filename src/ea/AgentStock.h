#pragma once

#include <memory>
#include <vector>

#include "ea/Agent.h"

namespace kestrovan {

// Agents of a replaced generation, kept to become agents of a later one: a
// copy taken from the stock is written into a kept agent (its AssignCopyOf)
// instead of a newly allocated one, so that once the stock holds a
// generation's worth, forming the next generation allocates and frees no
// agent. Only Recyclable agents are kept. A copy of a stock is empty.
class TAgentStock {
 public:
  TAgentStock() = default;
  TAgentStock(const TAgentStock&) {}
  TAgentStock& operator=(const TAgentStock&) {
    agents_.clear();
    return *this;
  }
  TAgentStock(TAgentStock&&) noexcept = default;
  TAgentStock& operator=(TAgentStock&&) noexcept = default;
  ~TAgentStock() = default;

  // What Source.Copy() returns: the most recently kept agent made a copy of
  // Source when it takes it, otherwise Source.Copy() itself.
  std::unique_ptr<TAgent> CopyOf(const TAgent& Source);
  // Keeps Agent for a later CopyOf when it is Recyclable, else destroys it.
  void Keep(std::unique_ptr<TAgent> Agent);
  // Keeps every agent of Agents (see Keep).
  void KeepAll(std::vector<std::unique_ptr<TAgent>> Agents);
  // Destroys every kept agent.
  void Clear() { agents_.clear(); }

  int Count() const { return static_cast<int>(agents_.size()); }

 private:
  std::vector<std::unique_ptr<TAgent>> agents_;
};

}  // namespace kestrovan
