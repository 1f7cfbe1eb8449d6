// NSButton's look: a checkbox is a box (a check mark when on, a dash when
// mixed) with its title beside it; a radio button a circle with a dot; the
// others a rounded push button with the title centred, darker while on.
#include <AppKit/NSButton.h>

#include <algorithm>

#include "appkit/control_look.h"

namespace {

using namespace control_look;

constexpr CGFloat kLargestMark = 14;
constexpr CGFloat kTitleGap = 5;

NSBezierPath *markOutline(NSRect box, bool round) {
    return round ? NSBezierPath::bezierPathWithOvalInRect(box)
                 : NSBezierPath::bezierPathWithRoundedRect_xRadius_yRadius(box, 3, 3);
}

// The check mark, the dash or the dot, inside the box.
void drawMark(NSRect box, NSButtonType type, NSControlStateValue state) {
    CGFloat side = NSWidth(box);
    auto at = [&](CGFloat x, CGFloat y) { return NSMakePoint(NSMinX(box) + x * side, NSMinY(box) + y * side); };
    NSBezierPath *mark = NSBezierPath::bezierPath();
    if (type == NSButtonTypeRadio) {
        CGFloat dot = side * 0.36;
        fill(NSBezierPath::bezierPathWithOvalInRect(
                 NSMakeRect(NSMidX(box) - dot / 2, NSMidY(box) - dot / 2, dot, dot)),
             kMark);
        return;
    }
    if (state == NSControlStateValueMixed) {
        mark->moveToPoint(at(0.25, 0.5));
        mark->lineToPoint(at(0.75, 0.5));
    } else {
        mark->moveToPoint(at(0.22, 0.52));
        mark->lineToPoint(at(0.42, 0.30));
        mark->lineToPoint(at(0.78, 0.74));
    }
    stroke(mark, kMark, std::max(side / 7, 1.5), NSLineCapStyleRound);
}

void drawCheckOrRadio(NSRect bounds, NSButtonType type, NSControlStateValue state, NSString *title) {
    CGFloat side = std::clamp(NSHeight(bounds) - 2, 6.0, kLargestMark);
    NSRect box = NSMakeRect(1.5, NSMidY(bounds) - side / 2 + 0.5, side - 1, side - 1);
    NSBezierPath *outline = markOutline(box, type == NSButtonTypeRadio);
    bool marked = state != NSControlStateValueOff;
    fill(outline, marked ? kAccent : kFieldBackground);
    stroke(outline, marked ? kAccent : kBorder, 1);
    if (marked) drawMark(box, type, state);
    if (title) drawText(title->stdString(), NSMakePoint(1 + side + kTitleGap, centredBaseline(bounds)), kText);
}

bool showsPressed(NSButtonType type, NSControlStateValue state) {
    bool toggles = type == NSButtonTypePushOnPushOff || type == NSButtonTypeToggle || type == NSButtonTypeOnOff;
    return toggles && state != NSControlStateValueOff;
}

void drawPushButton(NSRect bounds, bool pressed, NSString *title) {
    NSBezierPath *outline = NSBezierPath::bezierPathWithRoundedRect_xRadius_yRadius(
        NSMakeRect(1.5, 1.5, std::max(NSWidth(bounds) - 3, 0.0), std::max(NSHeight(bounds) - 3, 0.0)), 4, 4);
    fill(outline, pressed ? kButtonPressed : kButtonBackground);
    stroke(outline, kBorder, 1);
    if (!title) return;
    std::string text = title->stdString();
    drawText(text, NSMakePoint((NSWidth(bounds) - textWidth(text)) / 2, centredBaseline(bounds)), kText);
}

}  // namespace

void NSButton::drawRect(NSRect) {
    FadedUnlessEnabled faded(this);
    if (type_ == NSButtonTypeSwitch || type_ == NSButtonTypeRadio)
        drawCheckOrRadio(bounds(), type_, state_, title_.get());
    else
        drawPushButton(bounds(), showsPressed(type_, state_), title_.get());
}
