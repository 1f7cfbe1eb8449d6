# The curve view's drawRect: into a 1000 x 1000 image.
glissor_add_benchmark(arcview_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/arcview_bench.cpp
    LIBS glissor_arc_view)
