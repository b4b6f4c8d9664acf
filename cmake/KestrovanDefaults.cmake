# kestrovan_defaults(target): the project's warning set for one of its own targets.
function(kestrovan_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)
endfunction()

# Adds the subdirectories that exist, in the order given.
macro(kestrovan_add_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endmacro()

# kestrovan_module_headers(target module): gives the library target an include
# root that holds only its own module, so "module/Header.h" resolves for the
# library and for whoever links it, and for nobody else. The root is a folder
# in the build tree with one link, <module> -> src/<module>; a module that
# includes a header of a module it does not link fails to compile.
function(kestrovan_module_headers target module)
  set(root ${PROJECT_BINARY_DIR}/include-roots/${module})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${module} ${root}/${module} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# kestrovan_check_include_roots(): fails the configuration when a target of
# the project puts the whole source folder src/ (or a module's parent) on an
# include path, which would let it include every module. Called once, after
# every target is defined.
function(kestrovan_check_include_roots)
  set(folders ${PROJECT_SOURCE_DIR})
  set(targets)
  while(folders)
    list(POP_FRONT folders folder)
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subfolders})
    get_property(folder_targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    list(APPEND targets ${folder_targets})
  endwhile()
  cmake_path(SET sources NORMALIZE ${PROJECT_SOURCE_DIR}/src)
  foreach(target ${targets})
    foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES)
      get_target_property(folders ${target} ${property})
      foreach(folder ${folders})
        if(folder MATCHES "^\\$<" OR NOT folder)
          continue()
        endif()
        cmake_path(SET folder NORMALIZE ${folder})
        string(REGEX REPLACE "/$" "" folder ${folder})
        if(folder STREQUAL sources)
          message(FATAL_ERROR "${target} puts ${folder} on its include path, which exposes every module: "
                              "give a library its own root with kestrovan_module_headers(target module)")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
