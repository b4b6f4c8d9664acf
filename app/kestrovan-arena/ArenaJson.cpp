#include "ArenaJson.h"

#include <cmath>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <utility>

#include "arena/Arena.h"
#include "arena/ArenaChecks.h"

namespace kestrovan {
namespace {

using TJson = nlohmann::ordered_json;

constexpr double kPi = 3.14159265358979323846;

// A number, or null when it is not finite (JSON has no NaN or infinity).
TJson Number(double Value) { return std::isfinite(Value) ? TJson(Value) : TJson(nullptr); }

TJson Point(double X, double Y) { return TJson::array({Number(X), Number(Y)}); }

TJson Circle(double X, double Y, double Radius) {
  TJson circle;
  circle["type"] = "circle";
  circle["center"] = Point(X, Y);
  circle["radius"] = Number(Radius);
  return circle;
}

// The rectangle from (AlongMin, AcrossMin) to (AlongMax, AcrossMax) in the
// object's own frame, turned by Angle degrees (counter-clockwise seen from
// above, as the 3D view turns objects) about (X, Y): four corners in order.
TJson TurnedRectangle(double X, double Y, double Angle, double AlongMin, double AlongMax, double AcrossMin,
                      double AcrossMax) {
  const double turn = Angle * kPi / 180.0;
  const double c = std::cos(turn);
  const double s = std::sin(turn);
  TJson points = TJson::array();
  for (const auto& [along, across] : {std::pair{AlongMin, AcrossMin}, std::pair{AlongMax, AcrossMin},
                                      std::pair{AlongMax, AcrossMax}, std::pair{AlongMin, AcrossMax}}) {
    points.push_back(Point(X + c * along - s * across, Y + s * along + c * across));
  }
  TJson polygon;
  polygon["type"] = "polygon";
  polygon["points"] = std::move(points);
  return polygon;
}

// A rectangle SizeAlong by SizeAcross centred on (X, Y), turned by Angle.
TJson CentredRectangle(double X, double Y, double Angle, double SizeAlong, double SizeAcross) {
  return TurnedRectangle(X, Y, Angle, -SizeAlong / 2.0, SizeAlong / 2.0, -SizeAcross / 2.0, SizeAcross / 2.0);
}

void AddCanShape(TJson& Entry, const TSoftDrinkCanShape& Shape) {
  Entry["top_radius"] = Number(Shape.TopRadius);
  Entry["bottom_radius"] = Number(Shape.BottomRadius);
  Entry["upper_sloped_section_height"] = Number(Shape.UpperSlopedSectionHeight);
  Entry["lower_sloped_section_height"] = Number(Shape.LowerSlopedSectionHeight);
}

// The sizes of Object's class, its role and its footprint as the 3D view
// builds it: floors, walls and openings, table tops, book shelves and sofa
// plates with arm rests and backrest are turned rectangles, a chair the
// square of its seat, cylinders and cans circles.
void AddShape(TJson& Entry, const TArenaObject& Object) {
  const double x = Object.Position.GetElement(1);
  const double y = Object.Position.GetElement(2);
  const double angle = Object.Angle;
  TJson outline = TJson::array();
  const char* role = "furniture";

  if (const auto* floor = dynamic_cast<const TBasicFloor*>(&Object)) {
    role = "floor";
    Entry["width"] = Number(floor->Width);
    Entry["length"] = Number(floor->Length);
    // floors are never turned
    outline.push_back(CentredRectangle(x, y, 0.0, floor->Width, floor->Length));
  } else if (const auto* slab = dynamic_cast<const TFloor*>(&Object)) {
    role = "floor";
    Entry["width"] = Number(slab->Width);
    Entry["length"] = Number(slab->Length);
    outline.push_back(CentredRectangle(x, y, 0.0, slab->Width, slab->Length));
  } else if (const auto* wall = dynamic_cast<const TWall*>(&Object)) {
    role = "wall";
    Entry["length"] = Number(wall->Length);
    Entry["thickness"] = Number(wall->Thickness);
    Entry["transparent"] = wall->Transparent;
    outline.push_back(CentredRectangle(x, y, angle, wall->Length, wall->Thickness));
  } else if (const auto* opening = dynamic_cast<const TOpening*>(&Object)) {
    role = "wall";
    Entry["length"] = Number(opening->Length);
    Entry["thickness"] = Number(opening->Thickness);
    Entry["opening_bottom"] = Number(opening->OpeningBottom);
    Entry["opening_height"] = Number(opening->OpeningHeight);
    Entry["transparent"] = opening->Transparent;
    outline.push_back(CentredRectangle(x, y, angle, opening->Length, opening->Thickness));
  } else if (const auto* table = dynamic_cast<const TStandardTable*>(&Object)) {
    Entry["length"] = Number(table->Length);
    Entry["width"] = Number(table->Width);
    Entry["thickness"] = Number(table->Thickness);
    Entry["leg_width"] = Number(table->LegWidth);
    outline.push_back(CentredRectangle(x, y, angle, table->Length, table->Width));
  } else if (const auto* shelf = dynamic_cast<const TStandardBookShelf*>(&Object)) {
    Entry["length"] = Number(shelf->Length);
    Entry["width"] = Number(shelf->Width);
    Entry["number_of_shelves"] = shelf->NumberOfShelves;
    Entry["material_thickness"] = Number(shelf->MaterialThickness);
    outline.push_back(CentredRectangle(x, y, angle, shelf->Length, shelf->Width));
  } else if (const auto* chair = dynamic_cast<const TOfficeChair*>(&Object)) {
    Entry["seat_height"] = Number(chair->SeatHeight);
    Entry["seat_size"] = Number(chair->SeatSize);
    Entry["arm_rest_height"] = Number(chair->ArmRestHeight);
    Entry["material_thickness"] = Number(chair->MaterialThickness);
    outline.push_back(CentredRectangle(x, y, angle, chair->SeatSize, chair->SeatSize));
  } else if (const auto* sofa = dynamic_cast<const TStandardSofa*>(&Object)) {
    Entry["length"] = Number(sofa->Length);
    Entry["width"] = Number(sofa->Width);
    Entry["number_of_seats"] = sofa->NumberOfSeats;
    Entry["arm_rest_width"] = Number(sofa->ArmRestWidth);
    Entry["material_thickness"] = Number(sofa->MaterialThickness);
    // the arm rests lie beyond both ends of the plate, the backrest behind it
    const double halfAlong = sofa->Length / 2.0 + sofa->ArmRestWidth;
    outline.push_back(TurnedRectangle(x, y, angle, -halfAlong, halfAlong, -sofa->Width / 2.0 - sofa->MaterialThickness,
                                      sofa->Width / 2.0));
  } else if (const auto* cylinder = dynamic_cast<const TCylinderZ*>(&Object)) {
    // drink cans that are cylinders included
    role = "cylinder";
    Entry["radius"] = Number(cylinder->Radius);
    Entry["immovable"] = cylinder->IsImmovable();
    if (const auto* can = dynamic_cast<const TSoftDrinkCanZ*>(&Object)) {
      AddCanShape(Entry, *can);
    }
    outline.push_back(Circle(x, y, cylinder->Radius));
  } else if (const auto* can = dynamic_cast<const TSoftDrinkCan*>(&Object)) {
    Entry["radius"] = Number(can->Radius);
    AddCanShape(Entry, *can);
    outline.push_back(Circle(x, y, can->Radius));
  }
  Entry["role"] = role;
  Entry["outline"] = std::move(outline);
}

TJson Findings(const std::vector<TArenaFinding>& List) {
  TJson findings = TJson::array();
  for (const TArenaFinding& finding : List) {
    TJson entry;
    entry["line"] = finding.Line;
    entry["message"] = finding.Message;
    findings.push_back(std::move(entry));
  }
  return findings;
}

}  // namespace

std::string ArenaJson(const TArena& Arena, const TArenaCheck& Check) {
  TJson document;
  document["file"] = Arena.FileName();

  double xMin = 0.0;
  double xMax = 0.0;
  double yMin = 0.0;
  double yMax = 0.0;
  if (Arena.GetFloorBounds(xMin, xMax, yMin, yMax)) {
    TJson floor;
    floor["name"] = Arena.Floor()->Name;
    floor["x_min"] = Number(xMin);
    floor["x_max"] = Number(xMax);
    floor["y_min"] = Number(yMin);
    floor["y_max"] = Number(yMax);
    document["floor"] = std::move(floor);
  } else {
    document["floor"] = nullptr;
  }

  TJson objects = TJson::array();
  TJson cylinders = TJson::array();
  for (int i = 1; i <= Arena.NumberOfObjects(); ++i) {
    const TArenaObject& object = Arena.Objects(i);
    TJson entry;
    entry["index"] = i;
    entry["class"] = ArenaClassName(object);
    entry["name"] = object.Name;
    entry["line"] = Arena.ObjectLine(i);
    entry["position"] = TJson::array({Number(object.Position.GetElement(1)), Number(object.Position.GetElement(2)),
                                      Number(object.Position.GetElement(3))});
    entry["velocity"] = TJson::array({Number(object.Velocity.GetElement(1)), Number(object.Velocity.GetElement(2)),
                                      Number(object.Velocity.GetElement(3))});
    entry["angle"] = Number(object.Angle);
    entry["height"] = Number(object.Height);
    entry["mass"] = Number(object.Mass);
    entry["color"] =
        TJson::array({object.RGBColor.GetElement(1), object.RGBColor.GetElement(2), object.RGBColor.GetElement(3)});
    AddShape(entry, object);
    if (dynamic_cast<const TCylinderZ*>(&object) != nullptr) {
      // the trajectory columns follow the cylinders in object-list order
      TJson cylinder;
      cylinder["index"] = i;
      cylinder["name"] = object.Name;
      cylinder["radius"] = entry["radius"];
      cylinder["immovable"] = entry["immovable"];
      cylinder["position"] = Point(object.Position.GetElement(1), object.Position.GetElement(2));
      cylinder["color"] = entry["color"];
      cylinders.push_back(std::move(cylinder));
    }
    objects.push_back(std::move(entry));
  }
  document["objects"] = std::move(objects);
  document["cylinders"] = std::move(cylinders);

  if (const TAmbience* ambience = Arena.Ambience()) {
    TJson entry;
    entry["name"] = ambience->Name;
    entry["fog"] = ambience->Fog;
    entry["fog_color"] = ambience->FogColor;
    entry["fog_start"] = Number(ambience->FogStart);
    entry["fog_end"] = Number(ambience->FogEnd);
    document["ambience"] = std::move(entry);
  } else {
    document["ambience"] = nullptr;
  }

  document["errors"] = Findings(Check.Errors);
  document["warnings"] = Findings(Check.Warnings);
  // names are bytes of the file: bytes that are not UTF-8 become U+FFFD
  return document.dump(2, ' ', false, TJson::error_handler_t::replace) + "\n";
}

}  // namespace kestrovan
