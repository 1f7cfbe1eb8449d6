// The window mode: the shown pane in a real GTK 3 window. The window's
// content is the pane's main view over the window background; closing the
// window is the user leaving the pane (didUnselect).
#pragma once

#include <chrono>
#include <string>

#include "pane_session.h"
#include <Result.h>

struct WindowOptions {
    std::string title;
    // Report the time from `started` to the first frame on standard output,
    // then close the window as a user would.
    bool exitAfterFirstFrame = false;
    std::chrono::steady_clock::time_point started;
};

// Opens a connection to the display, unless there is none or it cannot be
// opened. The only place GTK is initialised.
Status openDisplay();

// Shows the session's pane in a window and runs until the window is
// closed. Needs openDisplay first and a shown pane.
Status runPaneWindow(PaneSession &session, const WindowOptions &options);
