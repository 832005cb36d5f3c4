# Read by cpack (CPACK_PROJECT_CONFIG_FILE): its DEB generator dates every file
# of the package, the members of the .deb and the entries of their archives,
# with SOURCE_DATE_EPOCH, which is the build's own time.
set(ENV{SOURCE_DATE_EPOCH} "${CPACK_CHIAMORO_SOURCE_DATE_EPOCH}")
