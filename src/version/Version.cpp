#include "version/Version.h"

#include "KestrovanRevision.h"

namespace kestrovan {

const char* ProgramVersion() { return KESTROVAN_VERSION; }
const char* SourceRevision() { return KESTROVAN_REVISION; }
const char* BuildType() { return KESTROVAN_BUILD_TYPE; }
const char* CompilerName() { return KESTROVAN_COMPILER; }

std::string VersionLine(const std::string& Program) {
  return Program + " " + ProgramVersion() + " (revision " + SourceRevision() + ")";
}

}  // namespace kestrovan
