// NSView.h: a rectangle of the window, with subviews.
//
// A view retains its subviews and releases them when it goes; its
// superview pointer is not retained. drawRect: is the drawing hook.
#pragma once

#include <Foundation/Foundation.h>

#include <vector>

class NS_EXPORT NSView : public NSObject {
    NS_CLASS(NSView, NSObject)

public:
    // initWithFrame with NSZeroRect.
    NSView *init() override;
    virtual NSView *initWithFrame(NSRect frame);

    NSRect frame() const { return frame_; }
    void setFrame(NSRect frame);
    void setFrameOrigin(NSPoint origin);
    void setFrameSize(NSSize size);
    // The view's own coordinates: origin (0, 0), the frame's size.
    NSRect bounds() const;
    virtual BOOL isFlipped() const { return NO; }

    NSView *superview() const { return superview_; }
    // Borrowed; in the order they were added.
    const std::vector<NSView *> &subviews() const { return subviews_; }
    // Retains the view, taking it from its former superview. Adding a view
    // to itself or to one of its own subviews stops the process.
    void addSubview(NSView *view);
    void removeFromSuperview();

    BOOL needsDisplay() const { return needsDisplay_; }
    void setNeedsDisplay(BOOL flag) { needsDisplay_ = flag; }
    // Draws the view's content; the default draws nothing.
    virtual void drawRect(NSRect dirtyRect);

    // The name given to the view by its interface file, or nil. Borrowed.
    NSString *identifier() const { return identifier_.get(); }
    void setIdentifier(NSString *identifier);

protected:
    ~NSView() override;

private:
    NSRect frame_{};
    NSView *superview_ = nullptr;
    std::vector<NSView *> subviews_;
    BOOL needsDisplay_ = NO;
    NSStrong<NSString> identifier_;
};
