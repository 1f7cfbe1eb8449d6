#include "pane_window.h"

#include <glib-unix.h>
#include <signal.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "display.h"
#include "pane_snapshot.h"
#include "widget_tree.h"
#include "x_errors.h"

namespace {

class PaneWindow {
public:
    PaneWindow(PaneSession &session, const WindowOptions &options)
        : session_(session), options_(options), tree_(session.mainView(), session) {
        window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(window_), options.title.c_str());
        gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
        // The background under the pane, as the snapshots show it; the
        // views' widgets go on top.
        NSSize size = session.mainView()->frame().size;
        GtkWidget *background = gtk_layout_new(nullptr, nullptr);
        gtk_widget_set_size_request(background, static_cast<int>(std::ceil(size.width)),
                                    static_cast<int>(std::ceil(size.height)));
        g_signal_connect(background, "draw", G_CALLBACK(onDrawBackground), this);
        gtk_layout_put(GTK_LAYOUT(background), tree_.root(), 0, 0);
        gtk_container_add(GTK_CONTAINER(window_), background);
        g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
        // A window destroyed from outside (not asked to close) is gone all
        // the same: the user has left the pane, and the host must not wait on.
        // On X that is caught before GDK sees it; elsewhere GDK tells.
        g_signal_connect(window_, "destroy-event", G_CALLBACK(onDelete), this);
        g_signal_connect(window_, "realize", G_CALLBACK(onRealize), this);
        g_signal_connect(window_, "key-press-event", G_CALLBACK(onKeyPress), this);
        g_signal_connect_after(window_, "draw", G_CALLBACK(onDrawn), this);
        // The session ending, a kill or Ctrl-C in a terminal quit the host
        // as a user would: the pane is left and its settings stored.
        for (int signal : {SIGTERM, SIGHUP, SIGINT})
            signalSources_.push_back(g_unix_signal_add(signal, onQuitSignal, this));
    }

    ~PaneWindow() {
        for (guint source : signalSources_) g_source_remove(source);
        stopWatchingForOutsideDestroy();
        gtk_widget_destroy(window_);
    }
    PaneWindow(const PaneWindow &) = delete;
    PaneWindow &operator=(const PaneWindow &) = delete;

    void run() {
        gtk_widget_show_all(window_);
        gtk_main();
    }

private:
    // The user leaves the pane; the window goes when run() returns.
    void close() {
        if (closed_) return;
        closed_ = true;
        (void)session_.leave();  // the pane is shown until now: nothing to refuse
        gtk_main_quit();
    }

    static void onRealize(GtkWidget *widget, gpointer data) {
        watchForOutsideDestroy(gtk_widget_get_window(widget), onDestroyedFromOutside, data);
    }
    static void onDestroyedFromOutside(void *data) { static_cast<PaneWindow *>(data)->close(); }

    static gboolean onDelete(GtkWidget *, GdkEvent *, gpointer data) {
        static_cast<PaneWindow *>(data)->close();
        return TRUE;  // not destroyed by GTK: the widgets outlive the pane calls
    }

    // Ctrl+W and Ctrl+Q close the window, as Escape does: a settings
    // window has nothing else to cancel.
    static gboolean onKeyPress(GtkWidget *, GdkEventKey *event, gpointer data) {
        GdkModifierType modifiers = gtk_accelerator_get_default_mod_mask();
        bool control = (event->state & modifiers) == GDK_CONTROL_MASK;
        guint key = gdk_keyval_to_lower(event->keyval);
        bool closing = (control && (key == GDK_KEY_w || key == GDK_KEY_q)) ||
                       (key == GDK_KEY_Escape && (event->state & modifiers) == 0);
        if (!closing) return FALSE;
        static_cast<PaneWindow *>(data)->close();
        return TRUE;
    }

    static gboolean onQuitSignal(gpointer data) {
        static_cast<PaneWindow *>(data)->close();
        return G_SOURCE_CONTINUE;  // removed with the window
    }

    static gboolean onDrawBackground(GtkWidget *, cairo_t *cr, gpointer data) {
        auto *self = static_cast<PaneWindow *>(data);
        paintWindowBackground(cr, self->session_.mainView()->frame().size);
        return FALSE;
    }

    // The first draw of the window's content; the frame is shown once the
    // frame clock's paint phase ends.
    static gboolean onDrawn(GtkWidget *widget, cairo_t *, gpointer data) {
        auto *self = static_cast<PaneWindow *>(data);
        if (self->drawn_) return FALSE;
        self->drawn_ = true;
        GdkFrameClock *clock = gtk_widget_get_frame_clock(widget);
        if (clock) self->afterPaint_ = g_signal_connect(clock, "after-paint", G_CALLBACK(onAfterPaint), self);
        return FALSE;
    }

    static void onAfterPaint(GdkFrameClock *clock, gpointer data) {
        auto *self = static_cast<PaneWindow *>(data);
        g_signal_handler_disconnect(clock, self->afterPaint_);
        if (!self->options_.exitAfterFirstFrame) return;
        gdk_display_flush(gtk_widget_get_display(self->window_));
        std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - self->options_.started;
        std::printf("prefhost: first frame after %.1f ms\n", elapsed.count());
        std::fflush(stdout);
        self->close();
    }

    PaneSession &session_;
    const WindowOptions &options_;
    WidgetTree tree_;
    GtkWidget *window_ = nullptr;
    bool drawn_ = false;
    bool closed_ = false;
    gulong afterPaint_ = 0;
    std::vector<guint> signalSources_;
};

}  // namespace

Status openDisplay() {
    Status named = displayIsSet();
    if (!named) return named;
    if (!gtk_init_check(nullptr, nullptr)) return Failure("cannot open the display '" + displayName() + "'");
    tolerateVanishedWindows();
    return Status::success();
}

Status runPaneWindow(PaneSession &session, const WindowOptions &options) {
    if (!session.isShown() || !session.mainView()) return Failure("the pane is not shown");
    PaneWindow window(session, options);
    window.run();
    return Status::success();
}
