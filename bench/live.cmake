# The live program's benchmarks: bench/live_cpu.sh runs build/testnuv itself;
# bench/live_pacing.sh runs live_pacing, the same program on a recording clock.
if(SDL2_FOUND AND NOT WIN32)
  add_executable(live_pacing ${CMAKE_CURRENT_LIST_DIR}/live_pacing.cpp
                             ${CMAKE_SOURCE_DIR}/app/stop_requests_posix.cpp)
  target_link_libraries(live_pacing PRIVATE tnv_experiment)
endif()
