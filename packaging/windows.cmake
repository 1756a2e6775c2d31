# Windows: the executables, the user's guide as README.txt, the licence and the notices
# of the libraries compiled into them in one zip, testnuv-<version>-windows-x86_64.zip (`make
# windows-zip`). Included from packaging/CMakeLists.txt with `programs` set.
set(out ${CMAKE_CURRENT_BINARY_DIR})
install(TARGETS ${programs} RUNTIME DESTINATION .)

# The texts, with Windows line ends: the user's guide, the licence, and THIRD-PARTY.txt
# made from the package's copyright file, which names every library and its licence.
add_custom_command(OUTPUT ${out}/README.txt ${out}/LICENSE.txt ${out}/THIRD-PARTY.txt
  COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/docs/user-guide.txt -DOUTPUT=${out}/README.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows_text.cmake
  COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/LICENSE -DOUTPUT=${out}/LICENSE.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows_text.cmake
  COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/copyright
          -DOUTPUT=${out}/THIRD-PARTY.txt -DPREFACE=${CMAKE_CURRENT_SOURCE_DIR}/third-party-preface.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows_text.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/user-guide.txt ${PROJECT_SOURCE_DIR}/LICENSE copyright third-party-preface.txt windows_text.cmake
  COMMENT "Licence texts for Windows"
  VERBATIM)
add_custom_target(windows_texts ALL DEPENDS ${out}/README.txt ${out}/LICENSE.txt ${out}/THIRD-PARTY.txt)
install(FILES ${out}/README.txt ${out}/LICENSE.txt ${out}/THIRD-PARTY.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME testnuv-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_STRIP_FILES ON)
