# The analysis of data folders and the study report (testnuv-study analyze).
set(TESTNUV_REPORT_ASSETS ${CMAKE_CURRENT_BINARY_DIR}/report_assets.cpp)
set(TESTNUV_DYGRAPHS_DIR /usr/share/javascript/dygraphs CACHE PATH "Where libjs-dygraphs keeps dygraph.min.js")
set(TESTNUV_REPORT_INPUTS
  ${TESTNUV_DYGRAPHS_DIR}/dygraph.min.js
  ${TESTNUV_DYGRAPHS_DIR}/dygraph.min.css
  ${CMAKE_CURRENT_SOURCE_DIR}/report_page/report.js
  ${CMAKE_CURRENT_SOURCE_DIR}/report_page/report.css)
add_custom_command(
  OUTPUT ${TESTNUV_REPORT_ASSETS}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${TESTNUV_REPORT_ASSETS} -DHEADER=study/report_assets.h
          "-DNAMES=DYGRAPHS_SCRIPT\;DYGRAPHS_STYLE\;REPORT_SCRIPT\;REPORT_STYLE"
          "-DFILES=${TESTNUV_DYGRAPHS_DIR}/dygraph.min.js\;${TESTNUV_DYGRAPHS_DIR}/dygraph.min.css\;${CMAKE_CURRENT_SOURCE_DIR}/report_page/report.js\;${CMAKE_CURRENT_SOURCE_DIR}/report_page/report.css"
          -P ${CMAKE_SOURCE_DIR}/cmake/embed_text.cmake
  DEPENDS ${TESTNUV_REPORT_INPUTS} ${CMAKE_SOURCE_DIR}/cmake/embed_text.cmake
  COMMENT "Report page assets")

# The embedded page texts are longer than the shortest limit the standard sets for a literal.
set_source_files_properties(${TESTNUV_REPORT_ASSETS} PROPERTIES COMPILE_OPTIONS -Wno-overlength-strings)
# The texts name every member of ReportTexts: one left out is an error, not a silently empty text.
set_source_files_properties(report_texts.cpp PROPERTIES COMPILE_OPTIONS -Werror=missing-field-initializers)
add_library(tnv_analysis STATIC
  statistics.cpp
  plot_reduce.cpp
  folder_seconds.cpp
  analysis.cpp
  analysis_input.cpp
  command_analyze.cpp
  report_texts.cpp
  html_writer.cpp
  report_numbers.cpp
  report_figures.cpp
  report_summary.cpp
  report_plots.cpp
  report.cpp
  ${TESTNUV_REPORT_ASSETS}
)
find_package(Threads REQUIRED)
target_link_libraries(tnv_analysis PUBLIC tnv_study tnv_version Threads::Threads)
