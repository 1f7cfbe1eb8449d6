#include "x_windows.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "wait.h"

namespace glissor_test {

namespace {

// The _NET_WM_PID of a window, or -1.
long pidOfWindow(Display *display, Window window) {
    Atom property = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                           &after, &data) == Success &&
        data && items == 1 && format == 32)
        pid = *reinterpret_cast<long *>(data);
    if (data) XFree(data);
    return pid;
}

bool isViewable(Display *display, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

Window viewableWindowOf(Display *display, int pid) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
    for (unsigned int i = 0; i < count && !found; ++i)
        if (pidOfWindow(display, children[i]) == pid && isViewable(display, children[i])) found = children[i];
    if (children) XFree(children);
    return found;
}

}  // namespace

WindowId waitForWindowOf(const XServer &server, int pid, std::chrono::milliseconds limit) {
    Window found = 0;
    eventually([&] { return (found = viewableWindowOf(server.connection(), pid)) != 0; }, limit);
    return found;
}

Screenshot takeScreenshot(const XServer &server, WindowId window) {
    Display *display = server.connection();
    XWindowAttributes attributes;
    Screenshot shot;
    if (!XGetWindowAttributes(display, window, &attributes)) return shot;
    XImage *image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) return shot;
    shot.width = attributes.width;
    shot.height = attributes.height;
    shot.pixels.reserve(static_cast<size_t>(shot.width) * shot.height);
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) shot.pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return shot;
}

void requestClose(const XServer &server, WindowId window) {
    Display *display = server.connection();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

bool xdotool(const XServer &server, const std::vector<std::string> &arguments) {
    std::vector<std::string> argv = {"/usr/bin/xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProcessOptions options;
    options.env = server.env();
    options.timeout = std::chrono::seconds(10);
    return run_process(argv, options).exit_code == 0;
}

}  // namespace glissor_test
