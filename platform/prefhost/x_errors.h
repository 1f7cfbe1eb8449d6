// X errors the window can outlive.
#pragma once

// On an X display: a request on a window that no longer exists (BadWindow,
// BadDrawable: a window destroyed from outside while GTK still talks to it)
// is ignored instead of ending the host; every other X error goes to GDK's
// handler as before. Call after the display is open.
void tolerateVanishedWindows();
