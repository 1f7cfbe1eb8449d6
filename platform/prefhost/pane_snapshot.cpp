#include "pane_snapshot.h"

#include <AppKit/AppKitRendering.h>

void paintWindowBackground(cairo_t *cr, NSSize size) {
    const NSColorComponents &background = NSColor::windowBackgroundColor()->components();
    cairo_save(cr);
    cairo_set_source_rgba(cr, background.red, background.green, background.blue, background.alpha);
    cairo_rectangle(cr, 0, 0, size.width, size.height);
    cairo_fill(cr);
    cairo_restore(cr);
}

void drawPaneView(NSView *view, cairo_t *cr) {
    paintWindowBackground(cr, view->frame().size);
    NSRenderViewTree(view, cr);
}

Status writePaneSnapshot(NSView *view, const std::string &path) {
    return NSRenderViewToPNG(view, NSColor::windowBackgroundColor(), path);
}
