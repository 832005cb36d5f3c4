# Run by cpack once it has installed the files into its staging folder
# (CPACK_PRE_BUILD_SCRIPTS). The install makes the folders rwxr-xr-x
# (CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS) less what the umask of whoever
# runs cpack takes away: rwx------ under 077. This makes them rwxr-xr-x again,
# as Debian's folders are; the files have the modes of their install rules,
# whatever the umask.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
file(CHMOD ${staged} DIRECTORY_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
