// The window module's entry point: open the display, load and show the
// pane, run its window.
#include <PreferencePanes/PreferencePanes.h>

#include <cstdio>
#include <memory>

#include "pane_bundle.h"
#include "pane_session.h"
#include "pane_window.h"
#include "window_module.h"

namespace {

int fail(const std::string &message, int status) {
    std::fprintf(stderr, "prefhost: %s\n", message.c_str());
    return status;
}

// The pane's name for the window's title: CFBundleName, else the path.
std::string paneTitle(const PaneBundle &bundle, const std::string &path) {
    std::string title = path;
    PaneSession::inPool([&] {
        NSObject *name = bundle.bundle()->objectForInfoDictionaryKey(NSSTR("CFBundleName"));
        if (name && name->isKindOfClass(NSString::staticClass()))
            title = static_cast<NSString *>(name)->stdString();
    });
    return title;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int prefhostWindowMain(const char *panePath,
                                                                         int exitAfterFirstFrame,
                                                                         long long startedNanoseconds) {
    // The same type as the loader's, checked here where both are seen.
    [[maybe_unused]] PrefhostWindowMain checked = prefhostWindowMain;
    if (Status opened = openDisplay(); !opened) return fail(opened.message(), 2);
    std::string path = panePath;
    Result<std::unique_ptr<PaneBundle>> opened = PaneBundle::open(path);
    if (!opened) return fail(opened.message(), 1);
    std::unique_ptr<PaneBundle> bundle = std::move(*opened);
    PaneSession session(*bundle);
    Status shown = session.show();
    if (!shown.ok()) return fail(path + ": " + shown.message(), 1);
    WindowOptions options{paneTitle(*bundle, path), exitAfterFirstFrame != 0,
                          std::chrono::steady_clock::time_point(std::chrono::nanoseconds(startedNanoseconds))};
    Status ran = runPaneWindow(session, options);
    return ran.ok() ? 0 : fail(ran.message(), 1);
}
