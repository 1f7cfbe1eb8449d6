// X errors and events the window can outlive.
#pragma once

#include <gdk/gdk.h>

// On an X display: a request on a window that no longer exists (BadWindow,
// BadDrawable: a window destroyed from outside while GTK still talks to it)
// is ignored instead of ending the host; every other X error goes to GDK's
// handler as before. Call after the display is open.
void tolerateVanishedWindows();

// On an X display: calls gone(data) when another client destroys the
// window's X window, and hides that from GDK, which would otherwise warn
// that its window was destroyed under it and fail assertions on the frame
// clock afterwards. Requests on the dead window then fail quietly (above).
// One window at a time; stopWatching before the window goes.
void watchForOutsideDestroy(GdkWindow *window, void (*gone)(void *), void *data);
void stopWatchingForOutsideDestroy();
