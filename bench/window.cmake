# prefhost's window: from starting the program to its first frame, under a
# private Xvfb (the window tests' X server helper).
glissor_add_benchmark(window_first_frame
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_first_frame.cpp
            ${CMAKE_SOURCE_DIR}/tests/platform/prefhost/x_display.cpp
    LIBS PkgConfig::X11)
target_include_directories(window_first_frame PRIVATE ${CMAKE_SOURCE_DIR}/tests/platform/prefhost)
target_compile_definitions(window_first_frame PRIVATE GLISSOR_PANE_BUNDLE="${GLISSOR_PANE_BUNDLE}")
add_dependencies(window_first_frame prefhost GlissorBundle)
