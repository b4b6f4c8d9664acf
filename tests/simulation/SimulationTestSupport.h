#pragma once

#include <locale>
#include <memory>
#include <sstream>
#include <string>

#include "arena/Arena.h"
#include "robot/DefaultRobot.h"

namespace kestrovan::test {

// An arena read from inline arena-file text.
inline std::unique_ptr<TArena> ArenaFrom(const std::string& Text) {
  std::istringstream input(Text);
  return std::make_unique<TArena>(input, "inline arena");
}

// Numbers written with '.' and every digit, whatever the locale.
class TArenaText {
 public:
  TArenaText() {
    text_.imbue(std::locale::classic());
    text_.precision(17);
  }

  // A TBasicFloor centred on (X, Y): Width along x, Length along y.
  TArenaText& Floor(double Width, double Length, double X = 0.0, double Y = 0.0) {
    text_ << "object Ground: TBasicFloor\n  Position = " << X << ' ' << Y << " 0\n  Width = " << Width
          << "\n  Length = " << Length << "\nend\n";
    return *this;
  }
  // An upright cylinder at (X, Y); a Mass that is not positive makes it immovable.
  TArenaText& Cylinder(double X, double Y, double Radius, double Mass, double VX = 0.0, double VY = 0.0) {
    text_ << "object Can: TCylinderZ\n  Position = " << X << ' ' << Y << " 0\n  Velocity = " << VX << ' ' << VY
          << " 0\n  Radius = " << Radius << "\n  Height = 0.1\n  Mass = " << Mass << "\nend\n";
    return *this;
  }
  // An object that takes no part in the physics.
  TArenaText& Wall(double X, double Y) {
    text_ << "object W: TWall\n  Position = " << X << ' ' << Y << " 0\n  Length = 1\n  Thickness = 0.1\nend\n";
    return *this;
  }

  std::string Text() const { return text_.str(); }
  std::unique_ptr<TArena> Arena() const { return ArenaFrom(Text()); }

 private:
  std::ostringstream text_;
};

// The template robot of a new session.
inline std::unique_ptr<TRobot> DefaultRobot() {
  const TRobotConfiguration configuration = TRobotConfiguration::Default();
  return BuildRobot(configuration, configuration.Body.Radius);
}

}  // namespace kestrovan::test
