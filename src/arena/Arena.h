#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "numerics/Matrices.h"

namespace kestrovan {

// An object of the arena, read from its block in the arena file. Lengths in
// m, masses in kg, velocities in m/s, Angle in degrees about the vertical
// axis, colours 0..255 per channel. The arena frame has x and y on the floor
// and z up.
class TArenaObject {
 public:
  TArenaObject();
  TArenaObject(const TArenaObject&) = default;
  TArenaObject& operator=(const TArenaObject&) = default;
  virtual ~TArenaObject() = default;

  // A deep copy of the same class.
  virtual std::unique_ptr<TArenaObject> Copy() const = 0;

  // One step of linear drag (coefficient 0.1 kg/s on Mass), then a
  // semi-implicit Euler position update.
  void Move(double TimeStep);

  std::string Name;
  TVector Position{3};         // m; (x, y) centre of the footprint, z the vertical reference
  TVector Velocity{3};         // m/s
  double Angle = 0.0;          // degrees about the vertical axis
  double Height = 0.0;         // m
  double Mass = -1.0;          // kg
  std::string Texture;         // image file name; empty: plain colour
  TIntegerVector RGBColor{3};  // red, green, blue, 0..255
};

// Implements Copy for a concrete arena class.
template <class Derived, class Base = TArenaObject>
class TArenaObjectOf : public Base {
 public:
  std::unique_ptr<TArenaObject> Copy() const override {
    return std::make_unique<Derived>(static_cast<const Derived&>(*this));
  }
};

// A flat floor plane, Width along x and Length along y, centred on Position;
// it defines the floor rectangle.
class TBasicFloor : public TArenaObjectOf<TBasicFloor> {
 public:
  double Length = 0.0;      // m, along y
  double Width = 0.0;       // m, along x
  double TileLength = 1.0;  // m
  double TileWidth = 1.0;   // m
};

// A floor slab Width (x) by Length (y) by Height whose top face lies at
// Position z. Does not define the floor rectangle.
class TFloor : public TArenaObjectOf<TFloor> {
 public:
  double Length = 0.0;
  double Width = 0.0;
  bool HasCover = false;
  double TextureTileLength = 1.0;
  double TextureTileWidth = 1.0;
};

// A wall Length long along its own axis (turned by Angle), Thickness thick
// and Height high, centred on Position.
class TWall : public TArenaObjectOf<TWall> {
 public:
  double Length = 0.0;
  double Thickness = 0.0;
  bool Transparent = false;
  bool HasWallPaper = false;
  double TextureTileLength = 0.0;
  double TextureTileHeight = 0.0;
};

// A wall segment with a gap across its full length from OpeningBottom to
// OpeningBottom + OpeningHeight above its bottom edge (a door or window).
class TOpening : public TArenaObjectOf<TOpening> {
 public:
  double OpeningBottom = 0.0;
  double OpeningHeight = 0.0;
  double Length = 0.0;
  double Thickness = 0.0;
  bool Transparent = false;
};

// A table: a top Length by Width, Thickness thick, Height above Position z,
// on four legs of square section LegWidth.
class TStandardTable : public TArenaObjectOf<TStandardTable> {
 public:
  double Length = 0.0;
  double Width = 0.0;
  double Thickness = 0.0;
  double LegWidth = 0.0;
};

// A book shelf Length by Width by Height with NumberOfShelves boards.
class TStandardBookShelf : public TArenaObjectOf<TStandardBookShelf> {
 public:
  double Length = 0.0;
  double Width = 0.0;
  std::int32_t NumberOfShelves = 0;
  bool HasSurfaces = false;
  double MaterialThickness = 0.0;
};

// An office chair.
class TOfficeChair : public TArenaObjectOf<TOfficeChair> {
 public:
  double SeatHeight = 0.0;
  double SeatSize = 0.0;
  double ArmRestHeight = 0.0;
  double MaterialThickness = 0.0;
};

// A sofa Length by Width with NumberOfSeats seats.
class TStandardSofa : public TArenaObjectOf<TStandardSofa> {
 public:
  double Length = 0.0;
  double Width = 0.0;
  double BottomPlateThickness = 0.0;
  double CushionThickness = 0.0;
  std::int32_t NumberOfSeats = 0;
  double ArmRestHeight = 0.0;
  double ArmRestWidth = 0.0;
  double LegHeight = 0.0;
  double MaterialThickness = 0.0;
};

// An upright cylinder standing on Position z, its axis through (x, y): the
// only kind of object that the IR sensors see, that the robot collides with
// and that moves. A cylinder whose Mass is not positive is immovable.
class TCylinderZ : public TArenaObjectOf<TCylinderZ> {
 public:
  // Not positive (or not a number) Mass: an obstacle that never moves and
  // that collisions treat as infinitely heavy.
  bool IsImmovable() const { return !(Mass > 0.0); }

  double Radius = 0.0;  // m
};

// The shape of a drink can besides its body radius: upper and lower sloped
// sections narrowing to TopRadius and BottomRadius, and two more textures.
struct TSoftDrinkCanShape {
  double TopRadius = 0.0;
  double BottomRadius = 0.0;
  double UpperSlopedSectionHeight = 0.0;
  double LowerSlopedSectionHeight = 0.0;
  std::string SlopeTexture;
  std::string TopBottomTexture;
};

// A drink can that is drawn only: not sensed, not moved.
class TSoftDrinkCan : public TArenaObjectOf<TSoftDrinkCan>, public TSoftDrinkCanShape {
 public:
  double Radius = 0.0;  // m, body radius
};

// A drink can that is also a cylinder: sensed, collided with and moved like
// one, drawn as a can. Its body radius is the cylinder's Radius: one value.
class TSoftDrinkCanZ : public TArenaObjectOf<TSoftDrinkCanZ, TCylinderZ>, public TSoftDrinkCanShape {};

// The class word of an object as written in arena files ("TWall", ...).
const char* ArenaClassName(const TArenaObject& Object);

// Fog settings of the 3D view.
class TAmbience {
 public:
  std::string Name;
  bool Fog = false;
  std::uint32_t FogColor = 0;  // 0x00BBGGRR
  double FogStart = 0.0;       // m
  double FogEnd = 0.0;         // m
};

// Raised when an arena file cannot be read. what() is the message alone,
// its control characters escaped (\x1b); FileName and Line (1-based, 0 when
// no line is concerned) locate it.
class TArenaFileError : public std::runtime_error {
 public:
  TArenaFileError(const std::string& Message, std::string FileName, std::int64_t Line);

  const std::string& FileName() const { return fileName_; }
  std::int64_t Line() const { return line_; }
  // "FILE:LINE: message", or "FILE: message" when no line is concerned.
  std::string Located() const;

 private:
  std::string fileName_;
  std::int64_t line_;
};

// The largest NumberOfShelves of a book shelf and NumberOfSeats of a sofa
// an arena file may give; larger counts are refused with the line.
inline constexpr std::int32_t kMaximumPartCount = 1000;

// The world of an evaluation: the objects of an arena file in file order
// (addressed 1..NumberOfObjects), an optional ambience and the snapshot of
// every object's position, velocity and angle taken when loading finished.
class TArena {
 public:
  // Reads the arena file once into memory (see ReadInputFile); throws
  // TArenaFileError.
  explicit TArena(const std::string& FileName);
  // Reads an arena from a stream (to its end, at most kMaximumInputFileSize
  // bytes); SourceName names it in errors.
  TArena(std::istream& Input, const std::string& SourceName);
  // A deep, independent copy (objects, ambience, snapshot).
  TArena(const TArena& Source);
  TArena& operator=(const TArena&) = delete;
  ~TArena();

  int NumberOfObjects() const { return static_cast<int>(objects_.size()); }
  // Object i, 1 <= i <= NumberOfObjects.
  TArenaObject& Objects(int i) { return *objects_[static_cast<std::size_t>(i - 1)]; }
  const TArenaObject& Objects(int i) const { return *objects_[static_cast<std::size_t>(i - 1)]; }
  // The line of object i's header in its file (1-based).
  std::int64_t ObjectLine(int i) const { return objectLines_[static_cast<std::size_t>(i - 1)]; }
  // The ambience, or nullptr.
  const TAmbience* Ambience() const { return ambience_.get(); }
  // The path the arena was read from; empty when it was read from a stream.
  // Texture names are relative to this file's folder.
  const std::string& FileName() const { return fileName_; }

  // Every TCylinderZ (drink cans that are cylinders included) in object-list
  // order, gathered once after loading.
  const std::vector<TCylinderZ*>& Cylinders() const { return cylinders_; }
  // The first TBasicFloor in object-list order, or nullptr.
  const TBasicFloor* Floor() const { return floor_; }

  // The floor rectangle of the first TBasicFloor: Width along x, Length
  // along y. Returns false and leaves the outputs alone without one.
  bool GetFloorBounds(double& XMin, double& XMax, double& YMin, double& YMax) const;

  // The floor rectangle as GetFloorBounds gives it, computed when the arena
  // is loaded or copied and again by every ResetObjects (at the start of
  // every evaluation) rather than at every call: what the step reads.
  struct TFloorRectangle {
    bool Present = false;
    double XMin = 0.0;
    double XMax = 0.0;
    double YMin = 0.0;
    double YMax = 0.0;
  };
  const TFloorRectangle& FloorRectangle() const { return floorRectangle_; }

  // Every object back to its snapshot position, velocity and angle.
  void ResetObjects();
  // Random horizontal velocities for the cylinders from a seeded
  // TUniformRandomGenerator: speed first, then direction, per cylinder.
  void RandomizeCylinderVelocities(std::int32_t Seed, double MinSpeed, double MaxSpeed);
  // One step of cylinder motion on the objects (MoveCylinder, as an
  // evaluation's TArenaState moves its cylinders): drag and move, then
  // bounce off the floor rectangle. Immovable cylinders stay where they
  // are. Allocates nothing.
  void MoveObjects(double TimeStep);

  // Position, velocity and angle of an object as loaded.
  struct TInitialState {
    double Position[3];
    double Velocity[3];
    double Angle;
  };
  const std::vector<TInitialState>& InitialStates() const { return initialStates_; }

 private:
  void Load(std::string_view Text, const std::string& SourceName);
  void Finish();
  // Fills cylinders_, floor_ and floorRectangle_ from objects_.
  void GatherObjects();
  void ComputeFloorRectangle();

  std::vector<std::unique_ptr<TArenaObject>> objects_;
  std::vector<std::int64_t> objectLines_;
  std::unique_ptr<TAmbience> ambience_;
  std::vector<TInitialState> initialStates_;
  std::vector<TCylinderZ*> cylinders_;
  const TBasicFloor* floor_ = nullptr;
  TFloorRectangle floorRectangle_;
  std::string fileName_;
};

}  // namespace kestrovan
