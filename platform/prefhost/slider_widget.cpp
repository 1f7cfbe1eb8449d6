// NSSlider as a GtkScale. GTK reports user moves through change-value
// (never for values set from code); the handler hands the value to the
// AppKit slider and tells GTK it is handled, so the scale only ever shows
// what the slider holds after clamping.
#include "view_widget.h"

namespace {

class SliderWidget : public ViewWidget {
public:
    SliderWidget(NSSlider *slider, const WidgetContext &context)
        : ViewWidget(makeScale(slider)), slider_(slider), context_(context) {
        g_signal_connect(widget(), "change-value", G_CALLBACK(onChangeValue), this);
        g_signal_connect(widget(), "button-release-event", G_CALLBACK(onButtonRelease), this);
        refresh();
    }

    void refresh() override {
        GtkRange *range = GTK_RANGE(widget());
        GtkAdjustment *adjustment = gtk_range_get_adjustment(range);
        if (gtk_adjustment_get_lower(adjustment) != slider_->minValue() ||
            gtk_adjustment_get_upper(adjustment) != slider_->maxValue())
            gtk_range_set_range(range, slider_->minValue(), slider_->maxValue());
        gtk_range_set_value(range, slider_->doubleValue());
        gtk_widget_set_sensitive(widget(), slider_->isEnabled());
    }

private:
    static GtkWidget *makeScale(NSSlider *slider) {
        NSSize size = slider->frame().size;
        bool vertical = size.height > size.width;
        double span = slider->maxValue() - slider->minValue();
        // An adjustment, not gtk_scale_new_with_range, which refuses an
        // empty range that a slider may have.
        GtkAdjustment *adjustment = gtk_adjustment_new(slider->doubleValue(), slider->minValue(),
                                                       slider->maxValue(), span / 100, span / 10, 0);
        GtkWidget *scale =
            gtk_scale_new(vertical ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL, adjustment);
        gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
        // AppKit's vertical sliders have their maximum at the top.
        if (vertical) gtk_range_set_inverted(GTK_RANGE(scale), TRUE);
        return scale;
    }

    // True while the pointer holds the knob: the move is part of a drag
    // that a release ends. Keys and the wheel move and release at once.
    static bool knobHeld() {
        GdkEvent *event = gtk_get_current_event();
        if (!event) return false;
        GdkModifierType state = GdkModifierType(0);
        gdk_event_get_state(event, &state);
        GdkEventType type = gdk_event_get_event_type(event);
        bool held = type == GDK_BUTTON_PRESS || (type == GDK_MOTION_NOTIFY && (state & GDK_BUTTON1_MASK));
        gdk_event_free(event);
        return held;
    }

    static gboolean onChangeValue(GtkRange *, GtkScrollType, gdouble value, gpointer data) {
        auto *self = static_cast<SliderWidget *>(data);
        bool held = knobHeld();
        self->context_.session.moveKnob(self->slider_, value);
        if (held) {
            self->dragging_ = true;
        } else {
            self->context_.session.releaseKnob(self->slider_);
        }
        self->context_.afterInput();
        return TRUE;
    }

    static gboolean onButtonRelease(GtkWidget *, GdkEventButton *, gpointer data) {
        auto *self = static_cast<SliderWidget *>(data);
        if (self->dragging_) {
            self->dragging_ = false;
            self->context_.session.releaseKnob(self->slider_);
            self->context_.afterInput();
        }
        return FALSE;  // the scale ends its own drag too
    }

    NSSlider *slider_;
    WidgetContext context_;
    bool dragging_ = false;
};

}  // namespace

std::unique_ptr<ViewWidget> makeSliderWidget(NSSlider *slider, const WidgetContext &context) {
    return std::make_unique<SliderWidget>(slider, context);
}
