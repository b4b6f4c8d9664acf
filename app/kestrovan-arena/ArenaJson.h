#pragma once

#include <string>

namespace kestrovan {

class TArena;
struct TArenaCheck;

// The geometry of a loaded arena as a JSON document, for programs that draw
// it (kestrovan-plot): the floor rectangle; every object in file order with
// its class, name, header line, position, angle, height, colour and the
// sizes of its class; its footprint seen from above as outline shapes
// ("polygon" with corner points, or "circle" with centre and radius) and the
// role it plays ("floor", "wall", "furniture", "cylinder"); the cylinders in
// the order of the trajectory columns; the ambience; and the run's findings.
// Numbers that are not finite are written as null.
std::string ArenaJson(const TArena& Arena, const TArenaCheck& Check);

}  // namespace kestrovan
