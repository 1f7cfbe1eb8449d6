// NSBezierPath stroke and fill: the path goes to cairo in the current user
// space, and to the paint recorder when a test has one.
#include <AppKit/AppKitTesting.h>
#include <AppKit/NSBezierPath.h>
#include <AppKit/NSGraphicsContext.h>
#include <AppKit/NSView.h>

#include <cmath>

#include "foundation/fatal.h"
#include "appkit/user_space_drawing.h"

namespace {

// The platform's defaults for what the stand-in does not let a path set.
constexpr double kMiterLimit = 10.0;

cairo_line_cap_t cairoCap(NSLineCapStyle style) {
    switch (style) {
    case NSLineCapStyleRound: return CAIRO_LINE_CAP_ROUND;
    case NSLineCapStyleSquare: return CAIRO_LINE_CAP_SQUARE;
    default: return CAIRO_LINE_CAP_BUTT;
    }
}

void addToCairo(cairo_t *cr, const std::vector<NSBezierPath::Element> &elements) {
    for (const NSBezierPath::Element &element : elements) {
        const NSPoint *p = element.points;
        switch (element.kind) {
        case NSBezierPathElementMoveTo: cairo_move_to(cr, p[0].x, p[0].y); break;
        case NSBezierPathElementLineTo: cairo_line_to(cr, p[0].x, p[0].y); break;
        case NSBezierPathElementCurveTo:
            cairo_curve_to(cr, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
            break;
        case NSBezierPathElementClosePath: cairo_close_path(cr); break;
        }
    }
}

std::vector<NSTestingPathElement> recordedElements(const std::vector<NSBezierPath::Element> &elements,
                                                   const cairo_matrix_t &toView, bool inView) {
    std::vector<NSTestingPathElement> recorded;
    for (const NSBezierPath::Element &element : elements) {
        NSTestingPathElement copy{element.kind, {}};
        for (int i = 0; i < element.pointCount; ++i) {
            double x = element.points[i].x, y = element.points[i].y;
            if (inView) cairo_matrix_transform_point(&toView, &x, &y);
            copy.points.push_back(NSMakePoint(x, y));
        }
        recorded.push_back(std::move(copy));
    }
    return recorded;
}

double spanInView(const cairo_matrix_t &toView, double dx, double dy) {
    cairo_matrix_transform_distance(&toView, &dx, &dy);
    return std::hypot(dx, dy);
}

void record(NSTestingPaint::Kind kind, const NSBezierPath &path, NSGraphicsContext *context,
            bool reachedSurface) {
    NSTestingPaintRecorder *recorder = NSTestingPaintRecorder::active();
    if (!recorder) return;
    cairo_matrix_t toView = context->userToViewTransform();
    CGFloat width = path.lineWidth();
    NSView *view = context->drawingView();
    NSString *identifier = view ? view->identifier() : nil;
    recorder->add({
        kind,
        recordedElements(path.elements(), toView, false),
        recordedElements(path.elements(), toView, true),
        width,
        NSMakeSize(spanInView(toView, width, 0), spanInView(toView, 0, width)),
        path.lineCapStyle(),
        kind == NSTestingPaint::Kind::Stroke ? context->strokeColor() : context->fillColor(),
        identifier ? identifier->stdString() : std::string(),
        reachedSurface ? YES : NO,
    });
}

NSGraphicsContext *contextFor(const char *selector) {
    NSGraphicsContext *context = NSGraphicsContext::currentContext();
    if (!context) ns_warn("-[NSBezierPath %s]: no current graphics context", selector);
    return context;
}

// A stroke or a fill: the path into the current user space, painted there
// by paintOnCairo, then recorded (also when nothing reached the surface).
template <typename PaintOnCairo>
void paintPath(const NSBezierPath &path, NSTestingPaint::Kind kind, const char *selector,
               PaintOnCairo paintOnCairo) {
    NSGraphicsContext *context = contextFor(selector);
    if (!context) return;
    UserSpaceDrawing drawing(context);
    if (drawing.ok()) {
        addToCairo(drawing.cr(), path.elements());
        paintOnCairo(drawing.cr(), context);
    }
    record(kind, path, context, drawing.ok());
}

}  // namespace

void NSBezierPath::stroke() const {
    paintPath(*this, NSTestingPaint::Kind::Stroke, "stroke", [this](cairo_t *cr, NSGraphicsContext *context) {
        ns_cairo_set_color(cr, context->strokeColor());
        cairo_set_line_width(cr, lineWidth_);
        cairo_set_line_cap(cr, cairoCap(lineCapStyle()));
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_set_miter_limit(cr, kMiterLimit);
        cairo_stroke(cr);
    });
}

void NSBezierPath::fill() const {
    paintPath(*this, NSTestingPaint::Kind::Fill, "fill", [](cairo_t *cr, NSGraphicsContext *context) {
        ns_cairo_set_color(cr, context->fillColor());
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
    });
}
