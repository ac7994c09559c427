# Run by CPack on the staged files before it makes the Debian package.
#
# The same tree makes the same package, byte for byte: every time in it is
# SOURCE_DATE_EPOCH, or, when that is not set, the time of the source's last
# commit (the release day outside a git checkout).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(
    COMMAND git -C ${CPACK_QF_SOURCE_DIR} log -1 --format=%ct
    OUTPUT_VARIABLE last_commit
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
  if(last_commit MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${last_commit})
  else()
    set(ENV{SOURCE_DATE_EPOCH} ${CPACK_QF_RELEASE_EPOCH})
  endif()
endif()

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

# The program is stripped already (CPACK_STRIP_FILES); the compiler's
# version notes in .comment are of no use to a player either.
execute_process(
  COMMAND ${CPACK_OBJCOPY_EXECUTABLE} --remove-section=.comment
          ${usr}/games/quillfire
  RESULT_VARIABLE objcopy_failed)
if(objcopy_failed)
  message(FATAL_ERROR "objcopy could not remove .comment from the program")
endif()
