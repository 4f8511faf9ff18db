# install.cmake: where `make install` and the Debian package put the game, its tools and its
# data, and the CPack settings of the package. Included at the end of CMakeLists.txt.
include(GNUInstallDirs)
# `make install` and `make package` build what they install themselves, not every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(KELVORAN_VERSION 0.1)
set(KELVORAN_DATA_SUBDIR ${CMAKE_INSTALL_DATADIR}/kelvoran)

# The game finds its data from its own folder first (a moved prefix, a package unpacked
# anywhere), then the build's source assets when it is this build's program, then the prefix.
file(RELATIVE_PATH KELVORAN_RELATIVE_DATADIR
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${KELVORAN_DATA_SUBDIR})
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/app/data_folders.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS
  "KELVORAN_INSTALL_DATADIR=\"${CMAKE_INSTALL_PREFIX}/${KELVORAN_DATA_SUBDIR}\""
  "KELVORAN_RELATIVE_DATADIR=\"${KELVORAN_RELATIVE_DATADIR}\""
  "KELVORAN_BUILD_FOLDER=\"${CMAKE_BINARY_DIR}\""
  "KELVORAN_SOURCE_ASSETS=\"${CMAKE_SOURCE_DIR}/assets\"")
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/app/level_catalog.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS "KELVORAN_BUILD_FOLDER=\"${CMAKE_BINARY_DIR}\"")
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/level/level_file.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS "KELVORAN_VERSION=\"${KELVORAN_VERSION}\"")
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/app/command_line.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS "KELVORAN_VERSION=\"${KELVORAN_VERSION}\""
  "KELVORAN_BUILD_ID=\"${KELVORAN_BUILD_ID}\"")

# Made at build time: the manual pages compressed as Debian ships them, the icon drawn by our
# own art tool at the sizes desktops ask for.
set(KELVORAN_DIST ${CMAKE_SOURCE_DIR}/dist)
set(KELVORAN_DIST_BUILD ${CMAKE_BINARY_DIR}/dist)
set(KELVORAN_ICON_SIZES 48 64 128 256)
set(KELVORAN_MAN_PAGES kelvoran.6 kelvoran-map.1 kelvoran-replay.1)
set(dist_outputs "")
foreach(page ${KELVORAN_MAN_PAGES} changelog)
  add_custom_command(OUTPUT ${KELVORAN_DIST_BUILD}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KELVORAN_DIST_BUILD}
    COMMAND gzip -9nc ${KELVORAN_DIST}/${page} > ${KELVORAN_DIST_BUILD}/${page}.gz
    DEPENDS ${KELVORAN_DIST}/${page} VERBATIM)
  list(APPEND dist_outputs ${KELVORAN_DIST_BUILD}/${page}.gz)
endforeach()
foreach(size ${KELVORAN_ICON_SIZES})
  set(icon ${KELVORAN_DIST_BUILD}/icons/${size}x${size}/kelvoran.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KELVORAN_DIST_BUILD}/icons/${size}x${size}
    COMMAND make_assets --icon ${size} ${icon}
    DEPENDS make_assets VERBATIM)
  list(APPEND dist_outputs ${icon})
endforeach()
add_custom_target(kelvoran_dist ALL DEPENDS ${dist_outputs})

# The shipped levels as the level files players get: packed by kelvoran-level into the build's
# levels/, where the build's own game finds them, and installed beside the level folders.
set(KELVORAN_PACKED_LEVELS "")
file(GLOB KELVORAN_LEVEL_FOLDERS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/levels/*)
foreach(folder ${KELVORAN_LEVEL_FOLDERS})
  if(IS_DIRECTORY ${folder})
    get_filename_component(name ${folder} NAME)
    file(GLOB level_inputs CONFIGURE_DEPENDS ${folder}/*)
    set(packed ${CMAKE_BINARY_DIR}/levels/${name}.kvlevel)
    add_custom_command(OUTPUT ${packed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/levels
      COMMAND kelvoran-level pack ${folder} -o ${packed}
      DEPENDS kelvoran-level ${level_inputs} VERBATIM)
    list(APPEND KELVORAN_PACKED_LEVELS ${packed})
  endif()
endforeach()
add_custom_target(kelvoran_levels ALL DEPENDS ${KELVORAN_PACKED_LEVELS})
# `make install` and `make package` build kelvoran_dist by name before installing.
add_dependencies(kelvoran_dist kelvoran_levels)

install(TARGETS kelvoran kelvoran-map kelvoran_replay kelvoran-level RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
file(GLOB KELVORAN_SHEETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/*.png
  ${CMAKE_SOURCE_DIR}/assets/*.wav)
install(FILES ${KELVORAN_SHEETS} ${CMAKE_SOURCE_DIR}/assets/map.txt
  DESTINATION ${KELVORAN_DATA_SUBDIR})
if(EXISTS ${CMAKE_SOURCE_DIR}/levels)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/levels DESTINATION ${KELVORAN_DATA_SUBDIR})
  install(FILES ${KELVORAN_PACKED_LEVELS} DESTINATION ${KELVORAN_DATA_SUBDIR}/levels)
endif()
install(FILES ${KELVORAN_DIST_BUILD}/kelvoran.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${KELVORAN_DIST_BUILD}/kelvoran-map.1.gz ${KELVORAN_DIST_BUILD}/kelvoran-replay.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KELVORAN_DIST}/kelvoran.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size ${KELVORAN_ICON_SIZES})
  install(FILES ${KELVORAN_DIST_BUILD}/icons/${size}x${size}/kelvoran.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${KELVORAN_DIST}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvoran)
install(FILES ${KELVORAN_DIST_BUILD}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvoran)

# The Debian package: `make package`, or cpack -G DEB in a build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvoran)
set(CPACK_PACKAGE_VERSION ${KELVORAN_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kelvoran developers")
set(CPACK_PACKAGE_CONTACT "Kelvoran developers <kelvoran@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "2D physics sandbox with lights, shadows and a map editor")
# Lines of the package's long description, as Debian shows them (at most 80 columns).
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Crates sprinkled with the space key fall onto a map of textured quads, a car"
  "can be dropped and driven, lights cast hard shadows from the map, and the map"
  "is edited with the mouse. Comes with kelvoran-map, which checks, converts and"
  "draws map files, and kelvoran-replay, which plays back and checks the session"
  "recordings the game makes.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/deb_games.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://example.org/kelvoran)
# The libraries the programs link come from dpkg-shlibdeps; the scripting and sound layers'
# libraries and the map tool's font are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "liblua5.4-0, libopenal1, libsndfile1, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
include(CPack)

# The installed programs and the package, tested from a temporary prefix and an unpacked .deb.
# Not under the sanitizers: packaging is the same there, and the programs are tested already.
if(NOT KELVORAN_SANITIZE)
  add_executable(install_tests tests/install/install_test.cpp)
  target_link_libraries(install_tests PRIVATE test_support GTest::gtest_main kelvoran_warnings)
  target_compile_definitions(install_tests PRIVATE KELVORAN_BUILD_DIR="${CMAKE_BINARY_DIR}"
    KELVORAN_CMAKE="${CMAKE_COMMAND}" KELVORAN_CPACK="${CMAKE_CPACK_COMMAND}")
  target_precompile_headers(install_tests REUSE_FROM test_main)
  add_dependencies(install_tests kelvoran kelvoran-map kelvoran_replay kelvoran_dist)
  # Alone: packaging takes both cores for a while, and other tests time their real X events.
  gtest_discover_tests(install_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES TIMEOUT 180 LABELS install RUN_SERIAL ON DISCOVERY_TIMEOUT 60)
endif()
