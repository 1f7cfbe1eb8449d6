// A program's windows on a private X server (tests/support/x_server.h):
// found once on screen, photographed, sent input with xdotool and closed as
// a window manager would.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "x_server.h"

namespace glissor_test {

using WindowId = unsigned long;  // an X window

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
WindowId waitForWindowOf(const XServer &server, int pid, std::chrono::milliseconds limit);
Screenshot takeScreenshot(const XServer &server, WindowId window);
// WM_DELETE_WINDOW, as the close button of a window manager sends it.
void requestClose(const XServer &server, WindowId window);
// Runs xdotool against the display; false when it fails.
bool xdotool(const XServer &server, const std::vector<std::string> &arguments);

}  // namespace glissor_test
