#include "version/BundledData.h"

#include <system_error>

namespace kestrovan {

namespace {

bool IsFolder(const std::filesystem::path& Path) {
  std::error_code error;
  return std::filesystem::is_directory(Path, error);
}

bool IsFile(const std::filesystem::path& Path) {
  std::error_code error;
  return std::filesystem::is_regular_file(Path, error);
}

// Whether Path lies inside Folder (both absolute and normalised).
bool IsInside(const std::filesystem::path& Path, const std::filesystem::path& Folder) {
  const std::filesystem::path relative = Path.lexically_relative(Folder);
  return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || executable.empty()) {
    return {};
  }
  return executable.parent_path();
}

std::filesystem::path BundledDataFolder(const std::filesystem::path& ProgramFolder) {
  if (ProgramFolder.empty()) {
    return {};
  }
  // installed: the data folder at the same place relative to the programs'
  // folder as in the installation layout
  std::filesystem::path installed = (ProgramFolder / KESTROVAN_DATA_FROM_PROGRAMS).lexically_normal();
  if (IsFolder(installed / "arenas")) {
    return installed;
  }
  // run from the build folder: the data lies in the source checkout
  const std::filesystem::path program = ProgramFolder.lexically_normal();
  const std::filesystem::path build = std::filesystem::path(KESTROVAN_BUILD_FOLDER).lexically_normal();
  std::filesystem::path source = std::filesystem::path(KESTROVAN_SOURCE_FOLDER).lexically_normal();
  if (IsInside(program, build) && IsFolder(source / "arenas")) {
    return source;
  }
  return {};
}

std::filesystem::path BundledDataFolder() { return BundledDataFolder(ExecutableFolder()); }

std::filesystem::path BundledArenasFolder(const std::filesystem::path& ProgramFolder) {
  const std::filesystem::path data = BundledDataFolder(ProgramFolder);
  return data.empty() ? data : data / "arenas";
}

std::filesystem::path BundledArenasFolder() { return BundledArenasFolder(ExecutableFolder()); }

std::filesystem::path ResolveArenaFile(const std::string& Name, const std::filesystem::path& ArenasFolder) {
  std::filesystem::path given(Name);
  if (Name.empty() || IsFile(given) || given.has_parent_path() || ArenasFolder.empty() || Name == "." || Name == "..") {
    return given;
  }
  for (const std::filesystem::path& candidate : {ArenasFolder / Name, ArenasFolder / (Name + ".txt")}) {
    if (IsFile(candidate)) {
      return candidate;
    }
  }
  return given;
}

std::filesystem::path ResolveArenaFile(const std::string& Name) {
  return ResolveArenaFile(Name, BundledArenasFolder());
}

}  // namespace kestrovan
