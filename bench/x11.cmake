glissor_add_benchmark(x11_backend_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/x11_backend_bench.cpp
            ${PROJECT_SOURCE_DIR}/tests/platform/hidsystemd/private_x.cpp
    LIBS glissor_core_internal PkgConfig::XINPUT)
target_include_directories(x11_backend_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/platform/hidsystemd)
add_dependencies(x11_backend_bench hidsystemd hidsystemd-x11 hidctl)
