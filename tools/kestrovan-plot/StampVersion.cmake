# Run at build time: copies the plotting program from INPUT to OUTPUT with
# its version line filled in: VERSION and the source revision that
# REVISION_HEADER (written by the version library's build) holds.
file(STRINGS ${REVISION_HEADER} revision_line REGEX "KESTROVAN_REVISION")
string(REGEX REPLACE ".*KESTROVAN_REVISION \"([^\"]*)\".*" "\\1" KESTROVAN_REVISION "${revision_line}")
if(KESTROVAN_REVISION STREQUAL "")
  set(KESTROVAN_REVISION "unknown")
endif()
set(KESTROVAN_VERSION ${VERSION})
configure_file(${INPUT} ${OUTPUT} @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
