#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "arena/Arena.h"
#include "arena/CommaLocale.h"
#include "support/TestSupport.h"

namespace kestrovan {
namespace {

const char* const kExample =
    "#Example: a floor, one wall, one moving cylinder and fog\n"
    "object Ground: TBasicFloor\n"
    "  Position = 0 0 0\n"
    "  Length = 3\n"
    "  Width = 3\n"
    "  Texture = floor.bmp\n"
    "  TileLength = 0.5\n"
    "  TileWidth = 0.5\n"
    "end\n"
    "object NorthWall: TWall\n"
    "  Position = 0 1.5 0.25\n"
    "  Length = 3\n"
    "  Thickness = 0.05\n"
    "  Height = 0.5\n"
    "  Angle = 0\n"
    "  Transparent = False\n"
    "  RGBColor = 200 200 200\n"
    "end\n"
    "object Can1: TCylinderZ   # a pushable cylinder\n"
    "  Position = 0.5 0.5 0\n"
    "  Velocity = 0.1 0 0\n"
    "  Radius = 0.1\n"
    "  Height = 0.2\n"
    "  Mass = 0.5\n"
    "  RGBColor = 255 0 0\n"
    "end\n"
    "object Mist: TAmbience\n"
    "  Fog = True\n"
    "  FogColor = 0 255 255\n"
    "  FogStart = 1.0\n"
    "  FogEnd = 6.0\n"
    "end\n";

TArena Load(std::string_view Text) {
  std::istringstream input{std::string(Text)};
  return TArena(input, "test.txt");
}

// Loading Text fails with Message on line Line.
testing::AssertionResult FailsWith(std::string_view Text, const std::string& Message, int Line) {
  std::istringstream input{std::string(Text)};
  try {
    TArena arena(input, "test.txt");
  } catch (const TArenaFileError& error) {
    const std::string located = "test.txt:" + std::to_string(Line) + ": " + Message;
    if (error.what() != Message || error.Line() != Line || error.FileName() != "test.txt" ||
        error.Located() != located) {
      return testing::AssertionFailure() << "got \"" << error.Located() << "\", expected \"" << located << "\"";
    }
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "the text loaded";
}

std::string Replace(std::string Text, std::string_view From, std::string_view To) {
  for (std::size_t at = Text.find(From); at != std::string::npos; at = Text.find(From, at + To.size())) {
    Text.replace(at, From.size(), To);
  }
  return Text;
}

template <class T>
const T& As(const TArena& Arena, int i) {
  const T* object = dynamic_cast<const T*>(&Arena.Objects(i));
  if (object == nullptr) {
    throw std::runtime_error(std::string("object ") + std::to_string(i) + " is a " + ArenaClassName(Arena.Objects(i)));
  }
  return *object;
}

void ExpectExample(const TArena& arena) {
  ASSERT_EQ(arena.NumberOfObjects(), 3);
  const auto& ground = As<TBasicFloor>(arena, 1);
  EXPECT_EQ(ground.Name, "Ground");
  EXPECT_EQ(ground.Length, 3.0);
  EXPECT_EQ(ground.Width, 3.0);
  EXPECT_EQ(ground.Texture, "floor.bmp");
  EXPECT_EQ(ground.TileLength, 0.5);
  EXPECT_EQ(ground.TileWidth, 0.5);
  const auto& wall = As<TWall>(arena, 2);
  EXPECT_EQ(wall.Name, "NorthWall");
  EXPECT_EQ(wall.Position.GetElement(2), 1.5);
  EXPECT_EQ(wall.Position.GetElement(3), 0.25);
  EXPECT_EQ(wall.Thickness, 0.05);
  EXPECT_EQ(wall.Height, 0.5);
  EXPECT_FALSE(wall.Transparent);
  EXPECT_EQ(wall.RGBColor.GetElement(1), 200);
  EXPECT_EQ(wall.RGBColor.GetElement(3), 200);
  const auto& can = As<TCylinderZ>(arena, 3);
  EXPECT_EQ(can.Name, "Can1");
  EXPECT_EQ(can.Position.GetElement(1), 0.5);
  EXPECT_EQ(can.Velocity.GetElement(1), 0.1);
  EXPECT_EQ(can.Radius, 0.1);
  EXPECT_EQ(can.Mass, 0.5);
  EXPECT_EQ(can.RGBColor.GetElement(1), 255);
  ASSERT_NE(arena.Ambience(), nullptr);
  EXPECT_EQ(arena.Ambience()->Name, "Mist");
  EXPECT_TRUE(arena.Ambience()->Fog);
  EXPECT_EQ(arena.Ambience()->FogColor, 0x00FFFF00u);
  EXPECT_EQ(arena.Ambience()->FogStart, 1.0);
  EXPECT_EQ(arena.Ambience()->FogEnd, 6.0);
  ASSERT_EQ(arena.Cylinders().size(), 1u);
  EXPECT_EQ(arena.Cylinders()[0], &arena.Objects(3));
  EXPECT_EQ(arena.Floor(), &arena.Objects(1));
}

TEST(TArenaLoader, ReadsTheExample) {
  const TArena arena = Load(kExample);
  ExpectExample(arena);
  EXPECT_TRUE(arena.FileName().empty());
}

TEST(TArenaLoader, EveryLineEndWorks) {
  for (const char* end : {"\r\n", "\r", "\n"}) {
    SCOPED_TRACE(testing::PrintToString(end));
    ExpectExample(Load(Replace(kExample, "\n", end)));
  }
  // mixed line ends, and a last line without any
  std::string mixed = Replace(kExample, "end\n", "end\r\n");
  mixed.pop_back();
  ExpectExample(Load(mixed));
}

TEST(TArenaLoader, LineNumbersCountEachLineEndOnce) {
  const char* text = "object A: TWall\r\n  Height = 1\r\n  Length = x\r\nend\r\n";
  EXPECT_TRUE(FailsWith(text, "'x' is not a valid floating point value", 3));
  EXPECT_TRUE(FailsWith(Replace(text, "\r\n", "\r"), "'x' is not a valid floating point value", 3));
  EXPECT_TRUE(FailsWith(Replace(text, "\r\n", "\n"), "'x' is not a valid floating point value", 3));
  // an empty line between CR and LF pairs still counts
  EXPECT_TRUE(FailsWith("\r\n\n\robject A: TWall\n  Length = x\n", "'x' is not a valid floating point value", 5));
}

TEST(TArenaLoader, Character26EndsTheFile) {
  std::string text = kExample;
  text += '\x1a';
  text += "object Late: TCylinderZ\nend\n";
  ExpectExample(Load(text));
  // also in the middle of a line: the rest is never read
  const TArena cut = Load(std::string("object A: TCylinderZ\n  Radius = 0.2\x1a  junk\n  Mass = x\n"));
  ASSERT_EQ(cut.NumberOfObjects(), 1);
  EXPECT_EQ(As<TCylinderZ>(cut, 1).Radius, 0.2);
}

TEST(TArenaLoader, EmptyFilesAndFilesWithoutBlocks) {
  const TArena empty = Load("");
  EXPECT_EQ(empty.NumberOfObjects(), 0);
  EXPECT_EQ(empty.Ambience(), nullptr);
  EXPECT_EQ(empty.Floor(), nullptr);
  const TArena noBlocks = Load("# nothing here\nHeight = 3\nend\nOBJECT A: TWall\n");
  EXPECT_EQ(noBlocks.NumberOfObjects(), 0);
  EXPECT_EQ(noBlocks.Ambience(), nullptr);
}

TEST(TArenaLoader, UnknownClassWordRejectsTheFile) {
  EXPECT_TRUE(FailsWith("object A: TWall\nend\nobject B: TChair\nend\n", "'TChair' is not an arena object class", 3));
  EXPECT_TRUE(FailsWith("object B: twall\nend\n", "'twall' is not an arena object class", 1));
  EXPECT_TRUE(FailsWith("object B: TAmbienceX\n", "'TAmbienceX' is not an arena object class", 1));
}

TEST(TArenaLoader, BlankBeforeColonGivesTheEmptyClassWord) {
  EXPECT_TRUE(FailsWith("\nobject Can1 : TCylinderZ\nend\n", "'' is not an arena object class", 2));
}

TEST(TArenaLoader, OnlyAThreeWordHeaderNamesItsObject) {
  const TArena arena = Load("object Can1: TCylinderZ extra\nend\nObject Can2: TCylinderZ\nend\n");
  ASSERT_EQ(arena.NumberOfObjects(), 2);
  EXPECT_EQ(arena.Objects(1).Name, "");
  EXPECT_EQ(arena.Objects(2).Name, "Can2");
  // the ambience takes its name in any case
  const TArena fog = Load("object Mist: TAmbience more words\nend\n");
  ASSERT_NE(fog.Ambience(), nullptr);
  EXPECT_EQ(fog.Ambience()->Name, "Mist");
}

TEST(TArenaLoader, ErrorMessagesNameWordAndLine) {
  EXPECT_TRUE(FailsWith("object A: TCylinderZ\n  Position = 0.5#x 0 0\nend\n",
                        "'0.5#x' is not a valid floating point value", 2));
  EXPECT_TRUE(FailsWith("object A: TCylinderZ\n\n  RGBColor = 255 0 x\nend\n", "'x' is not a valid integer value", 3));
  EXPECT_TRUE(
      FailsWith("object A: TStandardSofa\n  NumberOfSeats = 2.5\nend\n", "'2.5' is not a valid integer value", 2));
  EXPECT_TRUE(
      FailsWith("object A: TCylinderZ\n  Mass = 1e999\nend\n", "'1e999' is not a valid floating point value", 2));
  EXPECT_TRUE(FailsWith("object M: TAmbience\n  FogEnd = far\nend\n", "'far' is not a valid floating point value", 2));
}

TEST(TArenaLoader, MissingWordsGiveTheirIndex) {
  // a colon after the name leaves the value in the second word
  EXPECT_TRUE(FailsWith("object A: TWall\n  Length: 3\nend\n", "List index out of bounds (2)", 2));
  EXPECT_TRUE(FailsWith("object A: TWall\n  Length =\nend\n", "List index out of bounds (2)", 2));
  EXPECT_TRUE(FailsWith("object A: TWall\n  Position = 1 2\nend\n", "List index out of bounds (4)", 2));
  EXPECT_TRUE(FailsWith("object A: TWall\n  RGBColor = 1\nend\n", "List index out of bounds (3)", 2));
  EXPECT_TRUE(FailsWith("object A: TWall\n  Texture\nend\n", "List index out of bounds (2)", 2));
  EXPECT_TRUE(FailsWith("object M: TAmbience\n  Fog =\nend\n", "List index out of bounds (2)", 2));
  // a header without a class word
  EXPECT_TRUE(FailsWith("# arena\nobject Can1:\nend\n", "List index out of bounds (2)", 2));
  EXPECT_TRUE(FailsWith("object\n", "List index out of bounds (2)", 1));
}

TEST(TArenaLoader, AnyWordSeparatesNameAndValues) {
  const TArena arena = Load("object A: TWall\n  Length -> 3\n  Thickness x 0.1\n  Position = 1 2 3 4\nend\n");
  const auto& wall = As<TWall>(arena, 1);
  EXPECT_EQ(wall.Length, 3.0);
  EXPECT_EQ(wall.Thickness, 0.1);
  EXPECT_EQ(wall.Position.GetElement(3), 3.0);
}

TEST(TArenaLoader, OnlyTrueIsTrue) {
  const TArena arena = Load(
      "object A: TWall\n  Transparent = true\n  HasWallPaper = 1\nend\n"
      "object B: TWall\n  Transparent = True\n  HasWallPaper = TRUE\nend\n");
  EXPECT_FALSE(As<TWall>(arena, 1).Transparent);
  EXPECT_FALSE(As<TWall>(arena, 1).HasWallPaper);
  EXPECT_TRUE(As<TWall>(arena, 2).Transparent);
  EXPECT_FALSE(As<TWall>(arena, 2).HasWallPaper);
}

TEST(TArenaLoader, FogColorIsAlwaysCyanWhateverTheLineSays) {
  for (const char* line : {"  FogColor = 255 0 0\n", "  FogColor = clear\n", "  FogColor\n"}) {
    const TArena arena = Load(std::string("object M: TAmbience\n") + line + "end\n");
    ASSERT_NE(arena.Ambience(), nullptr);
    EXPECT_EQ(arena.Ambience()->FogColor, 0x00FFFF00u) << line;
  }
}

TEST(TArenaLoader, UnknownAndForeignPropertiesAreIgnored) {
  const TArena arena = Load(
      "object A: TWall\n  Radius = 7\n  Colour = red\n  Texture = brick.jpg\n  Length = 2 extra words\nend\n"
      "object M: TAmbience\n  Height = x\n  Fog = True\nend\n");
  const auto& wall = As<TWall>(arena, 1);
  EXPECT_EQ(wall.Texture, "brick.jpg");
  EXPECT_EQ(wall.Length, 2.0);
  EXPECT_TRUE(arena.Ambience()->Fog);
}

TEST(TArenaLoader, UpperCaseEndDoesNotCloseABlock) {
  const TArena arena = Load("object A: TCylinderZ\n  END\n  Radius = 0.2\nend\nOBJECT B: TWall\n  Height = 1\nEND\n");
  ASSERT_EQ(arena.NumberOfObjects(), 1);
  EXPECT_EQ(As<TCylinderZ>(arena, 1).Radius, 0.2);
}

TEST(TArenaLoader, TabIndentedPropertiesDoNotMatchBlankIndentedOnesDo) {
  const TArena arena = Load("object A: TCylinderZ\n\tRadius = 0.2\n      Height = 0.3\n   \n  # note\nend\n");
  EXPECT_EQ(As<TCylinderZ>(arena, 1).Radius, 0.0);
  EXPECT_EQ(As<TCylinderZ>(arena, 1).Height, 0.3);
}

TEST(TArenaLoader, MissingEndLineSwallowsTheFollowingBlock) {
  const TArena arena = Load(
      "object A: TCylinderZ\n  Radius = 0.1\n"
      "object B: TWall\n  Radius = 0.3\n  Length = 2\n  Mass = 4\nend\n"
      "object C: TWall\nend\n");
  ASSERT_EQ(arena.NumberOfObjects(), 2);
  const auto& a = As<TCylinderZ>(arena, 1);
  EXPECT_EQ(a.Name, "A");
  EXPECT_EQ(a.Radius, 0.3);
  EXPECT_EQ(a.Mass, 4.0);
  EXPECT_EQ(arena.Objects(2).Name, "C");
}

TEST(TArenaLoader, BlockCutOffByTheEndOfTheFileKeepsItsObject) {
  const TArena arena = Load("object A: TWall\nend\nobject Can: TCylinderZ\n  Radius = 0.05\n  Mass = 0.2");
  ASSERT_EQ(arena.NumberOfObjects(), 2);
  EXPECT_EQ(As<TCylinderZ>(arena, 2).Radius, 0.05);
  EXPECT_EQ(As<TCylinderZ>(arena, 2).Mass, 0.2);
  ASSERT_EQ(arena.Cylinders().size(), 1u);
  EXPECT_EQ(arena.InitialStates().size(), 2u);
  const TArena fog = Load("object M: TAmbience\n  FogEnd = 4\n");
  ASSERT_NE(fog.Ambience(), nullptr);
  EXPECT_EQ(fog.Ambience()->FogEnd, 4.0);
}

TEST(TArenaLoader, LaterValuesAndLaterAmbiencesWin) {
  const TArena arena = Load(
      "object M: TAmbience\n  Fog = True\n  FogStart = 1\nend\n"
      "object A: TWall\n  Length = 1\n  Length = 2\nend\n"
      "object N: TAmbience\n  FogEnd = 5\nend\n");
  EXPECT_EQ(As<TWall>(arena, 1).Length, 2.0);
  ASSERT_NE(arena.Ambience(), nullptr);
  EXPECT_EQ(arena.Ambience()->Name, "N");
  EXPECT_FALSE(arena.Ambience()->Fog);
  EXPECT_EQ(arena.Ambience()->FogStart, 0.0);
  EXPECT_EQ(arena.Ambience()->FogEnd, 5.0);
}

TEST(TArenaLoader, DefaultsOfABareBlock) {
  const TArena arena = Load("object F: TBasicFloor\nend\nobject G: TFloor\nend\nobject C: TCylinderZ\nend\n");
  for (int i = 1; i <= 3; ++i) {
    const TArenaObject& object = arena.Objects(i);
    EXPECT_EQ(object.Mass, -1.0);
    EXPECT_EQ(object.Angle, 0.0);
    EXPECT_EQ(object.Height, 0.0);
    EXPECT_TRUE(object.Texture.empty());
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(object.Position.GetElement(k), 0.0);
      EXPECT_EQ(object.Velocity.GetElement(k), 0.0);
      EXPECT_EQ(object.RGBColor.GetElement(k), 0);
    }
  }
  EXPECT_EQ(As<TBasicFloor>(arena, 1).TileLength, 1.0);
  EXPECT_EQ(As<TBasicFloor>(arena, 1).TileWidth, 1.0);
  EXPECT_EQ(As<TFloor>(arena, 2).TextureTileLength, 1.0);
  EXPECT_EQ(As<TFloor>(arena, 2).TextureTileWidth, 1.0);
  EXPECT_TRUE(As<TCylinderZ>(arena, 3).IsImmovable());
}

TEST(TArenaLoader, EveryClassReadsEachOfItsProperties) {
  const TArena arena = Load(R"(object F: TBasicFloor
  Length = 1.5
  Width = 2.5
  TileLength = 0.25
  TileWidth = 0.75
end
object G: TFloor
  Length = 1
  Width = 2
  HasCover = True
  TextureTileLength = 0.1
  TextureTileWidth = 0.2
end
object W: TWall
  Length = 3
  Thickness = 0.04
  Transparent = True
  HasWallPaper = True
  TextureTileLength = 0.3
  TextureTileHeight = 0.6
end
object O: TOpening
  OpeningBottom = 0.4
  OpeningHeight = 0.3
  Length = 1.2
  Thickness = 0.06
  Transparent = True
end
object T: TStandardTable
  Length = 1.1
  Width = 0.7
  Thickness = 0.03
  LegWidth = 0.05
end
object S: TStandardBookShelf
  Length = 0.8
  Width = 0.3
  NumberOfShelves = 5
  HasSurfaces = True
  MaterialThickness = 0.02
end
object C: TOfficeChair
  SeatHeight = 0.45
  SeatSize = 0.5
  ArmRestHeight = 0.2
  MaterialThickness = 0.03
end
object P: TStandardSofa
  Length = 1.6
  Width = 0.8
  BottomPlateThickness = 0.1
  CushionThickness = 0.12
  NumberOfSeats = 3
  ArmRestHeight = 0.25
  ArmRestWidth = 0.15
  LegHeight = 0.07
  MaterialThickness = 0.02
end
object Y: TCylinderZ
  Radius = 0.06
end
object D: TSoftDrinkCan
  Radius = 0.033
  TopRadius = 0.027
  BottomRadius = 0.025
  UpperSlopedSectionHeight = 0.015
  LowerSlopedSectionHeight = 0.008
  SlopeTexture = slope.bmp
  TopBottomTexture = top.bmp
end
object Z: TSoftDrinkCanZ
  Radius = 0.034
  TopRadius = 0.028
  BottomRadius = 0.026
  UpperSlopedSectionHeight = 0.016
  LowerSlopedSectionHeight = 0.009
  SlopeTexture = s.jpg
  TopBottomTexture = t.jpg
end
)");
  ASSERT_EQ(arena.NumberOfObjects(), 11);
  const auto& f = As<TBasicFloor>(arena, 1);
  EXPECT_EQ(f.Length, 1.5);
  EXPECT_EQ(f.Width, 2.5);
  EXPECT_EQ(f.TileLength, 0.25);
  EXPECT_EQ(f.TileWidth, 0.75);
  const auto& g = As<TFloor>(arena, 2);
  EXPECT_EQ(g.Length, 1.0);
  EXPECT_EQ(g.Width, 2.0);
  EXPECT_TRUE(g.HasCover);
  EXPECT_EQ(g.TextureTileLength, 0.1);
  EXPECT_EQ(g.TextureTileWidth, 0.2);
  const auto& w = As<TWall>(arena, 3);
  EXPECT_EQ(w.Length, 3.0);
  EXPECT_EQ(w.Thickness, 0.04);
  EXPECT_TRUE(w.Transparent);
  EXPECT_TRUE(w.HasWallPaper);
  EXPECT_EQ(w.TextureTileLength, 0.3);
  EXPECT_EQ(w.TextureTileHeight, 0.6);
  const auto& o = As<TOpening>(arena, 4);
  EXPECT_EQ(o.OpeningBottom, 0.4);
  EXPECT_EQ(o.OpeningHeight, 0.3);
  EXPECT_EQ(o.Length, 1.2);
  EXPECT_EQ(o.Thickness, 0.06);
  EXPECT_TRUE(o.Transparent);
  const auto& t = As<TStandardTable>(arena, 5);
  EXPECT_EQ(t.Length, 1.1);
  EXPECT_EQ(t.Width, 0.7);
  EXPECT_EQ(t.Thickness, 0.03);
  EXPECT_EQ(t.LegWidth, 0.05);
  const auto& s = As<TStandardBookShelf>(arena, 6);
  EXPECT_EQ(s.Length, 0.8);
  EXPECT_EQ(s.Width, 0.3);
  EXPECT_EQ(s.NumberOfShelves, 5);
  EXPECT_TRUE(s.HasSurfaces);
  EXPECT_EQ(s.MaterialThickness, 0.02);
  const auto& c = As<TOfficeChair>(arena, 7);
  EXPECT_EQ(c.SeatHeight, 0.45);
  EXPECT_EQ(c.SeatSize, 0.5);
  EXPECT_EQ(c.ArmRestHeight, 0.2);
  EXPECT_EQ(c.MaterialThickness, 0.03);
  const auto& p = As<TStandardSofa>(arena, 8);
  EXPECT_EQ(p.Length, 1.6);
  EXPECT_EQ(p.Width, 0.8);
  EXPECT_EQ(p.BottomPlateThickness, 0.1);
  EXPECT_EQ(p.CushionThickness, 0.12);
  EXPECT_EQ(p.NumberOfSeats, 3);
  EXPECT_EQ(p.ArmRestHeight, 0.25);
  EXPECT_EQ(p.ArmRestWidth, 0.15);
  EXPECT_EQ(p.LegHeight, 0.07);
  EXPECT_EQ(p.MaterialThickness, 0.02);
  EXPECT_EQ(As<TCylinderZ>(arena, 9).Radius, 0.06);
  const auto& d = As<TSoftDrinkCan>(arena, 10);
  EXPECT_EQ(d.Radius, 0.033);
  EXPECT_EQ(d.TopRadius, 0.027);
  EXPECT_EQ(d.BottomRadius, 0.025);
  EXPECT_EQ(d.UpperSlopedSectionHeight, 0.015);
  EXPECT_EQ(d.LowerSlopedSectionHeight, 0.008);
  EXPECT_EQ(d.SlopeTexture, "slope.bmp");
  EXPECT_EQ(d.TopBottomTexture, "top.bmp");
  const auto& z = As<TSoftDrinkCanZ>(arena, 11);
  EXPECT_EQ(z.TopRadius, 0.028);
  EXPECT_EQ(z.BottomRadius, 0.026);
  EXPECT_EQ(z.UpperSlopedSectionHeight, 0.016);
  EXPECT_EQ(z.LowerSlopedSectionHeight, 0.009);
  EXPECT_EQ(z.SlopeTexture, "s.jpg");
  EXPECT_EQ(z.TopBottomTexture, "t.jpg");
  // the can's radius is the cylinder radius that sensors and bounces read
  EXPECT_EQ(static_cast<const TCylinderZ&>(z).Radius, 0.034);
  // a drink can that is no cylinder is not gathered
  ASSERT_EQ(arena.Cylinders().size(), 2u);
  EXPECT_EQ(arena.Cylinders()[0], &arena.Objects(9));
  EXPECT_EQ(arena.Cylinders()[1], &arena.Objects(11));
}

TEST(TArenaLoader, ClassNamesRoundTrip) {
  const std::set<std::string> names = {
      "TBasicFloor",  "TFloor",        "TWall",      "TOpening",      "TStandardTable", "TStandardBookShelf",
      "TOfficeChair", "TStandardSofa", "TCylinderZ", "TSoftDrinkCan", "TSoftDrinkCanZ"};
  std::string text;
  for (const std::string& name : names) {
    text += "object X: " + name + "\nend\n";
  }
  const TArena arena = Load(text);
  ASSERT_EQ(arena.NumberOfObjects(), 11);
  std::set<std::string> seen;
  for (int i = 1; i <= arena.NumberOfObjects(); ++i) {
    seen.insert(ArenaClassName(arena.Objects(i)));
  }
  EXPECT_EQ(seen, names);
}

TEST(TArenaLoader, ReadsFilesAndNamesMissingOnes) {
  const test::TTemporaryFolder folder;
  const std::filesystem::path path = folder.Write("room/arena.txt", Replace(kExample, "\n", "\r\n"));
  const TArena arena(path.string());
  ExpectExample(arena);
  EXPECT_EQ(arena.FileName(), path.string());

  const std::string missing = (folder.Path() / "nothing.txt").string();
  try {
    TArena none(missing);
    FAIL() << "loaded a missing file";
  } catch (const TArenaFileError& error) {
    EXPECT_STREQ(error.what(), "File not found");
    EXPECT_EQ(error.Line(), 0);
    EXPECT_EQ(error.Located(), missing + ": File not found");
  }
  EXPECT_THROW(TArena((folder.Path() / "room").string()), TArenaFileError);
}

TEST(TArenaLoader, ErrorsInFilesNameTheFile) {
  const test::TTemporaryFolder folder;
  const std::filesystem::path path = folder.Write("bad.txt", "object A: TWall\n  Length = 1,5\nend\n");
  try {
    TArena arena(path.string());
    FAIL() << "loaded";
  } catch (const TArenaFileError& error) {
    EXPECT_EQ(error.Located(), path.string() + ":2: '1,5' is not a valid floating point value");
  }
}

TEST(TArenaLoader, CommaLocaleReadsPointsAndCommas) {
  test::TCommaLocale comma;
  if (!comma.Active()) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  ExpectExample(Load(kExample));
  EXPECT_TRUE(FailsWith("object A: TWall\n  Length = 1,5.0\nend\n", "'1,5.0' is not a valid floating point value", 2));
  std::string withCommas = kExample;
  for (std::size_t i = 1; i + 1 < withCommas.size(); ++i) {
    if (withCommas[i] == '.' && std::isdigit(static_cast<unsigned char>(withCommas[i - 1])) != 0) {
      withCommas[i] = ',';
    }
  }
  ExpectExample(Load(withCommas));
}

// The bundled arenas, as the run command and new users meet them.
class BundledArenas : public testing::TestWithParam<const char*> {
 protected:
  std::filesystem::path Path() const { return test::SourceDir() / "arenas" / GetParam(); }
};

// The start of the image file at Path: "BM" for BMP, FF D8 for JPEG.
bool IsBmpOrJpeg(const std::filesystem::path& Path) {
  if (!std::filesystem::is_regular_file(Path)) {
    return false;
  }
  const std::string content = test::ReadFile(Path);
  return content.size() > 54 && (content.starts_with("BM") || content.starts_with("\xFF\xD8"));
}

TEST_P(BundledArenas, LoadWithTexturesAFloorAndPushableCylindersClearOfTheStart) {
  const TArena arena(Path().string());
  ASSERT_NE(arena.Floor(), nullptr);
  double xMin = 0.0;
  double xMax = 0.0;
  double yMin = 0.0;
  double yMax = 0.0;
  ASSERT_TRUE(arena.GetFloorBounds(xMin, xMax, yMin, yMax));
  EXPECT_EQ(arena.Floor()->Width, arena.Floor()->Length);
  EXPECT_GE(arena.Floor()->Width, 2.0);
  EXPECT_LE(arena.Floor()->Width, 3.0);
  EXPECT_FALSE(arena.Floor()->Texture.empty());
  ASSERT_NE(arena.Ambience(), nullptr);
  EXPECT_TRUE(arena.Ambience()->Fog);

  // the robot starts at the origin with a radius of 0.05 m
  int pushable = 0;
  for (const TCylinderZ* cylinder : arena.Cylinders()) {
    const double x = cylinder->Position.GetElement(1);
    const double y = cylinder->Position.GetElement(2);
    const double distance = std::hypot(x, y);
    EXPECT_GT(distance, 0.05 + cylinder->Radius) << cylinder->Name;
    EXPECT_GT(cylinder->Radius, 0.0) << cylinder->Name;
    EXPECT_TRUE(x - cylinder->Radius > xMin && x + cylinder->Radius < xMax) << cylinder->Name;
    EXPECT_TRUE(y - cylinder->Radius > yMin && y + cylinder->Radius < yMax) << cylinder->Name;
    if (!cylinder->IsImmovable() && distance >= 0.1 && distance <= 0.3) {
      ++pushable;
    }
  }
  EXPECT_GE(pushable, 2);

  // every texture exists beside the arena file and is a BMP or a JPEG
  const std::filesystem::path folder = Path().parent_path();
  for (int i = 1; i <= arena.NumberOfObjects(); ++i) {
    const TArenaObject& object = arena.Objects(i);
    std::vector<std::string> textures = {object.Texture};
    if (const auto* shape = dynamic_cast<const TSoftDrinkCanShape*>(&object)) {
      textures.push_back(shape->SlopeTexture);
      textures.push_back(shape->TopBottomTexture);
    }
    for (const std::string& texture : textures) {
      if (!texture.empty()) {
        EXPECT_TRUE(IsBmpOrJpeg(folder / texture)) << object.Name << ": " << texture;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Arenas, BundledArenas, testing::Values("default.txt", "furnished.txt"));

TEST(BundledArenas, FurnishedUsesEveryClassAndFeature) {
  const TArena arena((test::SourceDir() / "arenas" / "furnished.txt").string());
  std::set<std::string> classes;
  bool transparentWall = false;
  bool wallPaper = false;
  bool coveredFloor = false;
  bool jpeg = false;
  bool bmp = false;
  for (int i = 1; i <= arena.NumberOfObjects(); ++i) {
    const TArenaObject& object = arena.Objects(i);
    classes.insert(ArenaClassName(object));
    if (const auto* wall = dynamic_cast<const TWall*>(&object)) {
      transparentWall = transparentWall || wall->Transparent;
      wallPaper = wallPaper || wall->HasWallPaper;
    }
    if (const auto* floor = dynamic_cast<const TFloor*>(&object)) {
      coveredFloor = coveredFloor || floor->HasCover;
    }
    jpeg = jpeg || object.Texture.ends_with(".jpg");
    bmp = bmp || object.Texture.ends_with(".bmp");
  }
  EXPECT_EQ(classes.size(), 11u);
  EXPECT_TRUE(transparentWall);
  EXPECT_TRUE(wallPaper);
  EXPECT_TRUE(coveredFloor);
  EXPECT_TRUE(jpeg);
  EXPECT_TRUE(bmp);
}

}  // namespace
}  // namespace kestrovan
