// A custom view of the test pane, created by name from the interface file,
// with outlets of its own and an action that reads them.
#pragma once

#include <AppKit/AppKit.h>

class TestCurveView : public NSView {
    NS_CLASS(TestCurveView, NSView)

public:
    NSSlider *theSpeed = nullptr;
    NSSlider *theAccel = nullptr;
    float mySpeed = 0;
    float myAccel = 0;

    TestCurveView *initWithFrame(NSRect frame) override;
    void updateCurve(NSObject *sender);
};
