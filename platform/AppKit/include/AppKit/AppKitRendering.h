// AppKitRendering.h: for hosts. Draws a view tree as the platform's window
// server would, into a cairo context or an image, and writes PNG files.
//
// Views use AppKit's unflipped coordinates (origin bottom-left, y up);
// cairo's run y-down. The renderer maps each view's own coordinates onto
// its frame in its superview (turning y over where a view's isFlipped
// differs from its superview's), clips it to its bounds, makes a graphics
// context current, and calls drawRect: with the bounds inside a saved
// graphics state; then its subviews, in order, on top. A view with an
// empty frame is skipped with its subviews. Drawn views no longer need
// display. Every call runs in an autorelease pool of its own.
#pragma once

#include <AppKit/NSColor.h>
#include <AppKit/NSView.h>

#include <Result.h>
#include <cairo.h>

#include <string>

// Draws the view and its subviews with the view's bottom-left corner at
// the bottom of a box of its frame's size whose top-left is the origin of
// cr's current user space (y-down, as a GTK drawing area's is). The
// view's own frame origin does not matter. Nothing for nil.
NS_EXPORT void NSRenderViewTree(NSView *view, cairo_t *cr);

// A new ARGB image of the view's frame size, 1 pixel a point (sizes
// rounded up), filled with the background (transparent for nil), with the
// view tree drawn on it. The caller destroys it. A failure for an empty
// frame or one larger than 32767 pixels either way.
NS_EXPORT Result<cairo_surface_t *> NSRenderCreateViewImage(NSView *view, NSColor *background);

// Writes the image as a PNG file; a failure ("cannot write PATH: REASON")
// when the file cannot be written, and a file it made is removed again.
NS_EXPORT Status NSRenderWritePNG(cairo_surface_t *image, const std::string &path);

// Both: the view tree as a PNG file.
NS_EXPORT Status NSRenderViewToPNG(NSView *view, NSColor *background, const std::string &path);
