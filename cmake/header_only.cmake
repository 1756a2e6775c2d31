# The header-only libraries of the study tools (CLI11, nlohmann-json, Boost.Math),
# as the interface target tnv_header_libraries.
#   Linux: the system's include folder already holds them; nothing to add.
#   Windows (cross build): only their own folders are taken from the build
#   machine, linked into <build>/header-only, never its whole /usr/include,
#   whose C and system headers belong to Linux.
add_library(tnv_header_libraries INTERFACE)
if(NOT WIN32)
  return()
endif()

set(staged ${CMAKE_BINARY_DIR}/header-only)
file(MAKE_DIRECTORY ${staged})
# folder, header that shows it is there, Debian package that brings it
foreach(entry "CLI;CLI/CLI.hpp;libcli11-dev"
              "nlohmann;nlohmann/json.hpp;nlohmann-json3-dev"
              "boost;boost/math/distributions/chi_squared.hpp;libboost-math-dev")
  list(GET entry 0 folder)
  list(GET entry 1 header)
  list(GET entry 2 package)
  find_path(host_dir_${folder} ${header} PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT host_dir_${folder})
    message(FATAL_ERROR "${header} not found on the build machine (install ${package})")
  endif()
  if(NOT EXISTS ${staged}/${folder})
    file(CREATE_LINK ${host_dir_${folder}}/${folder} ${staged}/${folder} SYMBOLIC)
  endif()
endforeach()
target_include_directories(tnv_header_libraries SYSTEM INTERFACE ${staged})
