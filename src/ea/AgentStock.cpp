#include "ea/AgentStock.h"

#include <utility>

namespace kestrovan {

std::unique_ptr<TAgent> TAgentStock::CopyOf(const TAgent& Source) {
  // an agent that does not take Source stays for a source of its own class
  if (!agents_.empty() && agents_.back()->AssignCopyOf(Source)) {
    std::unique_ptr<TAgent> agent = std::move(agents_.back());
    agents_.pop_back();
    return agent;
  }
  return Source.Copy();
}

void TAgentStock::Keep(std::unique_ptr<TAgent> Agent) {
  if (Agent && Agent->Recyclable()) {
    agents_.push_back(std::move(Agent));
  }
}

void TAgentStock::KeepAll(std::vector<std::unique_ptr<TAgent>> Agents) {
  agents_.reserve(agents_.size() + Agents.size());
  for (std::unique_ptr<TAgent>& agent : Agents) {
    Keep(std::move(agent));
  }
}

}  // namespace kestrovan
