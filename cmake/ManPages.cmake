# kestrovan_add_man_page(target NAME "one-line summary" [PROGRAM path]): the
# program's manual page, written at build time by help2man from its --help
# and --version and packaging/man/<target>.h2m (files, exit status), and
# installed to man1. PROGRAM names the program file of a target that is not
# an executable (a script the target writes); the page takes its name.
find_program(KESTROVAN_HELP2MAN help2man)
if(NOT KESTROVAN_HELP2MAN)
  message(FATAL_ERROR "help2man not found: install help2man (scripts/install-deps.sh does)")
endif()

function(kestrovan_add_man_page target)
  cmake_parse_arguments(ARG "" "NAME;PROGRAM" "" ${ARGN})
  set(name ${target})
  set(program_depends)
  if(NOT ARG_PROGRAM)
    set(ARG_PROGRAM $<TARGET_FILE:${target}>)
  else()
    get_filename_component(name ${ARG_PROGRAM} NAME)
    set(program_depends ${ARG_PROGRAM})
  endif()
  set(include ${PROJECT_SOURCE_DIR}/packaging/man/${name}.h2m)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${name}.1)
  # the GUI program needs no display to print its help; gzip -n leaves no
  # time stamp, so the same page gives the same file
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
            ${KESTROVAN_HELP2MAN} --no-info --section=1 --name=${ARG_NAME} --include=${include}
            --output=${page} ${ARG_PROGRAM}
    COMMAND gzip -9nf ${page}
    DEPENDS ${target} ${include} ${program_depends}
    COMMENT "Writing the manual page of ${name}"
    VERBATIM)
  add_custom_target(${name}_man_page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
