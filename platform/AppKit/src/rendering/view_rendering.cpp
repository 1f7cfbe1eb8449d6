// The renderer: a view tree into a cairo context, view by view.
#include <AppKit/AppKitRendering.h>
#include <AppKit/NSGraphicsContext.h>

#include <cmath>

namespace {

bool finiteFrame(NSRect frame) {
    return std::isfinite(frame.origin.x) && std::isfinite(frame.origin.y) &&
           std::isfinite(frame.size.width) && std::isfinite(frame.size.height);
}

// `parent` maps the superview's coordinates to the context's starting
// space; the result does the same for the view's own.
cairo_matrix_t viewTransform(const cairo_matrix_t &parent, NSRect frame, bool flipFromParent) {
    cairo_matrix_t transform = parent;
    cairo_matrix_translate(&transform, frame.origin.x, frame.origin.y);
    if (flipFromParent) {
        cairo_matrix_translate(&transform, 0, frame.size.height);
        cairo_matrix_scale(&transform, 1, -1);
    }
    return transform;
}

void clipToBounds(cairo_t *cr, const cairo_matrix_t &transform, NSRect bounds) {
    cairo_set_matrix(cr, &transform);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, bounds.size.width, bounds.size.height);
    cairo_clip(cr);
}

void drawView(NSGraphicsContext *context, NSView *view, NSRect frame, const cairo_matrix_t &parent,
              bool parentFlipped) {
    if (!finiteFrame(frame) || NSIsEmptyRect(frame)) return;
    bool flipped = view->isFlipped();
    cairo_matrix_t transform = viewTransform(parent, frame, flipped != parentFlipped);
    cairo_t *cr = context->cairoContext();
    cairo_save(cr);
    clipToBounds(cr, transform, view->bounds());
    NSGraphicsContext::saveGraphicsState();
    context->enterView(view, transform);
    view->drawRect(view->bounds());
    NSGraphicsContext::restoreGraphicsState();
    view->setNeedsDisplay(NO);
    for (NSView *subview : view->subviews()) drawView(context, subview, subview->frame(), transform, flipped);
    cairo_restore(cr);
}

}  // namespace

void NSRenderViewTree(NSView *view, cairo_t *cr) {
    if (!view || !cr) return;
    NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
    NSGraphicsContext *context = NSGraphicsContext::graphicsContextWithCairoContext(cr);
    if (context) {
        NSGraphicsContext *previous = NSGraphicsContext::currentContext();
        if (previous) previous->retain();
        NSGraphicsContext::setCurrentContext(context);
        // The cairo space is y-down: to the root it is a flipped superview.
        NSRect frame = NSRect{NSZeroPoint, view->frame().size};
        drawView(context, view, frame, context->currentTransform(), true);
        NSGraphicsContext::setCurrentContext(previous);
        if (previous) previous->release();
    }
    pool->drain();
}
