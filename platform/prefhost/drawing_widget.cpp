// A view that draws (the pane's own classes, such as the curve view) as a
// GtkDrawingArea: its draw signal renders the view and its subviews with
// the stand-in's renderer, whose y-down box matches the area's cairo
// context. A redraw request (setNeedsDisplay: YES anywhere in the view's
// tree) repaints the area on the next refresh.
#include "view_widget.h"

#include <AppKit/AppKitRendering.h>

namespace {

bool treeNeedsDisplay(NSView *view) {
    if (view->needsDisplay()) return true;
    for (NSView *subview : view->subviews())
        if (treeNeedsDisplay(subview)) return true;
    return false;
}

class DrawingWidget : public ViewWidget {
public:
    explicit DrawingWidget(NSView *view) : ViewWidget(gtk_drawing_area_new()), view_(view) {
        g_signal_connect(widget(), "draw", G_CALLBACK(onDraw), this);
    }

    void refresh() override {
        if (treeNeedsDisplay(view_)) gtk_widget_queue_draw(widget());
    }

private:
    static gboolean onDraw(GtkWidget *, cairo_t *cr, gpointer data) {
        // The renderer runs drawRect: in an autorelease pool of its own.
        NSRenderViewTree(static_cast<DrawingWidget *>(data)->view_, cr);
        return FALSE;
    }

    NSView *view_;
};

}  // namespace

std::unique_ptr<ViewWidget> makeDrawingWidget(NSView *view) { return std::make_unique<DrawingWidget>(view); }
