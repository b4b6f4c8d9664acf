// kestrovan-arena FILE...: loads each arena file and lists what the
// simulation will see, or where the file goes wrong. A bare name that is not
// a file here names a bundled arena ("default", "furnished.txt").
#include <algorithm>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "ArenaJson.h"
#include "arena/Arena.h"
#include "arena/ArenaChecks.h"
#include "version/BundledData.h"
#include "version/Version.h"

namespace kestrovan {
namespace {

// printf-style formatting; numbers follow the C locale's decimal separator,
// as in the arena files themselves.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* Pattern, ...) {
  char buffer[512];
  va_list arguments;
  va_start(arguments, Pattern);
  const int length = std::vsnprintf(buffer, sizeof buffer, Pattern, arguments);
  va_end(arguments);
  if (length < 0) {
    return {};
  }
  return std::string(
      buffer, static_cast<std::size_t>(length) < sizeof buffer ? static_cast<std::size_t>(length) : sizeof buffer - 1);
}

const char* NameOf(const std::string& Name) { return Name.empty() ? "(unnamed)" : Name.c_str(); }

std::string PositionOf(const TArenaObject& Object) {
  return Format("(%g, %g, %g)", Object.Position.GetElement(1), Object.Position.GetElement(2),
                Object.Position.GetElement(3));
}

void Print(const TArena& Arena) {
  std::printf("%s: %d object%s\n", Arena.FileName().c_str(), Arena.NumberOfObjects(),
              Arena.NumberOfObjects() == 1 ? "" : "s");
  for (int i = 1; i <= Arena.NumberOfObjects(); ++i) {
    const TArenaObject& object = Arena.Objects(i);
    std::printf("  %3d  %-18s %-16s at %s\n", i, ArenaClassName(object), NameOf(object.Name),
                PositionOf(object).c_str());
  }

  double xMin = 0.0;
  double xMax = 0.0;
  double yMin = 0.0;
  double yMax = 0.0;
  if (Arena.GetFloorBounds(xMin, xMax, yMin, yMax)) {
    std::printf("  floor: %s, x from %g to %g, y from %g to %g (%g m by %g m)\n", NameOf(Arena.Floor()->Name), xMin,
                xMax, yMin, yMax, Arena.Floor()->Width, Arena.Floor()->Length);
  } else {
    std::printf("  floor: none (no TBasicFloor; cylinders are not bounced)\n");
  }

  std::printf("  cylinders: %zu\n", Arena.Cylinders().size());
  for (const TCylinderZ* cylinder : Arena.Cylinders()) {
    const std::string mass = cylinder->IsImmovable() ? std::string("immovable") : Format("mass %g kg", cylinder->Mass);
    std::printf("    %-16s %-16s radius %g m, %s, at %s\n", NameOf(cylinder->Name), ArenaClassName(*cylinder),
                cylinder->Radius, mass.c_str(), PositionOf(*cylinder).c_str());
  }

  if (const TAmbience* ambience = Arena.Ambience()) {
    std::printf("  ambience: %s, fog %s, colour 0x%08X, from %g m to %g m\n", NameOf(ambience->Name),
                ambience->Fog ? "on" : "off", static_cast<unsigned>(ambience->FogColor), ambience->FogStart,
                ambience->FogEnd);
  } else {
    std::printf("  ambience: none\n");
  }
}

// The radius of the default robot and the default time step, which the
// checks assume.
constexpr double kRobotRadius = 0.05;  // m
constexpr double kTimeStep = 0.01;     // s

// Prints what a run would refuse (as errors) and the warnings; returns the
// exit status of the file: 1 for errors, and for warnings when Strict. With
// Json, standard output gets the arena's geometry and the findings as JSON.
int PrintChecks(const TArena& Arena, bool Strict, bool Json) {
  const TArenaCheck check = CheckArena(Arena, kRobotRadius, kTimeStep);
  if (Json) {
    std::fputs(ArenaJson(Arena, check).c_str(), stdout);
  }
  std::fflush(stdout);
  for (const TArenaFinding& error : check.Errors) {
    std::fprintf(stderr, "%s\n", Locate(Arena.FileName(), error).c_str());
  }
  for (const TArenaFinding& warning : check.Warnings) {
    std::fprintf(
        stderr, "%s\n",
        Locate(Arena.FileName(), {warning.Line, (Strict ? "error: " : "warning: ") + warning.Message}).c_str());
  }
  return !check.Errors.empty() || (Strict && !check.Warnings.empty()) ? 1 : 0;
}

int Usage(std::FILE* Stream) {
  std::fprintf(Stream,
               "Usage: kestrovan-arena [--strict] FILE...\n"
               "       kestrovan-arena [--strict] --json FILE\n"
               "\n"
               "Loads each arena file and lists its objects, floor rectangle, cylinders and ambience, then what a\n"
               "run of the default robot at the default time step would refuse or warn about.\n"
               "A FILE without a folder that does not exist here names a bundled arena, with or\n"
               "without .txt (kestrovan-arena default).\n"
               "\n"
               "Options:\n"
               "  --strict       treat warnings as errors\n"
               "  --json         print the geometry of one arena as JSON instead of the list: every object with\n"
               "                 its class, name, line, position, angle, sizes and footprint outline seen from\n"
               "                 above, the floor rectangle, the cylinders in trajectory order and the findings\n"
               "  -h, --help     this text\n"
               "  --version      the version and the source revision\n"
               "\n"
               "Exit status: 0 when every file loads, 1 when one does not (or a run would refuse it, or with\n"
               "--strict has a warning), 2 on bad usage.\n");
  return Stream == stdout ? 0 : 2;
}

}  // namespace
}  // namespace kestrovan

int main(int argc, char** argv) {
  using namespace kestrovan;
  // numbers in arena files use the user's decimal separator
  std::setlocale(LC_ALL, "");

  bool strict = false;
  bool json = false;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      return Usage(stdout);
    }
    if (argument == "--version") {
      std::printf("%s\n", VersionLine("kestrovan-arena").c_str());
      return 0;
    }
    if (argument == "--strict") {
      strict = true;
      continue;
    }
    if (argument == "--json") {
      json = true;
      continue;
    }
    files.push_back(argv[i]);
    if (argument.size() > 1 && argument.front() == '-') {
      std::fprintf(stderr, "kestrovan-arena: unknown option '%s'\n", argv[i]);
      return Usage(stderr);
    }
  }

  if (files.empty()) {
    return Usage(stderr);
  }
  if (json && files.size() != 1) {
    std::fprintf(stderr, "kestrovan-arena: --json takes exactly one FILE\n");
    return Usage(stderr);
  }

  int status = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (i > 0) {
      std::printf("\n");
    }
    try {
      const TArena arena(ResolveArenaFile(files[i]).string());
      if (!json) {
        Print(arena);
      }
      status = std::max(status, PrintChecks(arena, strict, json));
    } catch (const TArenaFileError& error) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s\n", error.Located().c_str());
      status = 1;
    } catch (const std::exception& error) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s: %s\n", files[i], error.what());
      status = 1;
    }
  }
  std::fflush(stdout);
  return status;
}
