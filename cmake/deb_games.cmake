# deb_games.cmake: run by CPack on the staged files before the package is built. Debian keeps
# games in /usr/games, and a package of the games section must hold one there; `make install`
# keeps all three programs in bin/. The game finds its data from either as ../share/kelvoran.
set(staged ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(EXISTS ${staged}/bin/kelvoran)
  file(MAKE_DIRECTORY ${staged}/games)
  file(RENAME ${staged}/bin/kelvoran ${staged}/games/kelvoran)
endif()
