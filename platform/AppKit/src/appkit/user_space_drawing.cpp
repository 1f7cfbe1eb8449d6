#include "appkit/user_space_drawing.h"

UserSpaceDrawing::UserSpaceDrawing(NSGraphicsContext *context) {
    if (!context || !context->canDraw()) return;
    cr_ = context->cairoContext();
    cairo_save(cr_);
    cairo_set_matrix(cr_, &context->currentTransform());
    cairo_new_path(cr_);
}

UserSpaceDrawing::~UserSpaceDrawing() {
    if (cr_) cairo_restore(cr_);
}

void ns_cairo_set_color(cairo_t *cr, const NSColorComponents &color) {
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
}
