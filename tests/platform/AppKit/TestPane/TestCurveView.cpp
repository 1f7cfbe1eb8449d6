#include "TestCurveView.h"

#include <cstdio>

NS_REGISTER_CLASS(TestCurveView, NSView)
NS_OUTLET(TestCurveView, theSpeed)
NS_OUTLET(TestCurveView, theAccel)
NS_ACTION(TestCurveView, updateCurve)

TestCurveView *TestCurveView::initWithFrame(NSRect frame) {
    if (!super::initWithFrame(frame)) return nil;
    mySpeed = 0.5f;
    myAccel = 0.5f;
    return this;
}

void TestCurveView::updateCurve(NSObject *) {
    mySpeed = (theSpeed ? theSpeed->floatValue() : 0.0f) / 5.0f;
    myAccel = (theAccel ? theAccel->floatValue() : 0.0f) * 0.5f;
    setNeedsDisplay(YES);
    std::printf("TestCurveView: updateCurve: speed %g accel %g\n", static_cast<double>(mySpeed),
                static_cast<double>(myAccel));
}

void TestCurveView::drawRect(NSRect) {
    NSColor::blueColor()->setFill();
    NSBezierPath::bezierPathWithRect(NSMakeRect(0, 0, 10, 100.0 * static_cast<double>(mySpeed)))->fill();
}
