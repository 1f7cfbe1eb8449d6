// The pane's view tree as GTK widgets: each plain NSView a GtkLayout, each
// control and drawing view the widget of its kind, placed at its frame.
// AppKit frames are bottom-left based in an unflipped superview, GTK's
// top-left based, so y is turned over within the superview's height.
//
// refresh() is how programmatic changes reach the widgets: pane code runs
// only inside the host's calls (lifecycle, actions, drawing), so showing
// every control's state after each of them misses nothing, and it runs
// after the pane's code has returned, never from inside a setter while an
// action is half done.
#pragma once

#include <memory>
#include <vector>

#include "view_widget.h"

class WidgetTree {
public:
    // Widgets for the view and everything under it.
    WidgetTree(NSView *root, PaneSession &session);
    WidgetTree(const WidgetTree &) = delete;
    WidgetTree &operator=(const WidgetTree &) = delete;

    // The root view's widget, floating until it is put in a container.
    GtkWidget *root() const { return root_; }
    // Every widget shows its view's current state.
    void refresh();

private:
    GtkWidget *build(NSView *view);
    GtkWidget *container(NSView *view);

    WidgetContext context_;
    std::vector<std::unique_ptr<ViewWidget>> widgets_;
    GtkWidget *root_;
};
