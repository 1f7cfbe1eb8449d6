// SIGTERM and SIGINT end the daemon cleanly. They are blocked from the start
// and read from a signalfd in the event loop, so a signal never interrupts a
// request half done.
#pragma once

namespace hidsystemd {

// Blocks the shutdown signals and ignores SIGPIPE. False when that fails.
bool block_shutdown_signals();
// A non-blocking signalfd that becomes readable on a shutdown signal; -1 on failure.
int open_shutdown_signal_fd();

}  // namespace hidsystemd
