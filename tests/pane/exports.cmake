glissor_add_test(pane_exports_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/plugin_exports_test.cpp LIBS AppKit)
target_link_libraries(pane_exports_tests PRIVATE ${CMAKE_DL_LIBS})
# PaneIdentifier.h, generated from the value the bundle's Info.plist comes from.
target_include_directories(pane_exports_tests PRIVATE ${CMAKE_BINARY_DIR}/generated)
glissor_test_needs(pane_exports_tests GlissorBundle GlissorHelper)
