// ArcView: draws one orange cubic curve shaped by two sliders of its own.
//
// The curve lives in a 100 x 100 drawing space with a margin of 5 on every
// side, stretched to the bounds independently in x and y. The interface
// file connects theSpeed and theAccel and sends updateCurve: from a control.
#pragma once

#include <AppKit/AppKit.h>

class ArcView : public NSView {
    NS_CLASS(ArcView, NSView)

public:
    NSSlider *theSpeed = nullptr;
    NSSlider *theAccel = nullptr;
    // The curve's height and bend factors.
    float mySpeed = 0;
    float myAccel = 0;

    // Both factors 0.5; nil when the superclass fails.
    ArcView *initWithFrame(NSRect frame) override;
    // Reads both sliders (an outlet not set reads as 0) and asks for a redraw.
    void updateCurve(NSObject *sender);
    // The curve over the whole view; nothing else.
    void drawRect(NSRect dirtyRect) override;
};
