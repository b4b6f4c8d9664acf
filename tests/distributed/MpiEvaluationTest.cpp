// The parts of distributed evaluation that need no MPI job: a genome as it
// travels, back into another robot, must evaluate to the same bits.
#include <gtest/gtest.h>

#include <bit>
#include <memory>
#include <stdexcept>
#include <vector>

#include "arena/ArenaModel.h"
#include "distributed/MpiEvaluation.h"
#include "numerics/RandomNumbers.h"
#include "robot/FSMBrain.h"
#include "simulation/GenerationEvaluator.h"
#include "simulation/SimulationTestSupport.h"

namespace kestrovan {
namespace {

TEST(MpiGenome, ATravelledGenomeEvaluatesToTheSameBits) {
  auto arena = test::TArenaText().Floor(2, 2).Cylinder(0.1, 0.02, 0.03, 0.1).Cylinder(-0.1, 0.1, 0.03, 0.05).Arena();
  const TRobotSimulationParameters parameters(2.0, 0.01);
  const TFitnessFunction fitness = CylinderDistanceFitness;
  const TArenaModel model(*arena);
  const TEvaluationContext context{model, parameters, fitness};
  TFSMBrainParameters brainParameters = TRobotConfiguration::Default().Brain;
  const std::unique_ptr<TRobot> base = test::DefaultRobot();

  TRandomGenerator generator(17);
  for (int trial = 0; trial < 5; ++trial) {
    TRobot sender(*base);
    sender.Brain = std::make_unique<TFSMBrain>(brainParameters, generator);
    TRobot receiver(*base);
    receiver.Brain = std::make_unique<TFSMBrain>(brainParameters, generator);

    std::vector<double> genes;
    AppendGenome(sender, genes);
    ASSERT_EQ(genes.size(), GenomeSize(sender));
    ASSERT_EQ(genes.size(), static_cast<std::size_t>(5 * (5 * 3 + 6)));
    ReadGenome(genes.data(), receiver);

    TArenaState work(model);
    EvaluateAgent(sender, work, context);
    EvaluateAgent(receiver, work, context);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(receiver.Fitness), std::bit_cast<std::uint64_t>(sender.Fitness));
    EXPECT_EQ(receiver.ElapsedTime, sender.ElapsedTime);
    EXPECT_EQ(receiver.DistanceTravelled, sender.DistanceTravelled);
    std::vector<double> back;
    AppendGenome(receiver, back);
    EXPECT_EQ(back, genes);
  }
}

TEST(MpiGenome, OnlyFiniteStateMachineBrainsTravel) {
  const std::unique_ptr<TRobot> robot = test::DefaultRobot();
  robot->Brain.reset();
  std::vector<double> genes;
  EXPECT_THROW(AppendGenome(*robot, genes), std::invalid_argument);
  EXPECT_THROW(static_cast<void>(GenomeSize(*robot)), std::invalid_argument);
}

}  // namespace
}  // namespace kestrovan
