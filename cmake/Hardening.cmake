# The hardening every Debian package gets, for every target of ours: the flags that dpkg-buildflags
# gives with DEB_BUILD_MAINT_OPTIONS=hardening=+all, less those it gives with hardening=-all. What
# both give (-g, -O2, which the build type sets here, and its other features' flags) drops out, and
# so does anything the environment adds to both (DEB_CFLAGS_APPEND and the like).
#
# Debian 12's dpkg (1.21) knows neither the "stackclash" nor the "branch" feature, which dpkg 1.22
# added; where the installed dpkg-buildflags does not list one, its flag is added here as dpkg 1.22
# gives it. PIE is the compiler's default on Debian (dpkg's "pie" feature, "Builtin: yes", adds no
# flag); CMake asks for it explicitly, so that a compiler without that default builds PIE too.
#
# _FORTIFY_SOURCE is left out where the sanitizers replace the C library's checked functions
# (QUORREL_SANITIZE, QUORREL_THREAD_SANITIZE, QUORREL_FUZZ) and where nothing is optimised (Debug),
# since it needs optimisation to work and warns in every file without it.
find_program(DPKG_BUILDFLAGS_EXECUTABLE dpkg-buildflags REQUIRED)

# Sets out to the flags of dpkg-buildflags --get VARIABLE that hardening=+all adds.
function(quorrel_dpkg_hardening_flags variable out)
  foreach(setting IN ITEMS +all -all)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=${setting}
                            ${DPKG_BUILDFLAGS_EXECUTABLE} --get ${variable}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags${setting} UNIX_COMMAND "${flags}")
  endforeach()
  if(flags-all)
    list(REMOVE_ITEM flags+all ${flags-all})
  endif()
  set(${out} ${flags+all} PARENT_SCOPE)
endfunction()

quorrel_dpkg_hardening_flags(CFLAGS QUORREL_HARDENING_CFLAGS)
quorrel_dpkg_hardening_flags(CXXFLAGS QUORREL_HARDENING_CXXFLAGS)
quorrel_dpkg_hardening_flags(CPPFLAGS QUORREL_HARDENING_CPPFLAGS)
quorrel_dpkg_hardening_flags(LDFLAGS QUORREL_HARDENING_LDFLAGS)

execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                        ${DPKG_BUILDFLAGS_EXECUTABLE} --query-features hardening
                OUTPUT_VARIABLE dpkg_hardening_features COMMAND_ERROR_IS_FATAL ANY)
set(newer_dpkg_flags "")
if(NOT dpkg_hardening_features MATCHES "Feature: stackclash\n")
  list(APPEND newer_dpkg_flags -fstack-clash-protection)
endif()
if(NOT dpkg_hardening_features MATCHES "Feature: branch\n")
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86)$")
    list(APPEND newer_dpkg_flags -fcf-protection)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    list(APPEND newer_dpkg_flags -mbranch-protection=standard)
  endif()
endif()
list(APPEND QUORREL_HARDENING_CFLAGS ${newer_dpkg_flags})
list(APPEND QUORREL_HARDENING_CXXFLAGS ${newer_dpkg_flags})

if(QUORREL_SANITIZE OR QUORREL_THREAD_SANITIZE OR QUORREL_FUZZ)
  list(FILTER QUORREL_HARDENING_CPPFLAGS EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
endif()
set(fortify ${QUORREL_HARDENING_CPPFLAGS})
list(FILTER fortify INCLUDE REGEX "^-D_FORTIFY_SOURCE")
list(FILTER QUORREL_HARDENING_CPPFLAGS EXCLUDE REGEX "^-D_FORTIFY_SOURCE")

add_compile_options("$<$<COMPILE_LANGUAGE:C>:${QUORREL_HARDENING_CFLAGS}>"
                    "$<$<COMPILE_LANGUAGE:CXX>:${QUORREL_HARDENING_CXXFLAGS}>"
                    ${QUORREL_HARDENING_CPPFLAGS}
                    "$<$<NOT:$<CONFIG:Debug>>:${fortify}>")
add_link_options(${QUORREL_HARDENING_LDFLAGS})

include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

string(JOIN " " summary ${QUORREL_HARDENING_CXXFLAGS} ${QUORREL_HARDENING_CPPFLAGS} ${fortify} ${QUORREL_HARDENING_LDFLAGS})
message(STATUS "Hardening: ${summary}, PIE")
