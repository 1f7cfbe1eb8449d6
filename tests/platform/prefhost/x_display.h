// A private X server for window tests, and what a test does with it:
// find a program's window, take a screenshot of it, send input with
// xdotool and close it as a window manager would.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "process.h"
#include "temp_home.h"

// Xlib stays out of this header: its macros (None, Status, ...) clash
// with GoogleTest's names.
struct _XDisplay;

namespace glissor_test {

using WindowId = unsigned long;  // an X window

// Xvfb on a display number it picks itself (-displayfd), so tests running
// side by side never race for one. Stopped when dropped.
class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    const std::string &display() const { return display_; }  // ":N"
    // For a program that opens windows on it. No accessibility bridge: the
    // server has no session bus for it, and the bridge keeps what it
    // allocated while looking for one past exit, which LeakSanitizer reports.
    std::map<std::string, std::string> env() const {
        return {{"DISPLAY", display_}, {"WAYLAND_DISPLAY", ""}, {"NO_AT_BRIDGE", "1"}};
    }
    _XDisplay *connection() const { return connection_; }

private:
    TempDir dir_;
    BackgroundProcess server_;
    std::string display_;
    _XDisplay *connection_ = nullptr;
};

// A window's pixels, 0xRRGGBB each, row by row.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Pixels inside [x, x + w) x [y, y + h) that pass the test.
    template <typename Test>
    int count(int x, int y, int w, int h, Test test) const {
        int found = 0;
        for (int row = y; row < y + h && row < height; ++row)
            for (int column = x; column < x + w && column < width; ++column)
                if (test(at(column, row))) ++found;
        return found;
    }
};

// The top-level window of the process, once it is on screen; 0 when none
// appears in time.
WindowId waitForWindowOf(const XvfbServer &server, int pid, std::chrono::milliseconds limit);
Screenshot takeScreenshot(const XvfbServer &server, WindowId window);
// WM_DELETE_WINDOW, as the close button of a window manager sends it.
void requestClose(const XvfbServer &server, WindowId window);
// Runs xdotool against the display; false when it fails.
bool xdotool(const XvfbServer &server, const std::vector<std::string> &arguments);

}  // namespace glissor_test
