// NSGraphicsContext.h: where drawing goes, over a cairo context.
//
// A context holds its own reference on the cairo context it draws into and
// a graphics state: the current transform (from the current user space to
// the cairo context's user space as it was when the context was made), the
// stroke and fill colours, and the view being drawn. saveGraphicsState and
// restoreGraphicsState push and pop that state on the current context.
//
// Each thread has its own current context, retained while it is current.
// A host makes one with graphicsContextWithCairoContext and makes it
// current around drawRect: calls (the renderer in AppKitRendering.h does).
#pragma once

#include <AppKit/NSColor.h>

#include <cairo.h>

#include <vector>

class NSView;

class NS_EXPORT NSGraphicsContext : public NSObject {
    NS_CLASS(NSGraphicsContext, NSObject)

public:
    // Autoreleased; nil for NULL or a cairo context already in an error state.
    static NSGraphicsContext *graphicsContextWithCairoContext(cairo_t *cr);
    // +1 from alloc; nil (the receiver released) as above.
    NSGraphicsContext *initWithCairoContext(cairo_t *cr);

    // The calling thread's current context, or nil. Borrowed.
    static NSGraphicsContext *currentContext();
    // Retains the context (nil clears) and releases the one it replaces.
    static void setCurrentContext(NSGraphicsContext *context);
    // Push and pop the current context's graphics state. Without a current
    // context, or popping more than was pushed, they warn and do nothing.
    static void saveGraphicsState();
    static void restoreGraphicsState();

    // Borrowed: lives as long as the receiver.
    cairo_t *cairoContext() const { return cr_; }

    const cairo_matrix_t &currentTransform() const { return state_.transform; }
    // The transform is applied to user coordinates first, then the current
    // transform, as NSAffineTransform's concat does.
    void concatTransform(const cairo_matrix_t &transform);
    // NO when the current transform collapses the plane (a zero scale, a
    // value that is not finite): drawing then leaves no mark, as on the
    // platform, and the cairo context is never handed such a matrix.
    BOOL canDraw() const;

    const NSColorComponents &strokeColor() const { return state_.stroke; }
    const NSColorComponents &fillColor() const { return state_.fill; }
    void setStrokeColor(const NSColorComponents &color) { state_.stroke = color; }
    void setFillColor(const NSColorComponents &color) { state_.fill = color; }

    // For hosts: drawing of the view starts. viewTransform maps the view's
    // own coordinates to the cairo context's user space at creation; it
    // becomes the current transform and the reference of "view space".
    // Part of the graphics state, so a saveGraphicsState before and a
    // restoreGraphicsState after bracket one view.
    void enterView(NSView *view, const cairo_matrix_t &viewTransform);
    // The view being drawn, or nil. Borrowed.
    NSView *drawingView() const { return state_.view; }
    // Maps the current user space to the drawing view's own coordinates
    // (to the context's starting space outside a view).
    cairo_matrix_t userToViewTransform() const;

protected:
    ~NSGraphicsContext() override;

private:
    struct GraphicsState {
        cairo_matrix_t transform;
        cairo_matrix_t viewTransform;
        NSView *view = nullptr;  // not retained: the renderer keeps it alive
        NSColorComponents stroke;
        NSColorComponents fill;
    };

    cairo_t *cr_ = nullptr;  // owned reference
    GraphicsState state_;
    std::vector<GraphicsState> saved_;
};
