# GlissorPref in the test's own process. The test program is the executable
# of a pane bundle of its own, with Glissor's Info.plist and interface file
# and a helper directory, so the class finds its bundle as in the plug-in.
set(PANE_IN_PROCESS_BUNDLE ${GLISSOR_TEST_OUTPUT_DIRECTORY}/GlissorInProcess.prefPane)
glissor_add_test(pane_controller_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/controller_in_process_test.cpp
    LIBS glissor_pane_classes glissor_core_exported glissor_loginitems AppKitTesting glissor_cfref)
set_target_properties(pane_controller_tests PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${PANE_IN_PROCESS_BUNDLE}/Contents/MacOS)
target_compile_definitions(pane_controller_tests PRIVATE PANE_IN_PROCESS_BUNDLE="${PANE_IN_PROCESS_BUNDLE}")
configure_file(${PROJECT_SOURCE_DIR}/pane/Info.plist.in ${PANE_IN_PROCESS_BUNDLE}/Contents/Info.plist @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/pane/Glissor.layout
    ${PANE_IN_PROCESS_BUNDLE}/Contents/Resources/Glissor.layout COPYONLY)
file(MAKE_DIRECTORY ${PANE_IN_PROCESS_BUNDLE}/Contents/Resources/GlissorHelper.app/Contents/MacOS)
glissor_test_needs(pane_controller_tests hidsystemd hidctl)
