# The curve view, built from its source with AppKit, checked on the paint
# record and on rendered pixels.
glissor_add_test(arc_view_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/arc_view_test.cpp
        ${CMAKE_SOURCE_DIR}/pane/ArcView.cpp
        ${CMAKE_SOURCE_DIR}/tests/platform/AppKit/appkit_test_support.cpp
    LIBS AppKitTesting)
target_include_directories(arc_view_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/pane ${CMAKE_SOURCE_DIR}/tests/platform/AppKit)

