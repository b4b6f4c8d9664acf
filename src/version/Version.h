#pragma once

#include <string>

namespace kestrovan {

// The program's version, "1.0".
const char* ProgramVersion();
// The source revision the program was built from (git describe), or
// "unknown" when it was built outside a checkout.
const char* SourceRevision();
// The build type (Release, RelWithDebInfo, ...) and the compiler.
const char* BuildType();
const char* CompilerName();

// The line --version prints: "PROGRAM VERSION (revision REVISION)".
std::string VersionLine(const std::string& Program);

}  // namespace kestrovan
