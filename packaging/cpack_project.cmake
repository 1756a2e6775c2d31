# Read by cpack when it packs (CPACK_PROJECT_CONFIG_FILE): the package takes the version
# of the build it packs, so that it is the very text the programs print. cpack reads
# this before it brings the build up to date, so the version is written here first by
# cmake/version.cmake, as the build then finds it.
execute_process(COMMAND "${CMAKE_COMMAND}" ${CPACK_TESTNUV_VERSION_ARGS} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake/version.cmake failed (${status})")
endif()
include("${CPACK_TESTNUV_VERSION_INFO}")
set(CPACK_PACKAGE_VERSION "${TESTNUV_VERSION}")
set(CPACK_DEBIAN_PACKAGE_VERSION "${TESTNUV_VERSION}")
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_PACKAGE_FILE_NAME "testnuv-${TESTNUV_VERSION}-windows-x86_64")
endif()
# Every file in the package dated by the commit (unless the caller chose a date), so
# that two builds of one commit give the same package byte for byte.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} "${TESTNUV_SOURCE_DATE_EPOCH}")
endif()
