// Drawing: transform and path arithmetic, the graphics state, the default
// cap style, colours and the paint record.
#include <gtest/gtest.h>

#include <cmath>

#include "appkit_test_support.h"
#include "drawing_test_support.h"

namespace {

class DrawingTest : public AppKitTest {
protected:
    void SetUp() override {
        AppKitTest::SetUp();
        NSBezierPath::setDefaultLineCapStyle(NSLineCapStyleButt);
    }
    void TearDown() override {
        NSBezierPath::setDefaultLineCapStyle(NSLineCapStyleButt);
        AppKitTest::TearDown();
    }
};

void expectPoint(NSPoint actual, double x, double y) {
    EXPECT_NEAR(actual.x, x, 1e-9);
    EXPECT_NEAR(actual.y, y, 1e-9);
}

NSBezierPath *lineFrom(NSPoint a, NSPoint b) {
    NSBezierPath *path = NSBezierPath::bezierPath();
    path->moveToPoint(a);
    path->lineToPoint(b);
    return path;
}

}  // namespace

TEST_F(DrawingTest, EachTransformStepAppliesBeforeWhatTheTransformHolds) {
    NSAffineTransform *scaledThenMoved = NSAffineTransform::transform();
    scaledThenMoved->scaleXBy_yBy(2, 3);
    scaledThenMoved->translateXBy_yBy(5, 5);
    // The translation happens in the scaled space.
    expectPoint(scaledThenMoved->transformPoint(NSMakePoint(0, 0)), 10, 15);
    expectPoint(scaledThenMoved->transformPoint(NSMakePoint(1, 1)), 12, 18);
    NSAffineTransformStruct m = scaledThenMoved->transformStruct();
    EXPECT_EQ(m.m11, 2);
    EXPECT_EQ(m.m12, 0);
    EXPECT_EQ(m.m21, 0);
    EXPECT_EQ(m.m22, 3);
    EXPECT_EQ(m.tX, 10);
    EXPECT_EQ(m.tY, 15);
    NSSize size = scaledThenMoved->transformSize(NSMakeSize(1, 1));
    EXPECT_EQ(size.width, 2);
    EXPECT_EQ(size.height, 3);

    NSAffineTransform *movedThenScaled = NSAffineTransform::transform();
    movedThenScaled->translateXBy_yBy(5, 5);
    movedThenScaled->scaleBy(2);
    expectPoint(movedThenScaled->transformPoint(NSMakePoint(1, 1)), 7, 7);

    NSAffineTransform *turned = NSAffineTransform::transform();
    turned->rotateByDegrees(90);
    expectPoint(turned->transformPoint(NSMakePoint(1, 0)), 0, 1);
    turned->translateXBy_yBy(1, 0);
    expectPoint(turned->transformPoint(NSMakePoint(0, 0)), 0, 1);
}

TEST_F(DrawingTest, ConcatComposesOntoTheContextAndTheGraphicsStateComesBack) {
    CurrentImageContext drawing(40, 40);
    NSTestingPaintRecorder recorder;
    NSAffineTransform *scale = NSAffineTransform::transform();
    scale->scaleXBy_yBy(2, 0.5);
    scale->concat();
    NSAffineTransform *move = NSAffineTransform::transform();
    move->translateXBy_yBy(3, 4);
    move->concat();

    NSGraphicsContext::saveGraphicsState();
    NSAffineTransform *more = NSAffineTransform::transform();
    more->scaleBy(10);
    more->concat();
    NSColor::redColor()->setStroke();
    NSColor::blueColor()->setFill();
    NSGraphicsContext::restoreGraphicsState();

    NSBezierPath *path = lineFrom(NSMakePoint(0, 0), NSMakePoint(1, 2));
    path->setLineWidth(4);
    path->stroke();
    path->fill();
    ASSERT_EQ(recorder.paints().size(), 2u);
    const NSTestingPaint &stroke = recorder.paints()[0];
    EXPECT_EQ(stroke.kind, NSTestingPaint::Kind::Stroke);
    expectPoint(stroke.userElements[1].points[0], 1, 2);
    // The later concat applies first: ((x + 3) * 2, (y + 4) * 0.5).
    expectPoint(stroke.viewElements[0].points[0], 6, 2);
    expectPoint(stroke.viewElements[1].points[0], 8, 3);
    EXPECT_EQ(stroke.userLineWidth, 4);
    EXPECT_NEAR(stroke.viewLineWidth.width, 8, 1e-9);
    EXPECT_NEAR(stroke.viewLineWidth.height, 2, 1e-9);
    // The colours set inside the saved state went with it: black, as new.
    EXPECT_EQ(stroke.color.red, 0);
    EXPECT_EQ(stroke.color.alpha, 1);
    EXPECT_EQ(recorder.paints()[1].kind, NSTestingPaint::Kind::Fill);
    EXPECT_EQ(recorder.paints()[1].color.blue, 0);
    EXPECT_TRUE(stroke.reachedSurface);
    EXPECT_EQ(stroke.viewName, "");

    testing::internal::CaptureStderr();
    NSGraphicsContext::restoreGraphicsState();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no saved graphics state"), std::string::npos);
    NSColor::orangeColor()->setStroke();
    path->stroke();
    EXPECT_EQ(recorder.paints().back().color.green, 0.5);
}

TEST_F(DrawingTest, WithoutACurrentContextDrawingWarnsAndDoesNothing) {
    NSTestingPaintRecorder recorder;
    ASSERT_EQ(NSGraphicsContext::currentContext(), nil);
    testing::internal::CaptureStderr();
    NSAffineTransform::transform()->concat();
    NSColor::orangeColor()->setStroke();
    NSBezierPath::bezierPathWithRect(NSMakeRect(0, 0, 5, 5))->stroke();
    NSBezierPath::bezierPathWithRect(NSMakeRect(0, 0, 5, 5))->fill();
    NSGraphicsContext::saveGraphicsState();
    std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(recorder.paints().size(), 0u);
    for (const char *what : {"-[NSAffineTransform concat]", "-[NSColor setStroke]", "-[NSBezierPath stroke]",
                             "-[NSBezierPath fill]", "+[NSGraphicsContext saveGraphicsState]"})
        EXPECT_NE(warnings.find(std::string(what) + ": no current graphics context"), std::string::npos) << what;
    EXPECT_EQ(NSGraphicsContext::graphicsContextWithCairoContext(nullptr), nil);
}

TEST_F(DrawingTest, PathsListTheirElementsAsThePlatformDoes) {
    NSBezierPath *path = NSBezierPath::bezierPath();
    EXPECT_TRUE(path->isEmpty());
    EXPECT_EQ(path->lineWidth(), 1.0);
    path->moveToPoint(NSMakePoint(1, 2));
    path->lineToPoint(NSMakePoint(3, 4));
    path->curveToPoint_controlPoint1_controlPoint2(NSMakePoint(9, 9), NSMakePoint(5, 6), NSMakePoint(7, 8));
    path->closePath();
    EXPECT_EQ(path->elementCount(), 4);
    expectPoint(path->currentPoint(), 1, 2);

    NSPoint points[3] = {NSMakePoint(-1, -1), NSMakePoint(-1, -1), NSMakePoint(-1, -1)};
    EXPECT_EQ(path->elementAtIndex_associatedPoints(0, points), NSBezierPathElementMoveTo);
    expectPoint(points[0], 1, 2);
    EXPECT_EQ(path->elementAtIndex_associatedPoints(1, points), NSBezierPathElementLineTo);
    expectPoint(points[0], 3, 4);
    EXPECT_EQ(path->elementAtIndex_associatedPoints(2, points), NSBezierPathElementCurveTo);
    expectPoint(points[0], 5, 6);
    expectPoint(points[1], 7, 8);
    expectPoint(points[2], 9, 9);
    points[0] = NSMakePoint(-1, -1);
    EXPECT_EQ(path->elementAtIndex_associatedPoints(3, points), NSBezierPathElementClosePath);
    expectPoint(points[0], -1, -1);
    EXPECT_EQ(path->elementAtIndex_associatedPoints(2, nullptr), NSBezierPathElementCurveTo);

    NSBezierPath *rect = NSBezierPath::bezierPathWithRect(NSMakeRect(1, 2, 3, 4));
    ASSERT_EQ(rect->elementCount(), 5);
    rect->elementAtIndex_associatedPoints(2, points);
    expectPoint(points[0], 4, 6);
    NSBezierPath *oval = NSBezierPath::bezierPathWithOvalInRect(NSMakeRect(0, 0, 10, 20));
    ASSERT_EQ(oval->elementCount(), 6);
    oval->elementAtIndex_associatedPoints(1, points);
    expectPoint(points[2], 5, 20);  // the top of the oval
    EXPECT_EQ(NSBezierPath::bezierPathWithRoundedRect_xRadius_yRadius(NSMakeRect(0, 0, 10, 10), 2, 2)->elementCount(),
              10);
    EXPECT_EQ(NSBezierPath::bezierPathWithRoundedRect_xRadius_yRadius(NSMakeRect(0, 0, 10, 10), 0, 2)->elementCount(),
              5);
}

TEST_F(DrawingTest, MisusedPathsStopTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(NSBezierPath::bezierPath()->lineToPoint(NSMakePoint(1, 1)),
                 "-\\[NSBezierPath lineToPoint:\\]: no current point");
    EXPECT_DEATH(NSBezierPath::bezierPath()->curveToPoint_controlPoint1_controlPoint2(NSZeroPoint, NSZeroPoint,
                                                                                   NSZeroPoint),
                 "no current point");
    EXPECT_DEATH(NSBezierPath::bezierPathWithRect(NSMakeRect(0, 0, 1, 1))->elementAtIndex_associatedPoints(5, nullptr),
                 "index 5 beyond bounds \\[0 .. 4\\]");
}

TEST_F(DrawingTest, TheDefaultCapStyleAppliesToEveryPathWithoutOneOfItsOwn) {
    CurrentImageContext drawing(20, 20);
    NSTestingPaintRecorder recorder;
    EXPECT_EQ(NSBezierPath::defaultLineCapStyle(), NSLineCapStyleButt);
    NSBezierPath *plain = lineFrom(NSMakePoint(2, 10), NSMakePoint(18, 10));
    NSBezierPath *square = lineFrom(NSMakePoint(2, 3), NSMakePoint(18, 3));
    square->setLineCapStyle(NSLineCapStyleSquare);
    EXPECT_EQ(plain->lineCapStyle(), NSLineCapStyleButt);

    // Set after the path was made: it is read when the path strokes.
    NSBezierPath::setDefaultLineCapStyle(NSLineCapStyleRound);
    EXPECT_EQ(plain->lineCapStyle(), NSLineCapStyleRound);
    EXPECT_EQ(square->lineCapStyle(), NSLineCapStyleSquare);
    plain->setLineWidth(4);
    plain->stroke();
    square->stroke();
    ASSERT_EQ(recorder.paints().size(), 2u);
    EXPECT_EQ(recorder.paints()[0].lineCapStyle, NSLineCapStyleRound);
    EXPECT_EQ(recorder.paints()[1].lineCapStyle, NSLineCapStyleSquare);
    // The round end reaches past the end point on the surface: the pixel
    // (1, 10) lies within half the width before it.
    EXPECT_EQ(alphaOf(drawing.image.at(1, 10)), 255u);

    NSBezierPath::setDefaultLineCapStyle(NSLineCapStyleButt);
    CurrentImageContext butt(20, 20);
    plain->stroke();
    EXPECT_EQ(recorder.paints().back().lineCapStyle, NSLineCapStyleButt);
    EXPECT_EQ(alphaOf(butt.image.at(1, 10)), 0u);
    EXPECT_EQ(alphaOf(butt.image.at(10, 10)), 255u);
}

TEST_F(DrawingTest, ADegenerateTransformLeavesNoMarkAndTheContextStaysUsable) {
    CurrentImageContext drawing(10, 10);
    NSTestingPaintRecorder recorder;
    for (double factor : {0.0, std::nan("")}) {
        NSGraphicsContext::saveGraphicsState();
        NSAffineTransform *squash = NSAffineTransform::transform();
        squash->scaleXBy_yBy(factor, 1);
        squash->concat();
        EXPECT_FALSE(drawing.context->canDraw());
        NSColor::redColor()->setFill();
        NSBezierPath::bezierPathWithRect(NSMakeRect(0, 0, 10, 10))->fill();
        NSGraphicsContext::restoreGraphicsState();
    }
    ASSERT_EQ(recorder.paints().size(), 2u);
    EXPECT_FALSE(recorder.paints()[0].reachedSurface);
    EXPECT_EQ(drawing.image.count([](uint32_t p) { return p != 0; }), 0);
    EXPECT_EQ(cairo_status(drawing.cr), CAIRO_STATUS_SUCCESS);

    NSColor::blueColor()->setFill();
    NSBezierPath::bezierPathWithRect(NSMakeRect(0, 0, 10, 10))->fill();
    EXPECT_EQ(drawing.image.at(5, 5), 0xff0000ffu);
}

TEST_F(DrawingTest, ColoursKeepTheirComponentsInRange) {
    NSColor *orange = NSColor::orangeColor();
    EXPECT_EQ(orange->redComponent(), 1.0);
    EXPECT_EQ(orange->greenComponent(), 0.5);
    EXPECT_EQ(orange->blueComponent(), 0.0);
    EXPECT_EQ(orange->alphaComponent(), 1.0);
    EXPECT_EQ(NSColor::orangeColor(), orange) << "one shared object";
    long live = NSTestingLiveObjectCount();
    orange->release();
    orange->release();
    EXPECT_EQ(NSColor::orangeColor()->greenComponent(), 0.5) << "immortal";
    EXPECT_EQ(NSTestingLiveObjectCount(), live);

    NSColor *odd = NSColor::colorWithRed_green_blue_alpha(2, -1, std::nan(""), 0.25);
    EXPECT_EQ(odd->redComponent(), 1);
    EXPECT_EQ(odd->greenComponent(), 0);
    EXPECT_EQ(odd->blueComponent(), 0);
    EXPECT_EQ(odd->alphaComponent(), 0.25);
    EXPECT_EQ(NSColor::colorWithWhite_alpha(0.5, 1)->blueComponent(), 0.5);
    EXPECT_EQ(NSColor::clearColor()->alphaComponent(), 0);
}
