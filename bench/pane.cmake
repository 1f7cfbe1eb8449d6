# The pane: one slider action against the event service, and loading the
# plug-in up to the end of mainViewDidLoad.
glissor_add_benchmark(pane_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pane_bench.cpp LIBS AppKit)
add_dependencies(pane_bench GlissorBundle hidsystemd hidctl)
