# Write the version of this build: the project version and the commit the build comes
# from, as "MAJOR.MINOR.PATCH+gitN.HASH" (N the commits up to HEAD, so that versions sort
# as the commits do; ".dirty" when tracked files have uncommitted changes). Outside a git
# checkout (a source tarball) the version is the project version alone.
# Run at every build (cmake -P) so that a new commit is picked up without reconfiguring;
# each output is rewritten only when its text changes, so nothing rebuilds needlessly.
# Inputs: SOURCE_DIR, PROJECT_VERSION; OUTPUT (the C++ source), and INFO (optional: a
#   CMake file setting TESTNUV_VERSION, TESTNUV_SOURCE_DATE_EPOCH and TESTNUV_COMMIT_DATE
#   for the packaging steps).
set(version "${PROJECT_VERSION}")
set(commit "unknown")
set(epoch "")
find_program(GIT git)
# Only the source tree's own repository counts: a tarball unpacked inside some other
# checkout is not that checkout's commit.
if(GIT AND EXISTS "${SOURCE_DIR}/.git")
  # The tree may belong to another user than the one building (a CI clone built as root).
  set(git "${GIT}" -c "safe.directory=${SOURCE_DIR}" -C "${SOURCE_DIR}")
  execute_process(COMMAND ${git} log -1 --format=%h%n%ct --abbrev=7
                  OUTPUT_VARIABLE head RESULT_VARIABLE head_status
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND ${git} rev-list --count HEAD
                  OUTPUT_VARIABLE count RESULT_VARIABLE count_status
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(head_status EQUAL 0 AND count_status EQUAL 0 AND head MATCHES "^([0-9a-f]+)\n([0-9]+)$")
    set(commit "${CMAKE_MATCH_1}")
    set(epoch "${CMAKE_MATCH_2}")
    execute_process(COMMAND ${git} rev-parse --is-shallow-repository
                    OUTPUT_VARIABLE shallow OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(shallow STREQUAL "true")
      message(WARNING "a shallow clone: the version counts only the ${count} commits fetched "
                      "and may sort below older builds ('git fetch --unshallow' mends it)")
    endif()
    set(version "${PROJECT_VERSION}+git${count}.${commit}")
    execute_process(COMMAND ${git} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes ERROR_QUIET)
    if(NOT changes STREQUAL "")
      string(APPEND version ".dirty")
    endif()
  endif()
endif()

# Write TEXT to FILE unless it already holds it.
function(write_if_changed file text)
  set(old "")
  if(EXISTS "${file}")
    file(READ "${file}" old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE "${file}" "${text}")
  endif()
endfunction()

write_if_changed("${OUTPUT}" "// Generated at build time by cmake/version.cmake; do not edit.
#include \"runtime/version.h\"

const char* project_version() { return \"${PROJECT_VERSION}\"; }
const char* build_commit() { return \"${commit}\"; }
const char* version_text() { return \"${version}\"; }
")

if(DEFINED INFO)
  # The time every packed file is dated with: the commit's, else SOURCE_DATE_EPOCH as
  # given, else the time of the top-level CMakeLists.txt (a tarball keeps it).
  if(epoch STREQUAL "")
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
      set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    else()
      file(TIMESTAMP "${SOURCE_DIR}/CMakeLists.txt" epoch "%s" UTC)
    endif()
  endif()
  # The same instant in the changelog's form (RFC 2822).
  set(saved "$ENV{SOURCE_DATE_EPOCH}")
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${saved}")
  write_if_changed("${INFO}" "# Generated at build time by cmake/version.cmake; do not edit.
set(TESTNUV_VERSION \"${version}\")
set(TESTNUV_SOURCE_DATE_EPOCH \"${epoch}\")
set(TESTNUV_COMMIT_DATE \"${date}\")
")
endif()
