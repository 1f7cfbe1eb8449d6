# The login items list: count, add and remove against lists of growing size.
glissor_add_benchmark(loginitems_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/loginitems_bench.cpp LIBS glissor_loginitems)
# The raw parse it is held to calls the codec itself, as the preference service does.
target_include_directories(loginitems_bench PRIVATE ${PROJECT_SOURCE_DIR}/platform/CoreFoundation/src)
