# The login items list: count, add and remove against lists of growing size.
glissor_add_benchmark(loginitems_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/loginitems_bench.cpp LIBS glissor_loginitems)
