// NSBezierPath.h: a path of lines and cubic curves, stroked or filled in
// the current graphics context.
//
// Points and the line width are in the current user space, so the current
// transform scales both. A path that sets no cap style of its own strokes
// with the class-wide default (defaultLineCapStyle), read when it strokes;
// setting the default changes every such path from then on, in the whole
// process. Without a current graphics context, stroke and fill warn and
// draw nothing. A line or curve with no current point, or an element index
// out of range, stops the process, as the platform raises.
#pragma once

#include <Foundation/Foundation.h>

#include <optional>
#include <vector>

enum NSLineCapStyle : NSUInteger {
    NSLineCapStyleButt = 0,
    NSLineCapStyleRound = 1,
    NSLineCapStyleSquare = 2,
    NSButtLineCapStyle = NSLineCapStyleButt,
    NSRoundLineCapStyle = NSLineCapStyleRound,
    NSSquareLineCapStyle = NSLineCapStyleSquare,
};

enum NSBezierPathElement : NSUInteger {
    NSBezierPathElementMoveTo = 0,
    NSBezierPathElementLineTo = 1,
    NSBezierPathElementCurveTo = 2,
    NSBezierPathElementClosePath = 3,
    NSMoveToBezierPathElement = NSBezierPathElementMoveTo,
    NSLineToBezierPathElement = NSBezierPathElementLineTo,
    NSCurveToBezierPathElement = NSBezierPathElementCurveTo,
    NSClosePathBezierPathElement = NSBezierPathElementClosePath,
};

class NS_EXPORT NSBezierPath : public NSObject {
    NS_CLASS(NSBezierPath, NSObject)

public:
    // Autoreleased.
    static NSBezierPath *bezierPath();
    static NSBezierPath *bezierPathWithRect(NSRect rect);
    static NSBezierPath *bezierPathWithOvalInRect(NSRect rect);
    static NSBezierPath *bezierPathWithRoundedRect_xRadius_yRadius(NSRect rect, CGFloat xRadius,
                                                                  CGFloat yRadius);

    // Butt until set.
    static NSLineCapStyle defaultLineCapStyle();
    static void setDefaultLineCapStyle(NSLineCapStyle style);

    void moveToPoint(NSPoint point);
    void lineToPoint(NSPoint point);
    void curveToPoint_controlPoint1_controlPoint2(NSPoint endPoint, NSPoint controlPoint1,
                                                  NSPoint controlPoint2);
    // Ends the subpath; the current point goes back to its start.
    void closePath();
    void appendBezierPathWithRect(NSRect rect);
    void appendBezierPathWithOvalInRect(NSRect rect);

    BOOL isEmpty() const { return elements_.empty() ? YES : NO; }
    // The end of the last element; the origin for an empty path.
    NSPoint currentPoint() const { return current_.value_or(NSZeroPoint); }
    NSInteger elementCount() const { return static_cast<NSInteger>(elements_.size()); }
    // The element's kind; its points go to `points` (which may be null):
    // one for move and line, three for a curve (control point 1, control
    // point 2, end point), none for close.
    NSBezierPathElement elementAtIndex_associatedPoints(NSInteger index, NSPoint *points) const;

    // 1.0 when new.
    CGFloat lineWidth() const { return lineWidth_; }
    void setLineWidth(CGFloat width) { lineWidth_ = width; }
    // The path's own style, or the default when it has none.
    NSLineCapStyle lineCapStyle() const;
    void setLineCapStyle(NSLineCapStyle style) { lineCap_ = style; }

    // In the current context's stroke / fill colour.
    void stroke() const;
    void fill() const;

    struct Element {
        NSBezierPathElement kind;
        NSPoint points[3];
        int pointCount;
    };
    const std::vector<Element> &elements() const { return elements_; }

private:
    void requireCurrentPoint(const char *selector) const;

    std::vector<Element> elements_;
    std::optional<NSPoint> current_;
    NSPoint subpathStart_{};
    CGFloat lineWidth_ = 1.0;
    std::optional<NSLineCapStyle> lineCap_;
};
