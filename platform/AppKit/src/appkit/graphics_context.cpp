// NSGraphicsContext: the graphics state over a cairo context, and the
// per-thread current context.
#include <AppKit/NSGraphicsContext.h>

#include "foundation/fatal.h"

NS_REGISTER_CLASS(NSGraphicsContext, NSObject)
NS_SELECTORS(NSGraphicsContext, "currentContext", "setCurrentContext:", "saveGraphicsState",
             "restoreGraphicsState")

namespace {

thread_local NSGraphicsContext *currentOfThread = nullptr;

bool invertible(const cairo_matrix_t &matrix) {
    cairo_matrix_t copy = matrix;
    return cairo_matrix_invert(&copy) == CAIRO_STATUS_SUCCESS;
}

}  // namespace

NSGraphicsContext *NSGraphicsContext::graphicsContextWithCairoContext(cairo_t *cr) {
    NSGraphicsContext *context = NSGraphicsContext::alloc()->initWithCairoContext(cr);
    return context ? context->autorelease() : nil;
}

NSGraphicsContext *NSGraphicsContext::initWithCairoContext(cairo_t *cr) {
    if (!super::init() || !cr || cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        release();
        return nil;
    }
    cr_ = cairo_reference(cr);
    cairo_get_matrix(cr, &state_.transform);
    state_.viewTransform = state_.transform;
    return this;
}

NSGraphicsContext::~NSGraphicsContext() {
    if (cr_) cairo_destroy(cr_);
}

NSGraphicsContext *NSGraphicsContext::currentContext() { return currentOfThread; }

void NSGraphicsContext::setCurrentContext(NSGraphicsContext *context) {
    if (context) context->retain();
    NSGraphicsContext *previous = currentOfThread;
    currentOfThread = context;
    if (previous) previous->release();
}

void NSGraphicsContext::saveGraphicsState() {
    NSGraphicsContext *context = currentOfThread;
    if (!context) return ns_warn("+[NSGraphicsContext saveGraphicsState]: no current graphics context");
    context->saved_.push_back(context->state_);
}

void NSGraphicsContext::restoreGraphicsState() {
    NSGraphicsContext *context = currentOfThread;
    if (!context)
        return ns_warn("+[NSGraphicsContext restoreGraphicsState]: no current graphics context");
    if (context->saved_.empty())
        return ns_warn("+[NSGraphicsContext restoreGraphicsState]: no saved graphics state");
    context->state_ = context->saved_.back();
    context->saved_.pop_back();
}

void NSGraphicsContext::concatTransform(const cairo_matrix_t &transform) {
    cairo_matrix_t combined;
    cairo_matrix_multiply(&combined, &transform, &state_.transform);
    state_.transform = combined;
}

BOOL NSGraphicsContext::canDraw() const { return invertible(state_.transform) ? YES : NO; }

void NSGraphicsContext::enterView(NSView *view, const cairo_matrix_t &viewTransform) {
    state_.view = view;
    state_.viewTransform = viewTransform;
    state_.transform = viewTransform;
}

cairo_matrix_t NSGraphicsContext::userToViewTransform() const {
    cairo_matrix_t fromBase = state_.viewTransform;
    cairo_matrix_t toView;
    // A host never enters a view through a degenerate transform; should
    // one, its points are reported in the starting space.
    if (cairo_matrix_invert(&fromBase) != CAIRO_STATUS_SUCCESS) return state_.transform;
    cairo_matrix_multiply(&toView, &state_.transform, &fromBase);
    return toView;
}
