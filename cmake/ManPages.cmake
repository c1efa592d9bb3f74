# Manual pages, compressed as Debian installs them (gzip -9n: no name, no
# time stamp, so every build of a version gives the same bytes).
include(GNUInstallDirs)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
find_program(HELP2MAN_EXECUTABLE help2man)
if(NOT HELP2MAN_EXECUTABLE)
  message(STATUS "help2man not found: trx4ctl and trx4-unit get no manual page "
                 "(scripts/packages lists it)")
endif()

# trx4_help2man(TARGET INCLUDE): TARGET.1 made from the program's own --help
# and --version, with the hand-written sections of INCLUDE (help2man's
# [SECTION] format), so the page never drifts from the options.
function(trx4_help2man target include)
  if(NOT HELP2MAN_EXECUTABLE)
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  set(include_path ${CMAKE_CURRENT_SOURCE_DIR}/${include})
  add_custom_command(
    OUTPUT ${page}.gz
    # The sanitizer builds run the program too: its exit leaks do not matter.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            ${HELP2MAN_EXECUTABLE} --no-info --include=${include_path} --output=${page}
            $<TARGET_FILE:${target}>
    COMMAND ${GZIP_EXECUTABLE} -9nf ${page}
    DEPENDS ${target} ${include_path}
    COMMENT "Writing the manual page ${target}(1)"
    VERBATIM)
  add_custom_target(${target}-man-page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# trx4_man_page(SOURCE): a hand-written page; @PROJECT_VERSION@ in SOURCE
# becomes the version.
function(trx4_man_page source)
  get_filename_component(program ${source} NAME_WE)
  get_filename_component(name ${source} NAME_WLE)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${name})
  configure_file(${source} ${page} @ONLY)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${GZIP_EXECUTABLE} -9nkf ${page}
    DEPENDS ${page}
    COMMENT "Compressing the manual page ${name}"
    VERBATIM)
  add_custom_target(${program}-man-page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
