// The window mode lives in a module of its own (prefhost-window.so, in the
// build's lib/ beside bin/), loaded only when a window is asked for: GTK
// and its forty-odd libraries then stay out of the scripted mode, which
// starts three times faster without them and needs no display.
//
// The entry point takes and returns plain C values only.
#pragma once

#include <chrono>
#include <string>

// Shows the pane in a window until the user closes it. started is the
// host's start on the steady clock, in nanoseconds. Returns the exit
// status: 0, 1 when the pane cannot be shown, 2 when the display cannot be
// opened; the reason went to stderr.
extern "C" {
typedef int (*PrefhostWindowMain)(const char *panePath, int exitAfterFirstFrame, long long startedNanoseconds);
}
inline constexpr const char *kPrefhostWindowMainName = "prefhostWindowMain";

// Loads the module and runs its entry point; 1 with a line on stderr when
// the module does not load.
int runWindowModule(const std::string &panePath, bool exitAfterFirstFrame,
                    std::chrono::steady_clock::time_point started);
