// NSGeometry.h: points, sizes and rectangles, in the platform's unflipped
// coordinates (origin bottom-left, y up).
#pragma once

#include <Foundation/NSObjCRuntime.h>

struct NSPoint {
    CGFloat x = 0;
    CGFloat y = 0;
};
struct NSSize {
    CGFloat width = 0;
    CGFloat height = 0;
};
struct NSRect {
    NSPoint origin;
    NSSize size;
};

inline NSPoint NSMakePoint(CGFloat x, CGFloat y) { return NSPoint{x, y}; }
inline NSSize NSMakeSize(CGFloat w, CGFloat h) { return NSSize{w, h}; }
inline NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
    return NSRect{NSPoint{x, y}, NSSize{w, h}};
}

inline constexpr NSPoint NSZeroPoint{};
inline constexpr NSSize NSZeroSize{};
inline constexpr NSRect NSZeroRect{};

inline CGFloat NSMinX(NSRect r) { return r.origin.x; }
inline CGFloat NSMinY(NSRect r) { return r.origin.y; }
inline CGFloat NSMaxX(NSRect r) { return r.origin.x + r.size.width; }
inline CGFloat NSMaxY(NSRect r) { return r.origin.y + r.size.height; }
inline CGFloat NSMidX(NSRect r) { return r.origin.x + r.size.width / 2; }
inline CGFloat NSMidY(NSRect r) { return r.origin.y + r.size.height / 2; }
inline CGFloat NSWidth(NSRect r) { return r.size.width; }
inline CGFloat NSHeight(NSRect r) { return r.size.height; }
inline BOOL NSEqualPoints(NSPoint a, NSPoint b) { return a.x == b.x && a.y == b.y; }
inline BOOL NSEqualSizes(NSSize a, NSSize b) { return a.width == b.width && a.height == b.height; }
inline BOOL NSEqualRects(NSRect a, NSRect b) {
    return NSEqualPoints(a.origin, b.origin) && NSEqualSizes(a.size, b.size);
}
inline BOOL NSIsEmptyRect(NSRect r) { return !(r.size.width > 0 && r.size.height > 0); }
