#include "ArcView.h"

#include "SliderValue.h"

NS_REGISTER_CLASS(ArcView, NSView)
NS_OUTLET(ArcView, theSpeed)
NS_OUTLET(ArcView, theAccel)
NS_ACTION(ArcView, updateCurve)
NS_SELECTORS(ArcView, "drawRect:")

namespace {

constexpr double kDrawingSpace = 100.0;
constexpr double kMargin = 5.0;
constexpr double kLineWidth = 6.0;

}  // namespace

ArcView *ArcView::initWithFrame(NSRect frame) {
    if (!super::initWithFrame(frame)) return nil;
    mySpeed = 0.5f;
    myAccel = 0.5f;
    return this;
}

void ArcView::updateCurve(NSObject *) {
    mySpeed = sliderValueOrZero(theSpeed) / 5.0f;
    myAccel = sliderValueOrZero(theAccel) * 0.5f;
    setNeedsDisplay(YES);
}

void ArcView::drawRect(NSRect) {
    NSSize size = bounds().size;
    float sx = static_cast<float>(size.width / (kDrawingSpace + 2 * kMargin));
    float sy = static_cast<float>(size.height / (kDrawingSpace + 2 * kMargin));
    NSAffineTransform *transform = NSAffineTransform::transform();
    transform->scaleXBy_yBy(sx, sy);
    transform->translateXBy_yBy(kMargin, kMargin);
    transform->concat();

    double speed = mySpeed;
    double accel = myAccel;
    NSBezierPath *curve = NSBezierPath::bezierPath();
    curve->moveToPoint(NSMakePoint(0, 0));
    curve->curveToPoint_controlPoint1_controlPoint2(
        NSMakePoint(kDrawingSpace, kDrawingSpace * speed), NSMakePoint(kDrawingSpace * accel, 0),
        NSMakePoint(kDrawingSpace, kDrawingSpace * speed * (1 - accel)));
    // Class-wide: it stays in force for every path drawn after this one.
    NSBezierPath::setDefaultLineCapStyle(NSLineCapStyleRound);
    NSColor::orangeColor()->setStroke();
    curve->setLineWidth(kLineWidth);
    curve->stroke();
}
