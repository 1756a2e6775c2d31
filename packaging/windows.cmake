# Windows: the executables, the README and the licence in one zip,
# testnuv-<version>-windows-x86_64.zip (`make windows-zip`). Included from
# packaging/CMakeLists.txt with `programs` set.
install(TARGETS ${programs} RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME testnuv-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_STRIP_FILES ON)
