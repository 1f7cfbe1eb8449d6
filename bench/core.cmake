glissor_add_benchmark(preferences_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/preferences_bench.cpp)
# The service's allocations are counted by a library preloaded into it.
add_library(glissor_malloc_counter SHARED ${CMAKE_CURRENT_LIST_DIR}/malloc_counter_preload.cpp)
target_link_libraries(glissor_malloc_counter PRIVATE glissor_warnings)
glissor_add_benchmark(mouse_fix_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mouse_fix_bench.cpp
            ${CMAKE_CURRENT_LIST_DIR}/baseline_server.cpp
            ${CMAKE_CURRENT_LIST_DIR}/allocation_counter.cpp
    LIBS glissor_core_internal)
target_compile_definitions(mouse_fix_bench PRIVATE
    GLISSOR_MALLOC_COUNTER_LIBRARY="$<TARGET_FILE:glissor_malloc_counter>")
add_dependencies(mouse_fix_bench hidsystemd hidctl glissor_malloc_counter)
