# Linux: install rules for the programs and the files around them, and the
# Debian package. Included from packaging/CMakeLists.txt with `programs` set.
set(doc_dir share/doc/testnuv)
set(out ${CMAKE_CURRENT_BINARY_DIR})

install(TARGETS ${programs} RUNTIME DESTINATION bin)
# The compiler's identification (.comment) is of no use in the package: taken out after
# the programs are installed (and stripped, when packing).
install(CODE "
  foreach(program IN ITEMS ${programs})
    set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/\${program}\")
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"\${file}\"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR \"cannot remove .comment from \${file}\")
    endif()
  endforeach()")

# Manual pages, written at build time by packaging/man/make_page.py from the hand-written
# packaging/man/<program>.man and the options of the built program's own --help (and of
# each subcommand's), so that they cannot drift apart. Every program has its source.
find_package(Python3 COMPONENTS Interpreter)
find_program(GZIP gzip REQUIRED)
if(Python3_Interpreter_FOUND)
  set(pages "")
  foreach(program IN LISTS programs)
    set(page ${out}/man/${program}.1)
    set(source ${CMAKE_CURRENT_SOURCE_DIR}/man/${program}.man)
    if(NOT EXISTS ${source})
      message(FATAL_ERROR "${program} has no manual page source packaging/man/${program}.man")
    endif()
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/man
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/man/make_page.py
              ${source} ${TESTNUV_VERSION_INFO} ${page} $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${program} ${source} ${CMAKE_CURRENT_SOURCE_DIR}/man/make_page.py ${TESTNUV_VERSION_INFO}
      COMMENT "Manual page ${program}(1)"
      VERBATIM)
    list(APPEND pages ${page}.gz)
  endforeach()
  add_custom_target(manpages ALL DEPENDS ${pages})
  add_dependencies(manpages tnv_version_source)
  install(FILES ${pages} DESTINATION share/man/man1)
else()
  message(WARNING "python3 not found: no manual pages (tools/install-deps package installs it)")
endif()

# The changelog in Debian's format, with the version and date of the commit built.
add_custom_command(OUTPUT ${out}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -DINFO=${TESTNUV_VERSION_INFO}
          -DTEMPLATE=${CMAKE_CURRENT_SOURCE_DIR}/changelog.in -DOUTPUT=${out}/changelog
          -P ${CMAKE_CURRENT_SOURCE_DIR}/fill_template.cmake
  COMMAND ${GZIP} -9nf ${out}/changelog
  DEPENDS ${TESTNUV_VERSION_INFO} changelog.in fill_template.cmake
  COMMENT "Changelog"
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${out}/changelog.gz)
add_dependencies(changelog tnv_version_source)

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

# The user's guide is the package's README, compressed as Debian does for longer docs.
add_custom_command(OUTPUT ${out}/README.gz
  COMMAND ${GZIP} -9nc ${PROJECT_SOURCE_DIR}/docs/user-guide.txt > ${out}/README.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/user-guide.txt
  COMMENT "User's guide"
  VERBATIM)
add_custom_target(user_guide ALL DEPENDS ${out}/README.gz)

# The AppStream record for software centres, with the version and date of the build.
set(metainfo ${out}/org.example.testnuv.metainfo.xml)
add_custom_command(OUTPUT ${metainfo}
  COMMAND ${CMAKE_COMMAND} -DINFO=${TESTNUV_VERSION_INFO}
          -DTEMPLATE=${CMAKE_CURRENT_SOURCE_DIR}/testnuv.metainfo.xml.in -DOUTPUT=${metainfo}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/fill_template.cmake
  DEPENDS ${TESTNUV_VERSION_INFO} testnuv.metainfo.xml.in fill_template.cmake
  COMMENT "AppStream metainfo"
  VERBATIM)
add_custom_target(metainfo ALL DEPENDS ${metainfo})
add_dependencies(metainfo tnv_version_source)
install(FILES ${metainfo} DESTINATION share/metainfo)

install(FILES copyright ${out}/changelog.gz ${out}/README.gz DESTINATION ${doc_dir})
install(FILES testnuv.desktop DESTINATION share/applications)
install(FILES testnuv.service DESTINATION lib/systemd/user)
install(PROGRAMS start-in-folder DESTINATION libexec/testnuv)
install(FILES testnuv-autostart.desktop DESTINATION ${doc_dir}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xmessage, with which the menu entry's launcher shows why it cannot start.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "x11-utils")
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
