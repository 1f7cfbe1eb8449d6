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

struct DestroyWatch {
    Window window = 0;
    void (*gone)(void *) = nullptr;
    void *data = nullptr;
};
DestroyWatch destroyWatch;

GdkFilterReturn filterOutsideDestroy(GdkXEvent *xevent, GdkEvent *, gpointer) {
    auto *event = static_cast<XEvent *>(xevent);
    if (event->type != DestroyNotify || event->xdestroywindow.window != destroyWatch.window)
        return GDK_FILTER_CONTINUE;
    destroyWatch.window = 0;
    destroyWatch.gone(destroyWatch.data);
    return GDK_FILTER_REMOVE;
}

}  // namespace
#endif

void tolerateVanishedWindows() {
#ifdef GDK_WINDOWING_X11
    if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) return;
    gdkErrorHandler = XSetErrorHandler(ignoreVanishedWindows);
#endif
}

void watchForOutsideDestroy([[maybe_unused]] GdkWindow *window, [[maybe_unused]] void (*gone)(void *),
                            [[maybe_unused]] void *data) {
#ifdef GDK_WINDOWING_X11
    if (!GDK_IS_X11_WINDOW(window)) return;
    destroyWatch = {GDK_WINDOW_XID(window), gone, data};
    gdk_window_add_filter(nullptr, filterOutsideDestroy, nullptr);
#endif
}

void stopWatchingForOutsideDestroy() {
#ifdef GDK_WINDOWING_X11
    if (!destroyWatch.gone) return;
    gdk_window_remove_filter(nullptr, filterOutsideDestroy, nullptr);
    destroyWatch = {};
#endif
}
