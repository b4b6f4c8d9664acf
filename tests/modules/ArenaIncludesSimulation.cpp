// Must not compile: the arena library does not link the simulation library.
#include "arena/Arena.h"
#include "simulation/RobotSimulation.h"

int PlantedArenaIncludesSimulation() { return sizeof(kestrovan::TRobotSimulation) > 0 ? 1 : 0; }
