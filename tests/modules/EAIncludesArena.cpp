// Must not compile: the algorithm library does not link the arena library.
#include "arena/Arena.h"
#include "ea/Population.h"

int PlantedEAIncludesArena() { return sizeof(kestrovan::TArena) > 0 ? 1 : 0; }
