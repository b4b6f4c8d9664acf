// The per-step work of a robot must not allocate: this file replaces the
// global allocation functions of the test program with counting ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "RobotTestSupport.h"
#include "numerics/RandomNumbers.h"
#include "robot/DefaultRobot.h"

namespace {

bool counting = false;
int allocations = 0;

}  // namespace

void* operator new(std::size_t Size) {
  if (counting) {
    ++allocations;
  }
  if (void* block = std::malloc(Size == 0 ? 1 : Size)) {
    return block;
  }
  throw std::bad_alloc();
}
// GCC takes the replacement's own free for a mismatch
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* Block) noexcept { std::free(Block); }
void operator delete(void* Block, std::size_t) noexcept { std::free(Block); }
#pragma GCC diagnostic pop

namespace kestrovan {
namespace {

TEST(TRobot, StepMoveAndSensorUpdateAllocateNothing) {
  const auto arena = test::ArenaFrom(test::FloorBlock(2.5) + test::CylinderBlock(0.2, 0.0, 0.05) +
                                     test::CylinderBlock(0.1, 0.15, 0.05));
  RandSeed = 9;
  const auto robot = BuildRobot(TRobotConfiguration::Default(), 0.05);
  robot->Reset();
  const test::TCylindersOf cylinders(*arena);
  allocations = 0;
  counting = true;
  for (int i = 0; i < 500; ++i) {
    robot->Step(0.01);
    robot->Move(cylinders.Model(), 0.01);
    robot->Body->UpdateSensors(cylinders);
  }
  robot->Reset();
  counting = false;
  EXPECT_EQ(allocations, 0);
  // GetReading, by contrast, hands out a new matrix
  counting = true;
  const TMatrix reading = robot->Body->Sensors.Items(1).GetReading();
  counting = false;
  EXPECT_GT(allocations, 0);
  EXPECT_EQ(reading.GetElement(1, 1), robot->Body->Sensors.Items(1).GetScalarReading());
}

}  // namespace
}  // namespace kestrovan
