// NSTextField as a GtkLabel, or a GtkEntry when it is editable; Return in
// the entry stores the text in the field and sends its action.
#include "view_widget.h"

namespace {

std::string textOf(NSTextField *field) {
    std::string text;
    // stringValue is autoreleased.
    PaneSession::inPool([&] { text = field->stringValue()->stdString(); });
    return text;
}

class LabelWidget : public ViewWidget {
public:
    explicit LabelWidget(NSTextField *field) : ViewWidget(gtk_label_new(nullptr)), field_(field) {
        GtkLabel *label = GTK_LABEL(widget());
        // AppKit's labels wrap within their frame, from the top-left.
        gtk_label_set_line_wrap(label, TRUE);
        gtk_label_set_xalign(label, 0);
        gtk_label_set_yalign(label, 0);
        refresh();
    }

    void refresh() override {
        std::string text = textOf(field_);
        if (text != gtk_label_get_text(GTK_LABEL(widget()))) gtk_label_set_text(GTK_LABEL(widget()), text.c_str());
        gtk_widget_set_sensitive(widget(), field_->isEnabled());
    }

private:
    NSTextField *field_;
};

class EntryWidget : public ViewWidget {
public:
    EntryWidget(NSTextField *field, const WidgetContext &context)
        : ViewWidget(gtk_entry_new()), field_(field), context_(context) {
        g_signal_connect(widget(), "activate", G_CALLBACK(onActivate), this);
        refresh();
    }

    void refresh() override {
        std::string text = textOf(field_);
        // Setting the same text again would move the cursor.
        if (text != gtk_entry_get_text(GTK_ENTRY(widget()))) gtk_entry_set_text(GTK_ENTRY(widget()), text.c_str());
        gtk_widget_set_sensitive(widget(), field_->isEnabled());
    }

private:
    static void onActivate(GtkEntry *entry, gpointer data) {
        auto *self = static_cast<EntryWidget *>(data);
        self->context_.session.enterText(self->field_, gtk_entry_get_text(entry));
        self->context_.afterInput();
    }

    NSTextField *field_;
    WidgetContext context_;
};

}  // namespace

std::unique_ptr<ViewWidget> makeTextFieldWidget(NSTextField *field, const WidgetContext &context) {
    if (field->isEditable()) return std::make_unique<EntryWidget>(field, context);
    return std::make_unique<LabelWidget>(field);
}
