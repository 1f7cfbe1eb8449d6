# What `make install` puts where. Everything of ours goes in one tree,
# PREFIX/lib/glissor, laid out as the build is, so each program finds its
# libraries and the host its window module relative to itself (RPATH
# $ORIGIN-relative, no LD_LIBRARY_PATH) wherever the tree lands:
#   lib/glissor/bin/               the programs
#   lib/glissor/lib/               the stand-in frameworks, prefhost-window.so
#   lib/glissor/Glissor.prefPane   the pane, carrying GlissorHelper.app
# Beside it: PREFIX/bin/glissor, the one command on the PATH, and where the
# desktop looks: the desktop entry, the AppStream metadata, the icon, the
# man pages and two autostart entries (written at install time by
# InstallEntries.cmake, since they name the installed paths).

set(GLISSOR_INSTALL_DIR lib/glissor)
# The event service's options when the session starts it: the backend that
# fits the session (GNOME, KDE Plasma, sway or X11), chosen at each start.
set(GLISSOR_SERVICE_OPTIONS "--backend auto" CACHE STRING "Options of the event service started at session start")

# The service finds its backend programs beside itself.
set(GLISSOR_INSTALLED_PROGRAMS prefhost hidsystemd hidsystemd-x11 hidsystemd-desktop hidctl defaults loginwindow
    glissor-forget-login-item)
set_target_properties(${GLISSOR_INSTALLED_PROGRAMS} PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
install(TARGETS ${GLISSOR_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${GLISSOR_INSTALL_DIR}/bin)

set_target_properties(CoreFoundation IOKit AppKit prefhost_window PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS CoreFoundation IOKit AppKit prefhost_window LIBRARY DESTINATION ${GLISSOR_INSTALL_DIR}/lib)

set(GLISSOR_INSTALLED_PANE ${GLISSOR_INSTALL_DIR}/Glissor.prefPane/Contents)
set_target_properties(Glissor PROPERTIES INSTALL_RPATH "$ORIGIN/../../../lib")
install(TARGETS Glissor LIBRARY DESTINATION ${GLISSOR_INSTALLED_PANE}/MacOS)
install(FILES ${GLISSOR_PANE_BUNDLE}/Contents/Info.plist DESTINATION ${GLISSOR_INSTALLED_PANE})
install(FILES ${CMAKE_SOURCE_DIR}/pane/Glissor.layout DESTINATION ${GLISSOR_INSTALLED_PANE}/Resources)

# The helper inside the pane's resources: six levels below lib/glissor.
set(GLISSOR_INSTALLED_HELPER ${GLISSOR_INSTALLED_PANE}/Resources/GlissorHelper.app/Contents)
set_target_properties(GlissorHelper PROPERTIES INSTALL_RPATH "$ORIGIN/../../../../../../lib")
install(TARGETS GlissorHelper RUNTIME DESTINATION ${GLISSOR_INSTALLED_HELPER}/MacOS)
install(FILES ${GLISSOR_HELPER_APP}/Contents/Info.plist DESTINATION ${GLISSOR_INSTALLED_HELPER})

# glissor finds the tree from where it lies, PREFIX/bin.
install(TARGETS glissor RUNTIME DESTINATION bin)

# Every manual page there is. The programs' names are general (defaults,
# hidctl), so their pages go in as glissor-NAME.1: a page of the same name
# from another program stays untouched.
file(GLOB GLISSOR_MAN_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/*.1)
foreach(page ${GLISSOR_MAN_PAGES})
    get_filename_component(name ${page} NAME)
    if(NOT name MATCHES "^glissor")
        set(name glissor-${name})
    endif()
    install(FILES ${page} DESTINATION share/man/man1 RENAME ${name})
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/data/org.glissor.Glissor.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/org.glissor.Glissor.metainfo.xml DESTINATION share/metainfo)
install(CODE "
    set(GLISSOR_DATA_DIR \"${CMAKE_SOURCE_DIR}/data\")
    set(GLISSOR_INSTALL_DIR \"${GLISSOR_INSTALL_DIR}\")
    set(GLISSOR_SERVICE_OPTIONS \"${GLISSOR_SERVICE_OPTIONS}\")
    set(GLISSOR_ENTRIES_WORK_DIR \"${CMAKE_BINARY_DIR}/installed-entries\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallEntries.cmake)
