# The property-list codec on large and hostile files: time and peak memory,
# beside libplist where libplist survives the file.
glissor_add_benchmark(codec_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_bench.cpp
    LIBS CoreFoundation cf_hostile_lists PkgConfig::LIBPLIST)
target_include_directories(codec_bench PRIVATE ${PROJECT_SOURCE_DIR}/platform/CoreFoundation/src)
