glissor_add_benchmark(preferences_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/preferences_bench.cpp)
glissor_add_benchmark(mouse_fix_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/mouse_fix_bench.cpp
    LIBS glissor_core_internal)
add_dependencies(mouse_fix_bench hidsystemd hidctl)
