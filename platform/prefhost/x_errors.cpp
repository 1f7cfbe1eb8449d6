#include "x_errors.h"

#include <gdk/gdk.h>
#ifdef GDK_WINDOWING_X11
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#endif

#ifdef GDK_WINDOWING_X11
namespace {

int (*gdkErrorHandler)(Display *, XErrorEvent *) = nullptr;

// GDK ends the program on an X error nobody trapped. The errors a vanished
// window causes are harmless to the host: its destroy-event leaves the pane.
int ignoreVanishedWindows(Display *display, XErrorEvent *error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
    return gdkErrorHandler ? gdkErrorHandler(display, error) : 0;
}

}  // namespace
#endif

void tolerateVanishedWindows() {
#ifdef GDK_WINDOWING_X11
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) return;
    gdkErrorHandler = XSetErrorHandler(ignoreVanishedWindows);
#endif
}
