// A custom view of the test pane, created by name from the interface file,
// with outlets of its own and an action that reads them. It draws a blue
// bar up its left edge, 100 x mySpeed points tall, so that a snapshot
// shows where the view is and what state it is in.
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
    void drawRect(NSRect dirtyRect) override;
};
