#pragma once

#include <locale>
#include <memory>
#include <sstream>
#include <string>

#include "arena/ArenaModel.h"

namespace kestrovan::test {

// An arena read from inline arena-file text.
inline std::unique_ptr<TArena> ArenaFrom(const std::string& Text) {
  std::istringstream input(Text);
  return std::make_unique<TArena>(input, "inline arena");
}

// The cylinders of an arena's objects as they are when this is made (radius,
// mass, position, velocity), as a body and its sensors read them in a step.
class TCylindersOf {
 public:
  explicit TCylindersOf(const TArena& Arena) : model_(Arena), state_(model_) { state_.Pull(Arena); }

  const TArenaModel& Model() const { return model_; }
  TCylinderView View() const { return ViewOf(model_, state_); }
  operator TCylinderView() const { return View(); }  // NOLINT(google-explicit-constructor)

 private:
  TArenaModel model_;
  TArenaState state_;
};

// A square TBasicFloor of side Side centred on the origin.
inline std::string FloorBlock(double Side) {
  std::ostringstream block;
  block.imbue(std::locale::classic());
  block.precision(17);
  block << "object Ground: TBasicFloor\n  Position = 0 0 0\n  Length = " << Side << "\n  Width = " << Side << "\nend\n";
  return block.str();
}

// An upright cylinder of radius Radius centred on (X, Y).
inline std::string CylinderBlock(double X, double Y, double Radius) {
  std::ostringstream block;
  block.imbue(std::locale::classic());
  block.precision(17);
  block << "object Can: TCylinderZ\n  Position = " << X << ' ' << Y << " 0\n  Radius = " << Radius
        << "\n  Height = 0.1\n  Mass = 0.1\nend\n";
  return block.str();
}

}  // namespace kestrovan::test
