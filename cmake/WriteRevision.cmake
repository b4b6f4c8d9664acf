# Run at build time: writes the source revision (git describe) into OUTPUT,
# touching it only when the revision changed, so that nothing rebuilds
# needlessly. "unknown" outside a git checkout.
execute_process(
  COMMAND git describe --always --dirty --tags
  WORKING_DIRECTORY ${SOURCE_DIR}
  OUTPUT_VARIABLE revision
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET
  RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR revision STREQUAL "")
  set(revision "unknown")
endif()
set(content "// Generated at build time: the source revision.\n#define KESTROVAN_REVISION \"${revision}\"\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
else()
  set(old "")
endif()
if(NOT old STREQUAL content)
  file(WRITE ${OUTPUT} "${content}")
endif()
