# The pane through the real prefhost: speeds, labels, storing, login items,
# the curve view.
glissor_add_test(pane_host_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/pane_speeds_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/pane_login_item_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/pane_curve_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/pane_host_support.cpp
    LIBS glissor_loginitems glissor_cfref PkgConfig::CAIRO)
glissor_test_needs(pane_host_tests GlissorBundle prefhost defaults hidsystemd hidctl)
