// NSBezierPath: building paths, and the class-wide default cap style.
#include <AppKit/NSBezierPath.h>

#include <atomic>
#include <cmath>

#include "foundation/fatal.h"

NS_REGISTER_CLASS(NSBezierPath, NSObject)
NS_SELECTORS(NSBezierPath, "bezierPath", "bezierPathWithRect:", "bezierPathWithOvalInRect:",
             "bezierPathWithRoundedRect:xRadius:yRadius:", "defaultLineCapStyle",
             "setDefaultLineCapStyle:", "moveToPoint:", "lineToPoint:",
             "curveToPoint:controlPoint1:controlPoint2:", "closePath", "appendBezierPathWithRect:",
             "appendBezierPathWithOvalInRect:", "isEmpty", "currentPoint", "elementCount",
             "elementAtIndex:associatedPoints:", "lineWidth", "setLineWidth:", "lineCapStyle",
             "setLineCapStyle:", "stroke", "fill")

namespace {

std::atomic<NSLineCapStyle> defaultCap{NSLineCapStyleButt};

// A quarter ellipse as one cubic: the usual control distance 0.5523.
constexpr CGFloat kQuarterArc = 0.5522847498307936;

}  // namespace

NSBezierPath *NSBezierPath::bezierPath() { return NSBezierPath::new_()->autorelease(); }

NSBezierPath *NSBezierPath::bezierPathWithRect(NSRect rect) {
    NSBezierPath *path = bezierPath();
    path->appendBezierPathWithRect(rect);
    return path;
}

NSBezierPath *NSBezierPath::bezierPathWithOvalInRect(NSRect rect) {
    NSBezierPath *path = bezierPath();
    path->appendBezierPathWithOvalInRect(rect);
    return path;
}

NSBezierPath *NSBezierPath::bezierPathWithRoundedRect_xRadius_yRadius(NSRect rect, CGFloat xRadius,
                                                                     CGFloat yRadius) {
    NSBezierPath *path = bezierPath();
    CGFloat rx = std::fmin(std::fmax(xRadius, 0), NSWidth(rect) / 2);
    CGFloat ry = std::fmin(std::fmax(yRadius, 0), NSHeight(rect) / 2);
    if (!(rx > 0 && ry > 0)) {
        path->appendBezierPathWithRect(rect);
        return path;
    }
    CGFloat left = NSMinX(rect), right = NSMaxX(rect), bottom = NSMinY(rect), top = NSMaxY(rect);
    CGFloat kx = rx * kQuarterArc, ky = ry * kQuarterArc;
    path->moveToPoint(NSMakePoint(left + rx, bottom));
    path->lineToPoint(NSMakePoint(right - rx, bottom));
    path->curveToPoint_controlPoint1_controlPoint2(NSMakePoint(right, bottom + ry),
                                                   NSMakePoint(right - rx + kx, bottom),
                                                   NSMakePoint(right, bottom + ry - ky));
    path->lineToPoint(NSMakePoint(right, top - ry));
    path->curveToPoint_controlPoint1_controlPoint2(NSMakePoint(right - rx, top),
                                                   NSMakePoint(right, top - ry + ky),
                                                   NSMakePoint(right - rx + kx, top));
    path->lineToPoint(NSMakePoint(left + rx, top));
    path->curveToPoint_controlPoint1_controlPoint2(NSMakePoint(left, top - ry),
                                                   NSMakePoint(left + rx - kx, top),
                                                   NSMakePoint(left, top - ry + ky));
    path->lineToPoint(NSMakePoint(left, bottom + ry));
    path->curveToPoint_controlPoint1_controlPoint2(NSMakePoint(left + rx, bottom),
                                                   NSMakePoint(left, bottom + ry - ky),
                                                   NSMakePoint(left + rx - kx, bottom));
    path->closePath();
    return path;
}

NSLineCapStyle NSBezierPath::defaultLineCapStyle() { return defaultCap.load(); }

void NSBezierPath::setDefaultLineCapStyle(NSLineCapStyle style) { defaultCap.store(style); }

NSLineCapStyle NSBezierPath::lineCapStyle() const { return lineCap_.value_or(defaultLineCapStyle()); }

void NSBezierPath::requireCurrentPoint(const char *selector) const {
    if (!current_) ns_fatal("-[NSBezierPath %s]: no current point", selector);
}

void NSBezierPath::moveToPoint(NSPoint point) {
    elements_.push_back({NSBezierPathElementMoveTo, {point}, 1});
    current_ = point;
    subpathStart_ = point;
}

void NSBezierPath::lineToPoint(NSPoint point) {
    requireCurrentPoint("lineToPoint:");
    elements_.push_back({NSBezierPathElementLineTo, {point}, 1});
    current_ = point;
}

void NSBezierPath::curveToPoint_controlPoint1_controlPoint2(NSPoint endPoint, NSPoint controlPoint1,
                                                            NSPoint controlPoint2) {
    requireCurrentPoint("curveToPoint:controlPoint1:controlPoint2:");
    elements_.push_back({NSBezierPathElementCurveTo, {controlPoint1, controlPoint2, endPoint}, 3});
    current_ = endPoint;
}

void NSBezierPath::closePath() {
    if (!current_) return;
    elements_.push_back({NSBezierPathElementClosePath, {}, 0});
    current_ = subpathStart_;
}

void NSBezierPath::appendBezierPathWithRect(NSRect rect) {
    moveToPoint(rect.origin);
    lineToPoint(NSMakePoint(NSMaxX(rect), NSMinY(rect)));
    lineToPoint(NSMakePoint(NSMaxX(rect), NSMaxY(rect)));
    lineToPoint(NSMakePoint(NSMinX(rect), NSMaxY(rect)));
    closePath();
}

void NSBezierPath::appendBezierPathWithOvalInRect(NSRect rect) {
    CGFloat rx = NSWidth(rect) / 2, ry = NSHeight(rect) / 2;
    CGFloat cx = NSMidX(rect), cy = NSMidY(rect);
    CGFloat kx = rx * kQuarterArc, ky = ry * kQuarterArc;
    moveToPoint(NSMakePoint(cx + rx, cy));
    curveToPoint_controlPoint1_controlPoint2(NSMakePoint(cx, cy + ry), NSMakePoint(cx + rx, cy + ky),
                                             NSMakePoint(cx + kx, cy + ry));
    curveToPoint_controlPoint1_controlPoint2(NSMakePoint(cx - rx, cy), NSMakePoint(cx - kx, cy + ry),
                                             NSMakePoint(cx - rx, cy + ky));
    curveToPoint_controlPoint1_controlPoint2(NSMakePoint(cx, cy - ry), NSMakePoint(cx - rx, cy - ky),
                                             NSMakePoint(cx - kx, cy - ry));
    curveToPoint_controlPoint1_controlPoint2(NSMakePoint(cx + rx, cy), NSMakePoint(cx + kx, cy - ry),
                                             NSMakePoint(cx + rx, cy - ky));
    closePath();
}

NSBezierPathElement NSBezierPath::elementAtIndex_associatedPoints(NSInteger index,
                                                                  NSPoint *points) const {
    if (index < 0 || index >= elementCount())
        ns_fatal("-[NSBezierPath elementAtIndex:associatedPoints:]: index %ld beyond bounds [0 .. %ld]",
                 index, elementCount() - 1);
    const Element &element = elements_[static_cast<size_t>(index)];
    for (int i = 0; points && i < element.pointCount; ++i) points[i] = element.points[i];
    return element.kind;
}
