// ArcView: the curve's geometry on the paint record, in drawing space and in
// view space, and the pixels it leaves.
#include <AppKit/AppKitRendering.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "ArcView.h"
#include "appkit_test_support.h"

namespace {

// Start, first control point, second control point, end.
struct Curve {
    NSPoint start, control1, control2, end;
};

// Drawing space to view space: the 110 x 110 space stretched to the size.
NSPoint inView(NSPoint p, NSSize size) {
    return NSMakePoint((p.x + 5) * size.width / 110.0, (p.y + 5) * size.height / 110.0);
}

Curve inView(const Curve &c, NSSize size) {
    return {inView(c.start, size), inView(c.control1, size), inView(c.control2, size), inView(c.end, size)};
}

NSPoint pointOn(const Curve &c, double t) {
    double u = 1 - t;
    double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
    return NSMakePoint(a * c.start.x + b * c.control1.x + d * c.control2.x + e * c.end.x,
                       a * c.start.y + b * c.control1.y + d * c.control2.y + e * c.end.y);
}

double distanceToSegment(NSPoint p, NSPoint a, NSPoint b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared : 0;
    t = std::fmax(0, std::fmin(1, t));
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

void expectPoint(NSPoint actual, NSPoint expected, const char *what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4) << what << " x";
    EXPECT_NEAR(actual.y, expected.y, 1e-4) << what << " y";
}

// The recorded elements are exactly one move and one cubic.
void expectCurve(const std::vector<NSTestingPathElement> &elements, const Curve &expected) {
    ASSERT_EQ(elements.size(), 2u);
    ASSERT_EQ(elements[0].kind, NSBezierPathElementMoveTo);
    ASSERT_EQ(elements[1].kind, NSBezierPathElementCurveTo);
    ASSERT_EQ(elements[1].points.size(), 3u);
    expectPoint(elements[0].points[0], expected.start, "start");
    expectPoint(elements[1].points[0], expected.control1, "control point 1");
    expectPoint(elements[1].points[1], expected.control2, "control point 2");
    expectPoint(elements[1].points[2], expected.end, "end");
}

struct Rendering {
    std::vector<NSTestingPaint> paints;
    cairo_surface_t *image = nullptr;
    ~Rendering() {
        if (image) cairo_surface_destroy(image);
    }
    // (x, y) in view coordinates, y up; the pixel whose centre is nearest.
    uint32_t pixelAt(double x, double y) const {
        int column = static_cast<int>(std::floor(x));
        int row = cairo_image_surface_get_height(image) - 1 - static_cast<int>(std::floor(y));
        const unsigned char *data = cairo_image_surface_get_data(image);
        const unsigned char *line = data + row * cairo_image_surface_get_stride(image);
        return reinterpret_cast<const uint32_t *>(line)[column];
    }
};

uint32_t alphaOf(uint32_t argb) { return argb >> 24; }
uint32_t redOf(uint32_t argb) { return (argb >> 16) & 0xff; }
uint32_t greenOf(uint32_t argb) { return (argb >> 8) & 0xff; }
uint32_t blueOf(uint32_t argb) { return argb & 0xff; }

bool isOpaqueOrange(uint32_t argb) {
    return alphaOf(argb) == 255 && redOf(argb) == 255 && greenOf(argb) >= 127 && greenOf(argb) <= 128 &&
           blueOf(argb) == 0;
}

class ArcViewTest : public AppKitTest {
protected:
    void SetUp() override {
        AppKitTest::SetUp();
        // The default cap style is class-wide: every test starts from the platform's.
        NSBezierPath::setDefaultLineCapStyle(NSLineCapStyleButt);
    }

    static ArcView *makeView(double width, double height) {
        ArcView *view = ArcView::alloc()->initWithFrame(NSMakeRect(0, 0, width, height));
        return view ? view->autorelease() : nil;
    }
    static NSSlider *makeSlider(double maxValue) {
        NSSlider *slider = NSSlider::alloc()->initWithFrame(NSMakeRect(0, 0, 100, 20))->autorelease();
        slider->setMaxValue(maxValue);
        return slider;
    }

    static std::unique_ptr<Rendering> render(NSView *view) {
        auto rendering = std::make_unique<Rendering>();
        NSTestingPaintRecorder recorder;
        Result<cairo_surface_t *> image = NSRenderCreateViewImage(view, nil);
        EXPECT_TRUE(image) << image.message();
        rendering->image = image ? *image : nullptr;
        rendering->paints = recorder.paints();
        return rendering;
    }

    // The one stroke a render of the view records.
    static NSTestingPaint strokeOf(NSView *view) {
        auto rendering = render(view);
        EXPECT_EQ(rendering->paints.size(), 1u) << "the view draws one curve and nothing else";
        return rendering->paints.empty() ? NSTestingPaint{} : rendering->paints[0];
    }
};

}  // namespace

TEST_F(ArcViewTest, AFreshViewDrawsTheMiddleCurveInOrangeAndLeavesRoundCapsAsTheDefault) {
    ArcView *view = makeView(110, 110);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->mySpeed, 0.5f);
    EXPECT_EQ(view->myAccel, 0.5f);
    EXPECT_EQ(view->theSpeed, nullptr);
    EXPECT_TRUE(view->needsDisplay());
    view->setIdentifier(NSSTR("arcView"));

    NSTestingPaint stroke = strokeOf(view);
    EXPECT_EQ(stroke.kind, NSTestingPaint::Kind::Stroke);
    Curve curve{{0, 0}, {50, 0}, {100, 25}, {100, 50}};
    expectCurve(stroke.userElements, curve);
    expectCurve(stroke.viewElements, {{5, 5}, {55, 5}, {105, 30}, {105, 55}});
    EXPECT_EQ(stroke.userLineWidth, 6.0);
    EXPECT_NEAR(stroke.viewLineWidth.width, 6.0, 1e-6);
    EXPECT_NEAR(stroke.viewLineWidth.height, 6.0, 1e-6);
    EXPECT_EQ(stroke.lineCapStyle, NSLineCapStyleRound);
    EXPECT_EQ(stroke.color.red, 1.0);
    EXPECT_EQ(stroke.color.green, 0.5);
    EXPECT_EQ(stroke.color.blue, 0.0);
    EXPECT_EQ(stroke.color.alpha, 1.0);
    EXPECT_EQ(stroke.viewName, "arcView");
    EXPECT_TRUE(stroke.reachedSurface);
    EXPECT_FALSE(view->needsDisplay());

    // The view set the class-wide default: it stays, and a path of anyone's
    // that sets no style of its own now strokes round.
    EXPECT_EQ(NSBezierPath::defaultLineCapStyle(), NSLineCapStyleRound);
    EXPECT_EQ(NSBezierPath::bezierPath()->lineCapStyle(), NSLineCapStyleRound);
}

TEST_F(ArcViewTest, TheSlidersShapeTheCurve) {
    ArcView *view = makeView(220, 110);
    NSSlider *speed = makeSlider(5);
    NSSlider *accel = makeSlider(2);
    view->theSpeed = speed;
    view->theAccel = accel;
    struct Case {
        double speedValue, accelValue;
        float mySpeed, myAccel;
        Curve curve;
        const char *what;
    };
    const Case cases[] = {
        {5, 2, 1.0f, 1.0f, {{0, 0}, {100, 0}, {100, 0}, {100, 100}}, "both sliders at their maximum"},
        {0, 1, 0.0f, 0.5f, {{0, 0}, {50, 0}, {100, 0}, {100, 0}}, "speed 0: flat along the bottom"},
        {2.5, 0, 0.5f, 0.0f, {{0, 0}, {0, 0}, {100, 50}, {100, 50}}, "accel 0: controls on the ends"},
        {2.5, 2, 0.5f, 1.0f, {{0, 0}, {100, 0}, {100, 0}, {100, 50}}, "accel 1: hugs the bottom"},
        {1, 0.5, 0.2f, 0.25f, {{0, 0}, {25, 0}, {100, 15}, {100, 20}}, "speed 0.2, accel 0.25"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        speed->setDoubleValue(c.speedValue);
        accel->setDoubleValue(c.accelValue);
        render(view);
        ASSERT_FALSE(view->needsDisplay());
        // Sent by name, as a control connected in the interface file sends it.
        view->performSelector_withObject("updateCurve:", accel);
        EXPECT_TRUE(view->needsDisplay());
        EXPECT_EQ(view->mySpeed, c.mySpeed);
        EXPECT_EQ(view->myAccel, c.myAccel);
        NSTestingPaint stroke = strokeOf(view);
        expectCurve(stroke.userElements, c.curve);
        expectCurve(stroke.viewElements, inView(c.curve, NSMakeSize(220, 110)));
    }
    // Flat means on the bottom edge of the drawing space: y = 5 in view space here.
    speed->setDoubleValue(0);
    view->updateCurve(nil);
    for (const NSTestingPathElement &element : strokeOf(view).viewElements)
        for (NSPoint p : element.points) EXPECT_NEAR(p.y, 5.0, 1e-9);
}

TEST_F(ArcViewTest, ASliderOutletThatIsNotSetReadsAsZero) {
    ArcView *view = makeView(110, 110);
    NSSlider *accel = makeSlider(2);
    accel->setDoubleValue(2);
    view->theAccel = accel;
    view->updateCurve(accel);
    EXPECT_EQ(view->mySpeed, 0.0f);
    EXPECT_EQ(view->myAccel, 1.0f);

    view->theAccel = nullptr;
    NSSlider *speed = makeSlider(5);
    speed->setDoubleValue(5);
    view->theSpeed = speed;
    view->updateCurve(nil);
    EXPECT_EQ(view->mySpeed, 1.0f);
    EXPECT_EQ(view->myAccel, 0.0f);
    expectCurve(strokeOf(view).userElements, {{0, 0}, {0, 0}, {100, 100}, {100, 100}});
}

TEST_F(ArcViewTest, ResizingStretchesTheCurveAndItsMargin) {
    ArcView *view = makeView(110, 110);
    Curve curve{{0, 0}, {50, 0}, {100, 25}, {100, 50}};
    view->setFrameSize(NSMakeSize(330, 55));
    EXPECT_TRUE(view->needsDisplay());
    NSTestingPaint stroke = strokeOf(view);
    expectCurve(stroke.userElements, curve);
    expectCurve(stroke.viewElements, {{15, 2.5}, {165, 2.5}, {315, 15}, {315, 27.5}});
    // The width is in drawing-space units: it stretches with the view.
    EXPECT_EQ(stroke.userLineWidth, 6.0);
    EXPECT_NEAR(stroke.viewLineWidth.width, 18.0, 1e-5);
    EXPECT_NEAR(stroke.viewLineWidth.height, 3.0, 1e-5);

    // A size that 110 does not divide, and an origin that plays no part.
    view->setFrame(NSMakeRect(40, 70, 100, 50));
    stroke = strokeOf(view);
    expectCurve(stroke.viewElements, inView(curve, NSMakeSize(100, 50)));
    EXPECT_NEAR(stroke.viewLineWidth.width, 6.0 * 100 / 110, 1e-5);
    EXPECT_NEAR(stroke.viewLineWidth.height, 6.0 * 50 / 110, 1e-5);
}

TEST_F(ArcViewTest, OrangePixelsLieOnTheCurveWithRoundEndsAndNowhereElse) {
    for (double side : {110.0, 220.0}) {
        SCOPED_TRACE(side);
        ArcView *view = makeView(side, side);
        auto rendering = render(view);
        ASSERT_NE(rendering->image, nullptr);
        Curve curve = inView(Curve{{0, 0}, {50, 0}, {100, 25}, {100, 50}}, NSMakeSize(side, side));
        double halfWidth = 3 * side / 110;
        std::vector<NSPoint> polyline;
        for (int i = 0; i <= 400; ++i) polyline.push_back(pointOn(curve, i / 400.0));

        // A pixel reaches up to 0.71 from its centre; cairo flattens curves to 0.1.
        const double edge = 0.85;
        int inside = 0, outside = 0;
        for (int row = 0; row < static_cast<int>(side); ++row) {
            for (int column = 0; column < static_cast<int>(side); ++column) {
                NSPoint centre = NSMakePoint(column + 0.5, row + 0.5);
                double distance = INFINITY;
                for (size_t i = 1; i < polyline.size(); ++i)
                    distance = std::fmin(distance, distanceToSegment(centre, polyline[i - 1], polyline[i]));
                uint32_t pixel = rendering->pixelAt(centre.x, centre.y);
                if (distance <= halfWidth - edge) {
                    ++inside;
                    EXPECT_TRUE(isOpaqueOrange(pixel)) << "on the curve at " << centre.x << "," << centre.y;
                } else if (distance >= halfWidth + edge) {
                    ++outside;
                    EXPECT_EQ(pixel, 0u) << "off the curve at " << centre.x << "," << centre.y;
                } else {
                    // The antialiased edge: orange, partly covering.
                    EXPECT_EQ(blueOf(pixel), 0u);
                    EXPECT_EQ(redOf(pixel), alphaOf(pixel));
                }
            }
        }
        EXPECT_GT(inside, 100);
        EXPECT_GT(outside, side * side / 2);

        // Round ends: within half the width beyond each end point, and not
        // beyond the round cap's corner (a square cap would fill it).
        double s = side / 110;
        EXPECT_TRUE(isOpaqueOrange(rendering->pixelAt(5 * s - 0.6 * halfWidth, 5 * s))) << "before the start";
        EXPECT_TRUE(isOpaqueOrange(rendering->pixelAt(105 * s, 55 * s + 0.6 * halfWidth))) << "past the end";
        EXPECT_LT(alphaOf(rendering->pixelAt(5 * s - 0.9 * halfWidth, 5 * s - 0.9 * halfWidth)), 128u);
    }
}

TEST_F(ArcViewTest, AViewSqueezedToNothingDrawsNothingAndLeavesTheContextUsable) {
    cairo_surface_t *image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 20);
    cairo_t *cr = cairo_create(image);
    NSGraphicsContext::setCurrentContext(NSGraphicsContext::graphicsContextWithCairoContext(cr));
    NSTestingPaintRecorder recorder;

    ArcView *view = makeView(0, 50);
    NSGraphicsContext::saveGraphicsState();
    view->drawRect(view->bounds());
    NSGraphicsContext::restoreGraphicsState();
    ASSERT_EQ(recorder.paints().size(), 1u);
    EXPECT_FALSE(recorder.paints()[0].reachedSurface);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);

    // What comes after still draws.
    NSColor::blueColor()->setFill();
    NSBezierPath::bezierPathWithRect(NSMakeRect(0, 0, 20, 20))->fill();
    cairo_surface_flush(image);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(*reinterpret_cast<uint32_t *>(cairo_image_surface_get_data(image)), 0xff0000ffu);

    NSGraphicsContext::setCurrentContext(nil);
    cairo_destroy(cr);
    cairo_surface_destroy(image);
}
