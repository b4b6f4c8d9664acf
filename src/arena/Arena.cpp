#include "arena/Arena.h"

#include <cmath>
#include <string_view>
#include <typeinfo>
#include <variant>

#include "arena/ArenaModel.h"
#include "arena/InformationLine.h"
#include "arena/InputFile.h"
#include "numerics/PortableMath.h"
#include "numerics/RandomNumbers.h"
#include "numerics/Trig.h"

namespace kestrovan {

TArenaObject::TArenaObject() = default;

void TArenaObject::Move(double TimeStep) {
  // linear drag, coefficient 0.1 kg/s
  for (int k = 1; k <= 3; ++k) {
    const double v = Velocity.GetElement(k);
    Velocity.SetElement(k, v - v * (0.1 / Mass) * TimeStep);
  }
  // semi-implicit Euler: the position moves with the new velocity
  for (int k = 1; k <= 3; ++k) {
    Position.SetElement(k, Position.GetElement(k) + Velocity.GetElement(k) * TimeStep);
  }
}

std::string TArenaFileError::Located() const {
  if (line_ > 0) {
    return fileName_ + ":" + std::to_string(line_) + ": " + what();
  }
  return fileName_ + ": " + what();
}

namespace {

// The values of a property line start at its third word; the second word
// (by convention "=") is not examined.
void Read(double& Field, const TInformationLine& Line) { Field = ParseFloat(Line.Word(2)); }
void Read(std::int32_t& Field, const TInformationLine& Line) { Field = ParseInteger(Line.Word(2)); }
void Read(bool& Field, const TInformationLine& Line) { Field = Line.Word(2) == "True"; }
void Read(std::string& Field, const TInformationLine& Line) { Field = Line.Word(2); }
void Read(TVector& Field, const TInformationLine& Line) {
  for (int k = 1; k <= 3; ++k) {
    Field.SetElement(k, ParseFloat(Line.Word(k + 1)));
  }
}
void Read(TIntegerVector& Field, const TInformationLine& Line) {
  for (int k = 1; k <= 3; ++k) {
    Field.SetElement(k, ParseInteger(Line.Word(k + 1)));
  }
}

// A property name and the field of a T that its values set.
template <class T>
struct TField {
  std::string_view Name;
  std::variant<double T::*, std::int32_t T::*, bool T::*, std::string T::*, TVector T::*, TIntegerVector T::*> Member;
};

// Sets the field named Name from the line; false when no field has that name.
template <class T, std::size_t N>
bool ApplyField(T& Object, const TField<T> (&Fields)[N], const std::string& Name, const TInformationLine& Line) {
  for (const TField<T>& field : Fields) {
    if (field.Name == Name) {
      std::visit([&](auto member) { Read(Object.*member, Line); }, field.Member);
      return true;
    }
  }
  return false;
}

// Every class accepts these, tested before the class's own.
const TField<TArenaObject> kCommonFields[] = {
    {"Height", &TArenaObject::Height},     {"Position", &TArenaObject::Position}, {"Velocity", &TArenaObject::Velocity},
    {"Angle", &TArenaObject::Angle},       {"Mass", &TArenaObject::Mass},         {"Texture", &TArenaObject::Texture},
    {"RGBColor", &TArenaObject::RGBColor},
};

// The properties of each class beyond the common ones. Names a class does
// not list are ignored.
template <class T>
struct TOwnFields;

template <>
struct TOwnFields<TBasicFloor> {
  static constexpr TField<TBasicFloor> kFields[] = {
      {"Length", &TBasicFloor::Length},
      {"Width", &TBasicFloor::Width},
      {"TileLength", &TBasicFloor::TileLength},
      {"TileWidth", &TBasicFloor::TileWidth},
  };
};

template <>
struct TOwnFields<TFloor> {
  static constexpr TField<TFloor> kFields[] = {
      {"Length", &TFloor::Length},
      {"Width", &TFloor::Width},
      {"HasCover", &TFloor::HasCover},
      {"TextureTileLength", &TFloor::TextureTileLength},
      {"TextureTileWidth", &TFloor::TextureTileWidth},
  };
};

template <>
struct TOwnFields<TWall> {
  static constexpr TField<TWall> kFields[] = {
      {"Length", &TWall::Length},
      {"Thickness", &TWall::Thickness},
      {"Transparent", &TWall::Transparent},
      {"HasWallPaper", &TWall::HasWallPaper},
      {"TextureTileLength", &TWall::TextureTileLength},
      {"TextureTileHeight", &TWall::TextureTileHeight},
  };
};

template <>
struct TOwnFields<TOpening> {
  static constexpr TField<TOpening> kFields[] = {
      {"OpeningBottom", &TOpening::OpeningBottom},
      {"OpeningHeight", &TOpening::OpeningHeight},
      {"Length", &TOpening::Length},
      {"Thickness", &TOpening::Thickness},
      {"Transparent", &TOpening::Transparent},
  };
};

template <>
struct TOwnFields<TStandardTable> {
  static constexpr TField<TStandardTable> kFields[] = {
      {"Length", &TStandardTable::Length},
      {"Width", &TStandardTable::Width},
      {"Thickness", &TStandardTable::Thickness},
      {"LegWidth", &TStandardTable::LegWidth},
  };
};

template <>
struct TOwnFields<TStandardBookShelf> {
  static constexpr TField<TStandardBookShelf> kFields[] = {
      {"Length", &TStandardBookShelf::Length},
      {"Width", &TStandardBookShelf::Width},
      {"NumberOfShelves", &TStandardBookShelf::NumberOfShelves},
      {"HasSurfaces", &TStandardBookShelf::HasSurfaces},
      {"MaterialThickness", &TStandardBookShelf::MaterialThickness},
  };
};

template <>
struct TOwnFields<TOfficeChair> {
  static constexpr TField<TOfficeChair> kFields[] = {
      {"SeatHeight", &TOfficeChair::SeatHeight},
      {"SeatSize", &TOfficeChair::SeatSize},
      {"ArmRestHeight", &TOfficeChair::ArmRestHeight},
      {"MaterialThickness", &TOfficeChair::MaterialThickness},
  };
};

template <>
struct TOwnFields<TStandardSofa> {
  static constexpr TField<TStandardSofa> kFields[] = {
      {"Length", &TStandardSofa::Length},
      {"Width", &TStandardSofa::Width},
      {"BottomPlateThickness", &TStandardSofa::BottomPlateThickness},
      {"CushionThickness", &TStandardSofa::CushionThickness},
      {"NumberOfSeats", &TStandardSofa::NumberOfSeats},
      {"ArmRestHeight", &TStandardSofa::ArmRestHeight},
      {"ArmRestWidth", &TStandardSofa::ArmRestWidth},
      {"LegHeight", &TStandardSofa::LegHeight},
      {"MaterialThickness", &TStandardSofa::MaterialThickness},
  };
};

template <>
struct TOwnFields<TCylinderZ> {
  static constexpr TField<TCylinderZ> kFields[] = {
      {"Radius", &TCylinderZ::Radius},
  };
};

// Both kinds of drink can; Radius is the body radius, for a can that is a
// cylinder the cylinder's own Radius.
template <class Can>
struct TCanFields {
  static constexpr TField<Can> kFields[] = {
      {"Radius", &Can::Radius},
      {"TopRadius", &Can::TopRadius},
      {"BottomRadius", &Can::BottomRadius},
      {"UpperSlopedSectionHeight", &Can::UpperSlopedSectionHeight},
      {"LowerSlopedSectionHeight", &Can::LowerSlopedSectionHeight},
      {"SlopeTexture", &Can::SlopeTexture},
      {"TopBottomTexture", &Can::TopBottomTexture},
  };
};

template <>
struct TOwnFields<TSoftDrinkCan> : TCanFields<TSoftDrinkCan> {};
template <>
struct TOwnFields<TSoftDrinkCanZ> : TCanFields<TSoftDrinkCanZ> {};

// One class that object headers may name.
struct TArenaClass {
  std::string_view Name;
  const std::type_info* Type;
  std::unique_ptr<TArenaObject> (*Create)();
  // Applies a property line to an object of this class.
  void (*ApplyProperty)(TArenaObject& Object, const std::string& Name, const TInformationLine& Line);
};

template <class T>
std::unique_ptr<TArenaObject> CreateObject() {
  return std::make_unique<T>();
}

template <class T>
void ApplyProperty(TArenaObject& Object, const std::string& Name, const TInformationLine& Line) {
  if (!ApplyField(Object, kCommonFields, Name, Line)) {
    ApplyField(static_cast<T&>(Object), TOwnFields<T>::kFields, Name, Line);
  }
}

template <class T>
constexpr TArenaClass ClassOf(std::string_view Name) {
  return {Name, &typeid(T), &CreateObject<T>, &ApplyProperty<T>};
}

const TArenaClass kArenaClasses[] = {
    ClassOf<TBasicFloor>("TBasicFloor"),
    ClassOf<TFloor>("TFloor"),
    ClassOf<TWall>("TWall"),
    ClassOf<TOpening>("TOpening"),
    ClassOf<TStandardTable>("TStandardTable"),
    ClassOf<TStandardBookShelf>("TStandardBookShelf"),
    ClassOf<TOfficeChair>("TOfficeChair"),
    ClassOf<TStandardSofa>("TStandardSofa"),
    ClassOf<TCylinderZ>("TCylinderZ"),
    ClassOf<TSoftDrinkCan>("TSoftDrinkCan"),
    ClassOf<TSoftDrinkCanZ>("TSoftDrinkCanZ"),
};

const TArenaClass* FindClass(std::string_view Name) {
  for (const TArenaClass& c : kArenaClasses) {
    if (c.Name == Name) {
      return &c;
    }
  }
  return nullptr;
}

const TField<TAmbience> kAmbienceFields[] = {
    {"Fog", &TAmbience::Fog},
    {"FogStart", &TAmbience::FogStart},
    {"FogEnd", &TAmbience::FogEnd},
};

void ApplyAmbienceProperty(TAmbience& Ambience, const TInformationLine& Line) {
  const std::string& name = Line.Word(0);
  if (name == "FogColor") {
    // the values are not read: the fog is always cyan
    Ambience.FogColor = 0x00FFFF00u;
  } else {
    ApplyField(Ambience, kAmbienceFields, name, Line);
  }
}

// A line of the file that the loader refuses; the loader adds the file name
// and the line number.
class TLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits the text of a file into lines. CR, LF and CR LF each end a line;
// the character 26 ends the input. A UTF-8 byte-order mark at the start is
// skipped. A NUL byte (binary data, UTF-16) and a line longer than
// kMaximumInputLineLength are refused.
class TLineReader {
 public:
  explicit TLineReader(std::string_view Text) : text_(Text) {
    if (text_.starts_with("\xEF\xBB\xBF")) {
      text_.remove_prefix(3);
    } else if (text_.starts_with("\xFF\xFE") || text_.starts_with("\xFE\xFF")) {
      text_ = text_.substr(0, 0);
      utf16_ = true;
    }
  }

  // The next line without its line end; false when the input has ended.
  // Throws TLineError for the line it would return.
  bool Next(std::string_view& Line) {
    if (utf16_) {
      utf16_ = false;
      throw TLineError("not a text file: UTF-16 (write the arena file as UTF-8 or ASCII)");
    }
    if (position_ >= text_.size()) {
      return false;
    }
    const std::size_t start = position_;
    std::size_t end = start;
    while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r' && text_[end] != '\x1a' &&
           text_[end] != '\0') {
      ++end;
    }
    if (end - start > kMaximumInputLineLength) {
      throw TLineError("line longer than " + std::to_string(kMaximumInputLineLength) + " bytes");
    }
    Line = text_.substr(start, end - start);
    if (end == text_.size()) {
      position_ = end;
      return !Line.empty();
    }
    switch (text_[end]) {
      case '\0':
        throw TLineError("not a text file: NUL byte");
      case '\x1a':
        position_ = text_.size();
        return !Line.empty();
      case '\r':
        position_ = end + 1 < text_.size() && text_[end + 1] == '\n' ? end + 2 : end + 1;
        return true;
      default:
        position_ = end + 1;
        return true;
    }
  }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
  bool utf16_ = false;
};

// Refuses part counts that would build an enormous scene.
void CheckPartCounts(const TArenaObject& Object) {
  const auto check = [](std::int32_t Count, const char* Name) {
    if (Count > kMaximumPartCount) {
      throw TLineError(std::string(Name) + " " + std::to_string(Count) + " is above the maximum of " +
                       std::to_string(kMaximumPartCount));
    }
  };
  if (const auto* shelf = dynamic_cast<const TStandardBookShelf*>(&Object)) {
    check(shelf->NumberOfShelves, "NumberOfShelves");
  } else if (const auto* sofa = dynamic_cast<const TStandardSofa*>(&Object)) {
    check(sofa->NumberOfSeats, "NumberOfSeats");
  }
}

}  // namespace

const char* ArenaClassName(const TArenaObject& Object) {
  for (const TArenaClass& c : kArenaClasses) {
    if (*c.Type == typeid(Object)) {
      return c.Name.data();
    }
  }
  return "TArenaObject";
}

TArenaFileError::TArenaFileError(const std::string& Message, std::string FileName, std::int64_t Line)
    : std::runtime_error(EscapeControlCharacters(Message)), fileName_(std::move(FileName)), line_(Line) {}

TArena::TArena(const std::string& FileName) : fileName_(FileName) {
  std::string text;
  try {
    text = ReadInputFile(FileName);
  } catch (const TInputFileError& error) {
    throw TArenaFileError(error.what(), FileName, 0);
  }
  Load(text, FileName);
  Finish();
}

TArena::TArena(std::istream& Input, const std::string& SourceName) {
  std::string text;
  char buffer[65536];
  while (Input.read(buffer, sizeof buffer) || Input.gcount() > 0) {
    if (text.size() + static_cast<std::size_t>(Input.gcount()) > kMaximumInputFileSize) {
      throw TArenaFileError("file larger than 256 MB", SourceName, 0);
    }
    text.append(buffer, static_cast<std::size_t>(Input.gcount()));
  }
  Load(text, SourceName);
  Finish();
}

TArena::TArena(const TArena& Source)
    : objectLines_(Source.objectLines_), initialStates_(Source.initialStates_), fileName_(Source.fileName_) {
  objects_.reserve(Source.objects_.size());
  for (const std::unique_ptr<TArenaObject>& object : Source.objects_) {
    objects_.push_back(object->Copy());
  }
  if (Source.ambience_) {
    ambience_ = std::make_unique<TAmbience>(*Source.ambience_);
  }
  GatherObjects();
}

TArena::~TArena() = default;

void TArena::Load(std::string_view Text, const std::string& SourceName) {
  TLineReader reader(Text);
  TInformationLine line;
  std::string_view text;
  std::int64_t lineNumber = 0;

  // the next line, cut and classified; false at the end of the input
  auto nextLine = [&]() {
    line.Clear();
    ++lineNumber;
    if (!reader.Next(text)) {
      return false;
    }
    line.SetLine(text);
    line.Parse();
    return true;
  };

  try {
    while (nextLine()) {
      if (line.IsAmbienceHeader()) {
        // a later ambience block replaces an earlier one
        auto ambience = std::make_unique<TAmbience>();
        ambience->Name = line.Word(1);
        while (nextLine()) {
          ApplyAmbienceProperty(*ambience, line);
          if (line.IsBlockEnd()) {
            break;
          }
        }
        ambience_ = std::move(ambience);
      } else if (line.IsObjectHeader()) {
        const std::string& classWord = line.Word(2);
        const TArenaClass* arenaClass = FindClass(classWord);
        if (arenaClass == nullptr) {
          throw TConversionError("'" + classWord + "' is not an arena object class");
        }
        std::unique_ptr<TArenaObject> created = arenaClass->Create();
        // only a header of exactly three words names its object
        if (line.WordCount() == 3) {
          created->Name = line.Word(1);
        }
        TArenaObject& object = *created;
        objects_.push_back(std::move(created));
        objectLines_.push_back(lineNumber);
        // a block that the end of the input cuts off keeps its object
        while (nextLine() && !line.IsBlockEnd()) {
          arenaClass->ApplyProperty(object, line.Word(0), line);
          CheckPartCounts(object);
        }
      }
    }
  } catch (const TConversionError& error) {
    throw TArenaFileError(error.what(), SourceName, lineNumber);
  } catch (const TListIndexError& error) {
    throw TArenaFileError(error.what(), SourceName, lineNumber);
  } catch (const TLineError& error) {
    throw TArenaFileError(error.what(), SourceName, lineNumber);
  }
}

void TArena::Finish() {
  initialStates_.clear();
  initialStates_.reserve(objects_.size());
  for (const std::unique_ptr<TArenaObject>& object : objects_) {
    TInitialState state{};
    for (int k = 1; k <= 3; ++k) {
      state.Position[k - 1] = object->Position.GetElement(k);
      state.Velocity[k - 1] = object->Velocity.GetElement(k);
    }
    state.Angle = object->Angle;
    initialStates_.push_back(state);
  }
  GatherObjects();
}

void TArena::GatherObjects() {
  cylinders_.clear();
  floor_ = nullptr;
  for (const std::unique_ptr<TArenaObject>& object : objects_) {
    if (auto* cylinder = dynamic_cast<TCylinderZ*>(object.get())) {
      cylinders_.push_back(cylinder);
    }
    if (floor_ == nullptr) {
      floor_ = dynamic_cast<const TBasicFloor*>(object.get());
    }
  }
  ComputeFloorRectangle();
}

void TArena::ComputeFloorRectangle() {
  TFloorRectangle rectangle;
  rectangle.Present = GetFloorBounds(rectangle.XMin, rectangle.XMax, rectangle.YMin, rectangle.YMax);
  floorRectangle_ = rectangle;
}

bool TArena::GetFloorBounds(double& XMin, double& XMax, double& YMin, double& YMax) const {
  if (floor_ == nullptr) {
    return false;
  }
  XMin = floor_->Position.GetElement(1) - floor_->Width / 2;
  XMax = XMin + floor_->Width;
  YMin = floor_->Position.GetElement(2) - floor_->Length / 2;
  YMax = YMin + floor_->Length;
  return true;
}

void TArena::ResetObjects() {
  for (std::size_t i = 0; i < objects_.size(); ++i) {
    TArenaObject& object = *objects_[i];
    const TInitialState& state = initialStates_[i];
    for (int k = 1; k <= 3; ++k) {
      object.Position.SetElement(k, state.Position[k - 1]);
      object.Velocity.SetElement(k, state.Velocity[k - 1]);
    }
    object.Angle = state.Angle;
  }
  ComputeFloorRectangle();
}

void TArena::RandomizeCylinderVelocities(std::int32_t Seed, double MinSpeed, double MaxSpeed) {
  // seed 0 acts as 1, a negative seed as its absolute value; |-2^31| does
  // not fit, but 2^31 and 2^31 mod (2^31 - 1) = 1 give the same draws
  const std::int64_t magnitude = Seed == 0 ? 1 : std::abs(static_cast<std::int64_t>(Seed));
  TUniformRandomGenerator generator;
  generator.SetSeed(static_cast<std::int32_t>(magnitude == 2147483648 ? 1 : magnitude));
  for (TCylinderZ* cylinder : cylinders_) {
    // speed first, then direction: two draws per cylinder
    const double u1 = generator.GetUniform();
    const double speed = MinSpeed + u1 * (MaxSpeed - MinSpeed);
    const double u2 = generator.GetUniform();
    // the angle as 80-bit extended arithmetic forms it, emulated in integers
    // so that every CPU draws the same directions
    const double direction = ExtendedTwoPiTimes(u2);
    cylinder->Velocity.SetElement(1, trig::cos(direction) * speed);
    cylinder->Velocity.SetElement(2, trig::sin(direction) * speed);
  }
}

void TArena::MoveObjects(double TimeStep) {
  // the arithmetic of an evaluation's state (MoveCylinder), on the objects
  for (TCylinderZ* cylinder : cylinders_) {
    if (cylinder->IsImmovable()) {
      continue;
    }
    TCylinderState state;
    for (int k = 0; k < 3; ++k) {
      state.Position[k] = cylinder->Position.GetElement(k + 1);
      state.Velocity[k] = cylinder->Velocity.GetElement(k + 1);
    }
    MoveCylinder(state, cylinder->Mass, cylinder->Radius, floorRectangle_, TimeStep);
    for (int k = 0; k < 3; ++k) {
      cylinder->Position.SetElement(k + 1, state.Position[k]);
      cylinder->Velocity.SetElement(k + 1, state.Velocity[k]);
    }
  }
}

}  // namespace kestrovan
