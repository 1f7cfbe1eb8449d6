// A GTK widget standing for one view of the pane, kept in step with it.
//
// User input on the widget goes through the AppKit object (so its value,
// clamping and action are the stand-in's own); refresh() then shows what
// the AppKit object holds. The widget is owned by its GTK container; the
// ViewWidget must outlive it (the window is destroyed first). The view is
// borrowed from the pane session, which keeps it alive.
#pragma once

#include <AppKit/AppKit.h>
#include <gtk/gtk.h>

#include <functional>
#include <memory>

#include "pane_session.h"

// What every widget needs: the session that runs pane code, and what to do
// after each user input (refresh the whole window, since an action may
// change any control).
struct WidgetContext {
    PaneSession &session;
    std::function<void()> afterInput;
};

class ViewWidget {
public:
    virtual ~ViewWidget() = default;
    ViewWidget(const ViewWidget &) = delete;
    ViewWidget &operator=(const ViewWidget &) = delete;

    GtkWidget *widget() const { return widget_; }
    // Shows the AppKit object's current state: value, text, enabled, and a
    // redraw when it asked for one.
    virtual void refresh() = 0;

protected:
    explicit ViewWidget(GtkWidget *widget) : widget_(widget) {}

private:
    GtkWidget *widget_;
};

// The widget for a control or a view that draws, by the view's class:
// NSSlider a GtkScale, NSTextField a GtkLabel (GtkEntry when editable),
// NSButton a check button, radio button, toggle button or push button by
// its type, any other view a drawing area that calls its drawRect:.
// Plain NSViews are containers, made by the widget tree.
std::unique_ptr<ViewWidget> makeSliderWidget(NSSlider *slider, const WidgetContext &context);
std::unique_ptr<ViewWidget> makeButtonWidget(NSButton *button, const WidgetContext &context);
std::unique_ptr<ViewWidget> makeTextFieldWidget(NSTextField *field, const WidgetContext &context);
std::unique_ptr<ViewWidget> makeDrawingWidget(NSView *view);
