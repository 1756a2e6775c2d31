# Graphics screen benchmarks (run by bench/gfx.sh).
add_executable(gfx_text_bench ${CMAKE_CURRENT_LIST_DIR}/gfx_text_bench.cpp)
target_link_libraries(gfx_text_bench PRIVATE tnv_gfx)
