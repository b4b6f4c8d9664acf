cmake_minimum_required(VERSION 3.25)
# Runs kestrovan-batch twice, the second time as CANDIDATE says, and fails
# unless both leave the same result files: every file byte for byte except
# manifest.json (times and paths), checkpoint.kcp (elapsed time) and the
# seconds column of generations.csv.
#   -DBATCH=path  -DARGS=a|b|...  -DWORK=folder
#   -DCANDIDATE=prefix|...  words put before the second run's command (an
#                           environment or an mpirun); {batch} stands for BATCH
#   -DCANDIDATE_ARGS=a|...  options added to the second run's own
foreach(v BATCH ARGS WORK CANDIDATE)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "CompareRuns.cmake needs -D${v}=...")
  endif()
endforeach()
string(REPLACE "|" ";" args "${ARGS}")
string(REPLACE "|" ";" prefix "${CANDIDATE}")
string(REPLACE "{batch}" "${BATCH}" prefix "${prefix}")
string(REPLACE "|" ";" candidate_args "${CANDIDATE_ARGS}")
file(REMOVE_RECURSE "${WORK}")

execute_process(COMMAND ${BATCH} ${args} --quiet --out "${WORK}/reference"
  RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "reference run failed (${status}): ${err}")
endif()
execute_process(COMMAND ${prefix} ${args} ${candidate_args} --quiet --out "${WORK}/candidate"
  RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "run '${prefix} ${candidate_args}' failed (${status}): ${err}")
endif()

file(GLOB reference_files RELATIVE "${WORK}/reference" "${WORK}/reference/*")
file(GLOB candidate_files RELATIVE "${WORK}/candidate" "${WORK}/candidate/*")
if(NOT reference_files STREQUAL candidate_files)
  message(FATAL_ERROR "different files: [${reference_files}] against [${candidate_files}]")
endif()
list(LENGTH reference_files count)
if(count LESS 4)
  message(FATAL_ERROR "only ${count} result files: [${reference_files}]")
endif()
foreach(name ${reference_files})
  # the manifest and the checkpoint hold times
  if(name STREQUAL "manifest.json" OR name STREQUAL "checkpoint.kcp")
    continue()
  endif()
  file(READ "${WORK}/reference/${name}" a)
  file(READ "${WORK}/candidate/${name}" b)
  if(name STREQUAL "generations.csv")
    string(REGEX REPLACE ",[^,\n]*\n" "\n" a "${a}")
    string(REGEX REPLACE ",[^,\n]*\n" "\n" b "${b}")
  endif()
  if(NOT a STREQUAL b)
    message(FATAL_ERROR "${name} differs between the reference run and '${prefix} ${candidate_args}'")
  endif()
endforeach()
message(STATUS "${count} result files identical")
