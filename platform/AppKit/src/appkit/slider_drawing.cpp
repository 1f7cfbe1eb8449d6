// NSSlider's look: a track, filled up to the knob, and a round knob at the
// value. Horizontal unless the slider is taller than wide; a vertical one
// grows upward.
#include <AppKit/NSSlider.h>

#include <algorithm>

#include "appkit/control_look.h"

namespace {

constexpr CGFloat kTrackThickness = 4;
constexpr CGFloat kLargestKnobRadius = 8;

// A rectangle given along the slider and across it.
struct SliderAxes {
    bool vertical;
    NSRect rect(CGFloat alongFrom, CGFloat alongTo, CGFloat acrossFrom, CGFloat acrossTo) const {
        return vertical ? NSMakeRect(acrossFrom, alongFrom, acrossTo - acrossFrom, alongTo - alongFrom)
                        : NSMakeRect(alongFrom, acrossFrom, alongTo - alongFrom, acrossTo - acrossFrom);
    }
};

}  // namespace

void NSSlider::drawRect(NSRect) {
    using namespace control_look;
    FadedUnlessEnabled faded(this);
    NSRect bounds = this->bounds();
    SliderAxes axes{NSHeight(bounds) > NSWidth(bounds)};
    CGFloat length = axes.vertical ? NSHeight(bounds) : NSWidth(bounds);
    CGFloat thickness = axes.vertical ? NSWidth(bounds) : NSHeight(bounds);
    CGFloat radius = std::clamp(thickness / 2 - 1, 2.0, kLargestKnobRadius);
    CGFloat start = radius, end = std::max(length - radius, start);
    CGFloat fraction = max_ > min_ ? (doubleValue() - min_) / (max_ - min_) : 0;
    CGFloat knob = start + fraction * (end - start);
    CGFloat middle = thickness / 2;
    CGFloat trackFrom = middle - kTrackThickness / 2, trackTo = middle + kTrackThickness / 2;

    fill(NSBezierPath::bezierPathWithRoundedRect_xRadius_yRadius(axes.rect(start, end, trackFrom, trackTo),
                                                                 2, 2),
         kTrack);
    if (knob > start)
        fill(NSBezierPath::bezierPathWithRoundedRect_xRadius_yRadius(
                 axes.rect(start, knob, trackFrom, trackTo), 2, 2),
             kAccent);
    NSBezierPath *knobPath = NSBezierPath::bezierPathWithOvalInRect(
        axes.rect(knob - radius + 0.5, knob + radius - 0.5, middle - radius + 0.5, middle + radius - 0.5));
    fill(knobPath, kFieldBackground);
    stroke(knobPath, kBorder, 1);
}
