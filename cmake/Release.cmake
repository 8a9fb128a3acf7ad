# The release: its version and date come from the newest entry of packaging/changelog, the
# package's changelog. Gives QUORREL_RELEASE_EPOCH (seconds) and QUORREL_RELEASE_DATE
# (YYYY-MM-DD), which date the manual pages and the AppStream release, so that a build from the
# same sources gives the same files.
find_program(DPKG_PARSECHANGELOG_EXECUTABLE dpkg-parsechangelog REQUIRED)

set(QUORREL_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUORREL_CHANGELOG})
execute_process(COMMAND ${DPKG_PARSECHANGELOG_EXECUTABLE} -l ${QUORREL_CHANGELOG} -S Version
                OUTPUT_VARIABLE QUORREL_CHANGELOG_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${DPKG_PARSECHANGELOG_EXECUTABLE} -l ${QUORREL_CHANGELOG} -S Timestamp
                OUTPUT_VARIABLE QUORREL_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
# string(TIMESTAMP) honours SOURCE_DATE_EPOCH; set it for this one call.
set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${QUORREL_RELEASE_EPOCH})
string(TIMESTAMP QUORREL_RELEASE_DATE "%Y-%m-%d" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")
if(NOT QUORREL_CHANGELOG_VERSION STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog's newest entry is ${QUORREL_CHANGELOG_VERSION}, "
                      "the project is ${PROJECT_VERSION}: add an entry for this version")
endif()

