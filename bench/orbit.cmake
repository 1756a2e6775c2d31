# The orbit's position function and its one-pass spread of a count (run by bench/orbit.sh).
add_executable(orbit_bench ${CMAKE_CURRENT_LIST_DIR}/orbit_bench.cpp)
target_link_libraries(orbit_bench PRIVATE tnv_study)
