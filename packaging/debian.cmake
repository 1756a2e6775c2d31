# Linux: install rules for the programs and the files around them, and the
# Debian package. Included from packaging/CMakeLists.txt with `programs` set.
set(doc_dir share/doc/testnuv)
set(out ${CMAKE_CURRENT_BINARY_DIR})

install(TARGETS ${programs} RUNTIME DESTINATION bin)

# Manual pages: help2man runs each program's --help; packaging/man/<program>.h2m,
# when present, adds the name line and the sections that --help does not carry.
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
if(HELP2MAN)
  # Globbed at every build, so that a new include file is noticed.
  file(GLOB includes CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/man/*.h2m)
  set(pages "")
  foreach(program IN LISTS programs)
    set(page ${out}/man/${program}.1)
    set(include ${CMAKE_CURRENT_SOURCE_DIR}/man/${program}.h2m)
    set(include_args "")
    set(include_deps "")
    if(include IN_LIST includes)
      set(include_args --include=${include})
      set(include_deps ${include})
    endif()
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/man
      COMMAND ${HELP2MAN} --no-info --section=1 --source=testnuv
              --version-string=${PROJECT_VERSION} ${include_args} --output=${page}
              $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${program} ${include_deps}
      COMMENT "Manual page ${program}(1)"
      VERBATIM)
    list(APPEND pages ${page}.gz)
  endforeach()
  add_custom_target(manpages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION share/man/man1)
else()
  message(WARNING "help2man not found: no manual pages (tools/install-deps package installs it)")
endif()

# The changelog in Debian's format, dated by the commit it is built from.
set(CHANGELOG_DATE "")
find_program(GIT git)
if(GIT AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT} -C ${PROJECT_SOURCE_DIR} log -1 --format=%cD
                  OUTPUT_VARIABLE CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(CHANGELOG_DATE STREQUAL "")
  string(TIMESTAMP CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()
configure_file(changelog.in ${out}/changelog @ONLY)
add_custom_command(OUTPUT ${out}/changelog.gz
  COMMAND ${GZIP} -9nc ${out}/changelog > ${out}/changelog.gz
  DEPENDS ${out}/changelog
  COMMENT "Changelog"
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${out}/changelog.gz)

# The icon: one drawing, written as SVG and as a 48x48 PNG.
add_executable(make_icon make_icon.cpp)
set(icon_files ${out}/testnuv.svg)
if(PNG_FOUND)
  target_link_libraries(make_icon PRIVATE PNG::PNG)
  target_compile_definitions(make_icon PRIVATE TESTNUV_HAVE_PNG)
  list(APPEND icon_files ${out}/testnuv.png)
endif()
add_custom_command(OUTPUT ${icon_files}
  COMMAND make_icon ${out}/testnuv.svg ${out}/testnuv.png
  DEPENDS make_icon
  COMMENT "Icon"
  VERBATIM)
add_custom_target(icon ALL DEPENDS ${icon_files})
install(FILES ${out}/testnuv.svg DESTINATION share/icons/hicolor/scalable/apps)
if(PNG_FOUND)
  install(FILES ${out}/testnuv.png DESTINATION share/icons/hicolor/48x48/apps)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md copyright ${out}/changelog.gz DESTINATION ${doc_dir})
install(FILES testnuv.desktop DESTINATION share/applications)
install(FILES testnuv.service DESTINATION lib/systemd/user)
install(PROGRAMS start-in-folder DESTINATION libexec/testnuv)
install(FILES testnuv-autostart.desktop DESTINATION ${doc_dir}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# CPack puts the summary on the first line itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "testnuv draws 200 pseudo-random bits every second, shows every bit on an
800x600 picture, judges each second and each 5- and 15-minute window as
leaning toward zero, toward one or balanced, and writes a study log at every
checkpoint and every 12-hour cycle. It is meant to run for weeks without
attention; its texts are in Spanish.
.
The package holds the live program, the headless simulator and the study
tools with their manual pages, a desktop entry and a systemd user unit for
unattended runs.")
