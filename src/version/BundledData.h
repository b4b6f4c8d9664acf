#pragma once

#include <filesystem>
#include <string>

namespace kestrovan {

// The folder that holds the running program's executable; empty when the
// system cannot tell.
std::filesystem::path ExecutableFolder();

// The folder of the data that comes with the programs (arenas/ with their
// textures, experiments/), found from the folder of the executable, so that a
// moved installation keeps working: PREFIX/share/kestrovan for a program in
// PREFIX/bin, or the top of the source checkout for a program run from its
// build folder. Empty when neither holds an arenas/ folder.
std::filesystem::path BundledDataFolder(const std::filesystem::path& ProgramFolder);
std::filesystem::path BundledDataFolder();

// The bundled arenas/ folder, or empty when there is none.
std::filesystem::path BundledArenasFolder(const std::filesystem::path& ProgramFolder);
std::filesystem::path BundledArenasFolder();

// The arena file a command line's NAME means: NAME itself when it names an
// existing file or contains a folder; otherwise, a bundled arena called NAME
// or NAME.txt when one exists; otherwise NAME unchanged, so that loading it
// reports the missing file under the name the user gave.
std::filesystem::path ResolveArenaFile(const std::string& Name, const std::filesystem::path& ArenasFolder);
std::filesystem::path ResolveArenaFile(const std::string& Name);

}  // namespace kestrovan
