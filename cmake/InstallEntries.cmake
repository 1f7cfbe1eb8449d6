# Run by `cmake --install`: writes the desktop entry and the two autostart
# entries with the installed paths and installs them (DESTDIR honoured,
# listed in the install manifest).
#
# The autostart entries go where the session looks for them: for an install
# under ~/.local, $XDG_CONFIG_HOME/autostart (~/.config/autostart); under
# /usr, /etc/xdg/autostart; elsewhere PREFIX/etc/xdg/autostart.
# GLISSOR_AUTOSTART_DIR in the environment overrides all three.

# One argument of an Exec line: quoted when it holds a character the
# desktop entry format reserves, with ", `, $ and \ escaped inside the
# quotes; then every backslash doubled again, as the file's strings are.
# A "%" is refused: written as "%%" the entry validates, but GLib looks for
# the program under the unexpanded name and will not load the entry.
# scripts/install.sh refuses such a PREFIX first, with the same reason.
function(glissor_exec_argument out value)
    if(value MATCHES "[\n\r\t]")
        message(FATAL_ERROR "install: a path with a line break or tab cannot go in a desktop entry: ${value}")
    endif()
    if(value MATCHES "%")
        message(FATAL_ERROR "install: a path with '%' cannot go in a desktop entry (GLib will not load it): ${value}")
    endif()
    # (";" separates CMake's lists, so it is looked for on its own.)
    set(reserved " " "\t" "\"" "'" "\\" ">" "<" "~" "|" "&" "$" "*" "?" "#" "(" ")" "`")
    string(FIND "${value}" ";" at)
    set(needs_quotes FALSE)
    if(at GREATER -1)
        set(needs_quotes TRUE)
    endif()
    foreach(character IN LISTS reserved)
        string(FIND "${value}" "${character}" at)
        if(at GREATER -1)
            set(needs_quotes TRUE)
        endif()
    endforeach()
    if(needs_quotes)
        string(REPLACE "\\" "\\\\" value "${value}")
        string(REPLACE "\"" "\\\"" value "${value}")
        string(REPLACE "`" "\\`" value "${value}")
        string(REPLACE "$" "\\$" value "${value}")
        string(REPLACE "\\" "\\\\" value "${value}")
        set(value "\"${value}\"")
    endif()
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

set(installed "${CMAKE_INSTALL_PREFIX}/${GLISSOR_INSTALL_DIR}")
glissor_exec_argument(command "${CMAKE_INSTALL_PREFIX}/bin/glissor")
glissor_exec_argument(service "${installed}/bin/hidsystemd")
glissor_exec_argument(login "${installed}/bin/loginwindow")
set(GLISSOR_PANE_EXEC "${command}")
string(STRIP "${service} ${GLISSOR_SERVICE_OPTIONS}" GLISSOR_SERVICE_EXEC)
set(GLISSOR_LOGIN_EXEC "${login}")
# A session skips an entry whose program is gone: the package's autostart
# entries are configuration files, which stay after its removal until it
# is purged.
set(GLISSOR_PANE_TRYEXEC "${CMAKE_INSTALL_PREFIX}/bin/glissor")
set(GLISSOR_SERVICE_TRYEXEC "${installed}/bin/hidsystemd")
set(GLISSOR_LOGIN_TRYEXEC "${installed}/bin/loginwindow")

if(DEFINED ENV{GLISSOR_AUTOSTART_DIR} AND NOT "$ENV{GLISSOR_AUTOSTART_DIR}" STREQUAL "")
    set(autostart "$ENV{GLISSOR_AUTOSTART_DIR}")
elseif(CMAKE_INSTALL_PREFIX STREQUAL "$ENV{HOME}/.local")
    if(DEFINED ENV{XDG_CONFIG_HOME} AND NOT "$ENV{XDG_CONFIG_HOME}" STREQUAL "")
        set(autostart "$ENV{XDG_CONFIG_HOME}/autostart")
    else()
        set(autostart "$ENV{HOME}/.config/autostart")
    endif()
elseif(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(autostart "/etc/xdg/autostart")
else()
    set(autostart "${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart")
endif()

# A directory of its own per install, so two installs at once do not meet.
string(MD5 work "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}|${autostart}")
set(work "${GLISSOR_ENTRIES_WORK_DIR}/${work}")
foreach(entry org.glissor.Glissor org.glissor.Glissor.EventService org.glissor.Glissor.Login)
    configure_file("${GLISSOR_DATA_DIR}/${entry}.desktop.in" "${work}/${entry}.desktop" @ONLY)
endforeach()
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
     FILES "${work}/org.glissor.Glissor.desktop")
file(INSTALL DESTINATION "${autostart}" TYPE FILE
     FILES "${work}/org.glissor.Glissor.EventService.desktop" "${work}/org.glissor.Glissor.Login.desktop")
