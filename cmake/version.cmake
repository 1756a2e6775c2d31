# Write the version source: the project version and the commit the build comes from.
# Run at every build (cmake -P) so that a new commit is picked up without reconfiguring;
# the file is rewritten only when its text changes, so nothing rebuilds needlessly.
# Inputs: SOURCE_DIR, OUTPUT, PROJECT_VERSION.
set(commit "unknown")
find_program(GIT git)
if(GIT AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE head RESULT_VARIABLE head_status
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(head_status EQUAL 0 AND NOT head STREQUAL "")
    set(commit "${head}")
    execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes ERROR_QUIET)
    if(NOT changes STREQUAL "")
      string(APPEND commit "-dirty")
    endif()
  endif()
endif()
set(text "// Generated at build time by cmake/version.cmake; do not edit.
#include \"runtime/version.h\"

const char* project_version() { return \"${PROJECT_VERSION}\"; }
const char* build_commit() { return \"${commit}\"; }
const char* version_text() { return \"${PROJECT_VERSION} (${commit})\"; }
")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
