// NSTextField's look: an editable field is a white box with a border; a
// label is its text alone. The text wraps at spaces to the field's width,
// centred vertically, as a label laid out for two lines shows it.
#include <AppKit/NSTextField.h>

#include "appkit/control_look.h"

namespace {

constexpr CGFloat kFieldInset = 4;
constexpr CGFloat kLabelInset = 2;

}  // namespace

void NSTextField::drawRect(NSRect) {
    using namespace control_look;
    FadedUnlessEnabled faded(this);
    NSRect bounds = this->bounds();
    if (editable_) {
        fill(NSBezierPath::bezierPathWithRect(bounds), kFieldBackground);
        stroke(NSBezierPath::bezierPathWithRect(
                   NSMakeRect(0.5, 0.5, NSWidth(bounds) - 1, NSHeight(bounds) - 1)),
               kBorder, 1);
    }
    if (!text_) return;
    CGFloat inset = editable_ ? kFieldInset : kLabelInset;
    drawTextBlock(text_->stdString(), NSMakeRect(inset, 0, NSWidth(bounds) - 2 * inset, NSHeight(bounds)), kText);
}
