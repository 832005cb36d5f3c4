# The one time every build of a commit records, so that two builds of it give
# the same package: SOURCE_DATE_EPOCH when the builder sets it, else the time of
# the last commit, else (a source tree outside git) the date of the latest
# changelog entry. It goes into the pictures compiled into the program (ui/)
# and into every file time of the package (packaging/). Sets
# CHIAMORO_SOURCE_DATE_EPOCH, in seconds since 1970.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CHIAMORO_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
  set(epoch_from "SOURCE_DATE_EPOCH")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE git_top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  # Only this project's own checkout, not a repository it happens to sit in.
  file(REAL_PATH "${PROJECT_SOURCE_DIR}" source_dir)
  if(git_top AND git_top STREQUAL source_dir)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE CHIAMORO_SOURCE_DATE_EPOCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(epoch_from "the last commit")
    # A new commit or another checkout configures again, and so takes its time.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path logs/HEAD
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(head_log AND EXISTS "${head_log}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
    endif()
  else()
    file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog signature REGEX "^ -- " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" changelog_date "${signature}")
    execute_process(COMMAND date --date=${changelog_date} +%s
                    OUTPUT_VARIABLE CHIAMORO_SOURCE_DATE_EPOCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(epoch_from "the changelog, ${changelog_date}")
  endif()
endif()
if(NOT CHIAMORO_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "The time of the build is not a number of seconds: \"${CHIAMORO_SOURCE_DATE_EPOCH}\"")
endif()
message(STATUS "Time of the build's files: ${CHIAMORO_SOURCE_DATE_EPOCH} (from ${epoch_from})")
