// NSAffineTransform: matrix arithmetic, and concat onto the current context.
#include <AppKit/NSAffineTransform.h>
#include <AppKit/NSGraphicsContext.h>

#include <cmath>
#include <numbers>

#include "foundation/fatal.h"

NS_REGISTER_CLASS(NSAffineTransform, NSObject)
NS_SELECTORS(NSAffineTransform, "scaleBy:", "scaleXBy:yBy:", "translateXBy:yBy:",
             "rotateByDegrees:", "transformPoint:", "transformSize:", "transformStruct",
             "setTransformStruct:", "concat")

namespace {

// The receiver's matrix after `first` is applied before it.
NSAffineTransformStruct prepended(const NSAffineTransformStruct &first,
                                  const NSAffineTransformStruct &then) {
    return {
        first.m11 * then.m11 + first.m12 * then.m21,
        first.m11 * then.m12 + first.m12 * then.m22,
        first.m21 * then.m11 + first.m22 * then.m21,
        first.m21 * then.m12 + first.m22 * then.m22,
        first.tX * then.m11 + first.tY * then.m21 + then.tX,
        first.tX * then.m12 + first.tY * then.m22 + then.tY,
    };
}

}  // namespace

NSAffineTransform *NSAffineTransform::transform() { return NSAffineTransform::new_()->autorelease(); }

void NSAffineTransform::scaleXBy_yBy(CGFloat scaleX, CGFloat scaleY) {
    matrix_ = prepended({scaleX, 0, 0, scaleY, 0, 0}, matrix_);
}

void NSAffineTransform::translateXBy_yBy(CGFloat deltaX, CGFloat deltaY) {
    matrix_ = prepended({1, 0, 0, 1, deltaX, deltaY}, matrix_);
}

void NSAffineTransform::rotateByDegrees(CGFloat angle) {
    CGFloat radians = angle * std::numbers::pi / 180.0;
    CGFloat c = std::cos(radians), s = std::sin(radians);
    matrix_ = prepended({c, s, -s, c, 0, 0}, matrix_);
}

NSPoint NSAffineTransform::transformPoint(NSPoint point) const {
    return NSMakePoint(matrix_.m11 * point.x + matrix_.m21 * point.y + matrix_.tX,
                       matrix_.m12 * point.x + matrix_.m22 * point.y + matrix_.tY);
}

NSSize NSAffineTransform::transformSize(NSSize size) const {
    return NSMakeSize(matrix_.m11 * size.width + matrix_.m21 * size.height,
                      matrix_.m12 * size.width + matrix_.m22 * size.height);
}

void NSAffineTransform::concat() const {
    NSGraphicsContext *context = NSGraphicsContext::currentContext();
    if (!context) return ns_warn("-[NSAffineTransform concat]: no current graphics context");
    cairo_matrix_t matrix;
    cairo_matrix_init(&matrix, matrix_.m11, matrix_.m12, matrix_.m21, matrix_.m22, matrix_.tX,
                      matrix_.tY);
    context->concatTransform(matrix);
}
