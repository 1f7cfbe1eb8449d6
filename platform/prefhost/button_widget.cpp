// NSButton as a GTK button of its kind. A click goes to performClick, which
// moves the state by AppKit's rules and sends the action; refresh() then
// shows that state. GTK sets a toggle's state from code by emitting
// "clicked", so refreshing_ keeps those from counting as user clicks.
#include "view_widget.h"

namespace {

GtkWidget *makeButton(NSButton *button) {
    std::string title = button->title() ? button->title()->stdString() : "";
    switch (button->buttonType()) {
    case NSButtonTypeSwitch:
        return gtk_check_button_new_with_label(title.c_str());
    case NSButtonTypeRadio:
        return gtk_radio_button_new_with_label(nullptr, title.c_str());
    case NSButtonTypeToggle:
    case NSButtonTypePushOnPushOff:
    case NSButtonTypeOnOff:
        return gtk_toggle_button_new_with_label(title.c_str());
    default:
        return gtk_button_new_with_label(title.c_str());
    }
}

class ButtonWidget : public ViewWidget {
public:
    ButtonWidget(NSButton *button, const WidgetContext &context)
        : ViewWidget(makeButton(button)), button_(button), context_(context) {
        g_signal_connect(widget(), "clicked", G_CALLBACK(onClicked), this);
        refresh();
    }

    void refresh() override {
        refreshing_ = true;
        if (GTK_IS_TOGGLE_BUTTON(widget())) {
            GtkToggleButton *toggle = GTK_TOGGLE_BUTTON(widget());
            NSControlStateValue state = button_->state();
            gtk_toggle_button_set_inconsistent(toggle, state == NSControlStateValueMixed);
            gtk_toggle_button_set_active(toggle, state == NSControlStateValueOn);
        }
        std::string title = button_->title() ? button_->title()->stdString() : "";
        if (title != gtk_button_get_label(GTK_BUTTON(widget())))
            gtk_button_set_label(GTK_BUTTON(widget()), title.c_str());
        gtk_widget_set_sensitive(widget(), button_->isEnabled());
        refreshing_ = false;
    }

private:
    static void onClicked(GtkButton *, gpointer data) {
        auto *self = static_cast<ButtonWidget *>(data);
        if (self->refreshing_) return;
        self->context_.session.click(self->button_);
        self->context_.afterInput();
    }

    NSButton *button_;
    WidgetContext context_;
    bool refreshing_ = false;
};

}  // namespace

std::unique_ptr<ViewWidget> makeButtonWidget(NSButton *button, const WidgetContext &context) {
    return std::make_unique<ButtonWidget>(button, context);
}
