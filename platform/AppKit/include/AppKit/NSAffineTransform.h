// NSAffineTransform.h: a 2-D affine transform.
//
// A point (x, y) maps to (m11 x + m21 y + tX, m12 x + m22 y + tY). Each
// scale and translate applies before what the transform already holds:
// scaling by (sx, sy) and then translating by (5, 5) maps (x, y) to
// ((x + 5) sx, (y + 5) sy). concat applies the transform to the current
// graphics context's user space in the same way.
#pragma once

#include <Foundation/Foundation.h>

struct NSAffineTransformStruct {
    CGFloat m11 = 1;
    CGFloat m12 = 0;
    CGFloat m21 = 0;
    CGFloat m22 = 1;
    CGFloat tX = 0;
    CGFloat tY = 0;
};

class NS_EXPORT NSAffineTransform : public NSObject {
    NS_CLASS(NSAffineTransform, NSObject)

public:
    // The identity, autoreleased.
    static NSAffineTransform *transform();

    void scaleBy(CGFloat scale) { scaleXBy_yBy(scale, scale); }
    void scaleXBy_yBy(CGFloat scaleX, CGFloat scaleY);
    void translateXBy_yBy(CGFloat deltaX, CGFloat deltaY);
    void rotateByDegrees(CGFloat angle);

    NSPoint transformPoint(NSPoint point) const;
    // A size is a distance: the translation does not apply.
    NSSize transformSize(NSSize size) const;
    NSAffineTransformStruct transformStruct() const { return matrix_; }
    void setTransformStruct(NSAffineTransformStruct matrix) { matrix_ = matrix; }

    // Onto the current graphics context's transform; without a current
    // context it warns and does nothing.
    void concat() const;

private:
    NSAffineTransformStruct matrix_;
};
