# Manual pages, written in scdoc and built into troff.
#
#   quorrel_add_manual_page(SOURCE COMPONENT component)
#
# SOURCE is named NAME.SECTION.scd. The build writes man/NAME.SECTION (troff) and
# man/NAME.SECTION.gz; the gzipped page is installed to the section's folder, as Debian keeps
# them. Every page is also listed in the global property QUORREL_MANUAL_PAGES (troff paths), which
# the rendering test reads. A page's date is the release date (Release.cmake), so that the same
# sources always give the same page.
find_program(SCDOC_EXECUTABLE scdoc REQUIRED)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
function(quorrel_add_manual_page source)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "COMPONENT" "")
  get_filename_component(page ${source} NAME_WLE)
  if(NOT page MATCHES "\\.([1-9])$")
    message(FATAL_ERROR "${source}: a manual page's source is named NAME.SECTION.scd")
  endif()
  set(section ${CMAKE_MATCH_1})
  set(troff ${PROJECT_BINARY_DIR}/man/${page})
  add_custom_command(
    OUTPUT ${troff} ${troff}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${QUORREL_RELEASE_EPOCH}
            sh -c "\"$1\" < \"$2\" > \"$3\"" scdoc ${SCDOC_EXECUTABLE} ${source} ${troff}
    COMMAND sh -c "\"$1\" -9 -n -c \"$2\" > \"$3\"" gzip ${GZIP_EXECUTABLE} ${troff} ${troff}.gz
    DEPENDS ${source}
    COMMENT "Building manual page ${page}"
    VERBATIM)
  add_custom_target(manual_page_${page} ALL DEPENDS ${troff} ${troff}.gz)
  install(FILES ${troff}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${arg_COMPONENT})
  set_property(GLOBAL APPEND PROPERTY QUORREL_MANUAL_PAGES ${troff})
endfunction()
