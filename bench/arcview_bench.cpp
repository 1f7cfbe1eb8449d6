// ArcView's drawRect: of a 1000 x 1000 view into an image surface, as the
// renderer calls it (a saved graphics state around it), median and p99;
// and the whole render of the view, clearing included, for comparison.
#include "timing.h"

#include <AppKit/AppKitRendering.h>

#include "ArcView.h"

using namespace glissor_bench;

namespace {

void clear(cairo_t *cr) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_restore(cr);
}

}  // namespace

int main() {
    NSAutoreleasePool *outer = NSAutoreleasePool::alloc()->init();
    ArcView *view = ArcView::alloc()->initWithFrame(NSMakeRect(0, 0, 1000, 1000))->autorelease();
    cairo_surface_t *image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1000, 1000);
    cairo_t *cr = cairo_create(image);
    // The view's coordinates: y up from the bottom-left corner.
    cairo_translate(cr, 0, 1000);
    cairo_scale(cr, 1, -1);
    NSGraphicsContext::setCurrentContext(NSGraphicsContext::graphicsContextWithCairoContext(cr));

    report("ArcView drawRect: 1000 x 1000", measure(2000, [&] {
               NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
               NSGraphicsContext::saveGraphicsState();
               view->drawRect(view->bounds());
               NSGraphicsContext::restoreGraphicsState();
               pool->drain();
           }));
    NSGraphicsContext::setCurrentContext(nil);
    cairo_destroy(cr);

    cairo_t *host = cairo_create(image);
    report("NSRenderViewTree(ArcView) 1000 x 1000, cleared", measure(2000, [&] {
               clear(host);
               NSRenderViewTree(view, host);
           }));
    cairo_destroy(host);
    cairo_surface_destroy(image);
    outer->drain();
    return 0;
}
