# Run by cpack after it made the .deb (CPACK_POST_BUILD_SCRIPTS). CPack packs
# the three members of a .deb (debian-binary, control.tar.gz, data.tar.gz) with
# the modes their files got from the umask of whoever runs cpack: rw-rw-r--
# under 002, rw-r--r-- under 022. This gives each the mode dpkg-deb writes,
# 100644, so that the package no longer depends on the umask.
#
# The archive starts with "!<arch>\n"; each member is a 60-byte header (name 16,
# time 12, owner 6, group 6, mode 8, size 10, "`\n") and its data, padded to an
# even length.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  file(SIZE "${deb}" end)
  set(offset 8)
  while(offset LESS end)
    file(READ "${deb}" header OFFSET ${offset} LIMIT 60)
    string(SUBSTRING "${header}" 58 2 magic)
    if(NOT magic STREQUAL "`\n")
      message(FATAL_ERROR "${deb}: no member header at byte ${offset}")
    endif()
    string(SUBSTRING "${header}" 48 10 size)
    string(STRIP "${size}" size)
    math(EXPR mode_at "${offset} + 40")
    execute_process(COMMAND printf "100644  "
                    COMMAND dd "of=${deb}" bs=1 seek=${mode_at} conv=notrunc status=none
                    COMMAND_ERROR_IS_FATAL ANY)
    math(EXPR offset "${offset} + 60 + ${size} + ${size} % 2")
  endwhile()
endforeach()
