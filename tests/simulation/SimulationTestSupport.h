#pragma once

#include <chrono>
#include <condition_variable>
#include <locale>
#include <memory>
#include <mutex>
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

// A gate that threads wait at until another opens it; a wait longer than
// its limit (30 s unless given) is noted and ends, so that a fault fails a
// test instead of hanging it.
class TGate {
 public:
  void Open() {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait(std::chrono::milliseconds Limit = std::chrono::seconds(30)) {
    std::unique_lock<std::mutex> lock(mutex_);
    timedOut_ = !changed_.wait_for(lock, Limit, [this] { return open_; }) || timedOut_;
  }
  bool TimedOut() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return timedOut_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  bool timedOut_ = false;
};

}  // namespace kestrovan::test
