// NSView: frame, bounds and the subview tree.
#include <AppKit/NSView.h>

#include <algorithm>

#include "foundation/fatal.h"

NS_REGISTER_CLASS(NSView, NSObject)
NS_SELECTORS(NSView, "initWithFrame:", "frame", "setFrame:", "bounds", "superview", "subviews",
             "addSubview:", "removeFromSuperview", "needsDisplay", "setNeedsDisplay:", "drawRect:",
             "isFlipped", "identifier", "setIdentifier:")

NSView *NSView::init() { return initWithFrame(NSZeroRect); }

NSView *NSView::initWithFrame(NSRect frame) {
    frame_ = frame;
    needsDisplay_ = YES;
    return this;
}

NSView::~NSView() {
    for (NSView *view : subviews_) {
        view->superview_ = nullptr;
        view->release();
    }
}

void NSView::setFrame(NSRect frame) {
    if (!NSEqualSizes(frame.size, frame_.size)) needsDisplay_ = YES;
    frame_ = frame;
}

void NSView::setFrameOrigin(NSPoint origin) { setFrame(NSRect{origin, frame_.size}); }

void NSView::setFrameSize(NSSize size) { setFrame(NSRect{frame_.origin, size}); }

NSRect NSView::bounds() const { return NSRect{NSZeroPoint, frame_.size}; }

void NSView::addSubview(NSView *view) {
    if (!view) return;
    for (NSView *ancestor = this; ancestor; ancestor = ancestor->superview_)
        if (ancestor == view)
            ns_fatal("-[%s addSubview:]: a view cannot be its own subview", getClass()->name());
    view->retain();
    view->removeFromSuperview();
    view->superview_ = this;
    subviews_.push_back(view);
}

void NSView::removeFromSuperview() {
    NSView *parent = superview_;
    if (!parent) return;
    auto &siblings = parent->subviews_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), this));
    superview_ = nullptr;
    release();
}

void NSView::drawRect(NSRect) {}

void NSView::setIdentifier(NSString *identifier) {
    identifier_.retain(identifier);
}
