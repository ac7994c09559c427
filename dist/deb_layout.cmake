# Run by CPack on the staged files before it makes the Debian package:
# Debian keeps games in /usr/games. The program looks for its data as
# ../share/quillfire from its own folder, which /usr/games shares with
# /usr/bin, so only the program moves.
set(usr ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr)
file(MAKE_DIRECTORY ${usr}/games)
file(RENAME ${usr}/bin/quillfire ${usr}/games/quillfire)
file(GLOB left ${usr}/bin/*)
if(NOT left)
  file(REMOVE_RECURSE ${usr}/bin)
endif()
