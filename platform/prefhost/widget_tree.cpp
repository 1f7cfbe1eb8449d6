#include "widget_tree.h"

#include <cmath>

namespace {

int pixels(double points) { return static_cast<int>(std::lround(points)); }

bool isEmpty(NSRect frame) { return frame.size.width <= 0 || frame.size.height <= 0; }

// The top-left of the view's frame in its superview's GTK coordinates.
NSPoint topLeftInSuperview(NSView *view, NSView *superview) {
    NSRect frame = view->frame();
    if (superview->isFlipped()) return frame.origin;
    return NSMakePoint(frame.origin.x, superview->bounds().size.height - NSMaxY(frame));
}

}  // namespace

WidgetTree::WidgetTree(NSView *root, PaneSession &session)
    : context_{session, [this] { refresh(); }}, root_(build(root)) {}

void WidgetTree::refresh() {
    for (auto &widget : widgets_) widget->refresh();
}

GtkWidget *WidgetTree::build(NSView *view) {
    std::unique_ptr<ViewWidget> made;
    if (view->isKindOfClass(NSSlider::staticClass()))
        made = makeSliderWidget(static_cast<NSSlider *>(view), context_);
    else if (view->isKindOfClass(NSButton::staticClass()))
        made = makeButtonWidget(static_cast<NSButton *>(view), context_);
    else if (view->isKindOfClass(NSTextField::staticClass()))
        made = makeTextFieldWidget(static_cast<NSTextField *>(view), context_);
    else if (view->getClass() != NSView::staticClass())
        // Drawn with its subviews, which get no widgets of their own.
        made = makeDrawingWidget(view);
    GtkWidget *widget = made ? made->widget() : container(view);
    if (made) widgets_.push_back(std::move(made));
    NSSize size = view->frame().size;
    gtk_widget_set_size_request(widget, pixels(size.width), pixels(size.height));
    return widget;
}

GtkWidget *WidgetTree::container(NSView *view) {
    // A GtkLayout, not a GtkFixed: its size is the frame's alone, where a
    // GtkFixed grows to its children's natural sizes (a wrapping label's is
    // its whole text on one line). Children get their frame's size.
    GtkWidget *layout = gtk_layout_new(nullptr, nullptr);
    for (NSView *subview : view->subviews()) {
        // As the renderer does: an empty frame hides the view and its subviews.
        if (isEmpty(subview->frame())) continue;
        NSPoint topLeft = topLeftInSuperview(subview, view);
        gtk_layout_put(GTK_LAYOUT(layout), build(subview), pixels(topLeft.x), pixels(topLeft.y));
    }
    return layout;
}
