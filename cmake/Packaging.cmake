# What `cmake --install` puts under the prefix besides the programs and their
# manual pages (installed where they are built), and the Debian package made
# from it with `cpack -G DEB`. The libraries are static and not installed.

set(KESTROVAN_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/kestrovan)
set(KESTROVAN_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/kestrovan)

# the bundled arenas with their textures, and the example experiments
install(DIRECTORY ${PROJECT_SOURCE_DIR}/arenas DESTINATION ${KESTROVAN_INSTALL_DATADIR})
if(EXISTS ${PROJECT_SOURCE_DIR}/experiments)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/experiments DESTINATION ${KESTROVAN_INSTALL_DATADIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${KESTROVAN_INSTALL_DOCDIR})

# the desktop's menu entry and its icon
if(KESTROVAN_BUILD_GUI)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kestrovan.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kestrovan.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrovan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kestrovan developers")
set(CPACK_PACKAGE_CONTACT "The Kestrovan developers <kestrovan@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "evolutionary robotics simulator")
set(CPACK_PACKAGE_DESCRIPTION
  "Kestrovan evolves the controller of a small two-wheeled robot with five\n\
infrared sensors: a finite-state machine whose every number is a gene. A\n\
generational evolutionary algorithm breeds a population of such brains;\n\
each one is evaluated by a 2D physics simulation in an arena read from a\n\
text file.\n\
.\n\
The package holds the windows with their 3D view (kestrovan), the headless\n\
batch runner (kestrovan-batch), the arena checker (kestrovan-arena), the\n\
plotting program (kestrovan-plot), a\n\
video recorder of a brain's replay (kestrovan-record) and two bundled arenas.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# the shared libraries the programs link come from dpkg-shlibdeps; the Qt
# plugins are loaded at run time: the X11 platform and the SVG icon engine
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KESTROVAN_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
endif()
# kestrovan-plot draws with matplotlib; kestrovan-record pipes its frames to
# the ffmpeg program
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-matplotlib, ffmpeg")
include(CPack)
