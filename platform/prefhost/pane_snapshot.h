// The pane as a user sees it: the window's background, then a view tree on
// it. Shared by the drivers: the window paints its background with
// paintWindowBackground; the scripted driver writes PNG files.
#pragma once

#include <AppKit/AppKit.h>

#include <string>

#include <Result.h>

// Paints the window background over a box of the size at the origin of
// cr's user space.
void paintWindowBackground(cairo_t *cr, NSSize size);

// Paints the window background over the box of the view's frame size at
// the origin of cr's user space (y-down), then draws the view and its
// subviews there.
void drawPaneView(NSView *view, cairo_t *cr);

// The view as a PNG file at its frame's size, 1 pixel a point.
Status writePaneSnapshot(NSView *view, const std::string &path);
