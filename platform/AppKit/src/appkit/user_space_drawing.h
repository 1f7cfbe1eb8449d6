// Drawing straight to cairo in a graphics context's current user space.
#pragma once

#include <AppKit/NSGraphicsContext.h>

// Saves the cairo state and sets its matrix to the context's current
// transform; restores it when it goes. ok() is false when the transform is
// degenerate: then nothing may be drawn (cairo would go into an error
// state for good and drop all later drawing of the host).
class UserSpaceDrawing {
public:
    explicit UserSpaceDrawing(NSGraphicsContext *context);
    ~UserSpaceDrawing();
    UserSpaceDrawing(const UserSpaceDrawing &) = delete;
    UserSpaceDrawing &operator=(const UserSpaceDrawing &) = delete;

    bool ok() const { return cr_ != nullptr; }
    cairo_t *cr() const { return cr_; }

private:
    cairo_t *cr_ = nullptr;
};

void ns_cairo_set_color(cairo_t *cr, const NSColorComponents &color);
