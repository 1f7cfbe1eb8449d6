// AppKitTesting.h: test-only hooks into drawing, and the object runtime's
// (FoundationTesting.h). Not for system code.
#pragma once

#include <AppKit/NSBezierPath.h>
#include <AppKit/NSColor.h>
#include <Foundation/FoundationTesting.h>

#include <string>
#include <vector>

// One path element with its points (see elementAtIndex:associatedPoints:).
struct NSTestingPathElement {
    NSBezierPathElement kind;
    std::vector<NSPoint> points;
};

// One stroke or fill, as it reached the graphics context.
struct NSTestingPaint {
    enum class Kind { Stroke, Fill };
    Kind kind;
    // The path in the user space it was built in, and in the drawing view's
    // own coordinates (after the current transform).
    std::vector<NSTestingPathElement> userElements;
    std::vector<NSTestingPathElement> viewElements;
    // The line width as set, and what it spans in view space along the
    // user space's x and y axes (a non-uniform scale widens them apart).
    CGFloat userLineWidth;
    NSSize viewLineWidth;
    // The effective style: the path's own, or the default when it strokes.
    NSLineCapStyle lineCapStyle;
    NSColorComponents color;
    // The identifier of the view being drawn; empty outside a view or for a
    // view without one.
    std::string viewName;
    // NO when the transform was degenerate and nothing reached the surface.
    BOOL reachedSurface;
};

// While one lives, every stroke and fill on its thread is recorded in it
// (the innermost one, when they nest). Drawing goes on as usual.
class NS_EXPORT NSTestingPaintRecorder {
public:
    NSTestingPaintRecorder();
    ~NSTestingPaintRecorder();
    NSTestingPaintRecorder(const NSTestingPaintRecorder &) = delete;
    NSTestingPaintRecorder &operator=(const NSTestingPaintRecorder &) = delete;

    const std::vector<NSTestingPaint> &paints() const { return paints_; }
    void clear() { paints_.clear(); }

    // Used by the drawing code: the innermost recorder of the thread, or null.
    static NSTestingPaintRecorder *active();
    void add(NSTestingPaint paint) { paints_.push_back(std::move(paint)); }

private:
    std::vector<NSTestingPaint> paints_;
    NSTestingPaintRecorder *outer_;
};
