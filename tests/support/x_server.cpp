#include "x_server.h"

#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <thread>

#include "wait.h"

namespace glissor_test {

namespace {

using namespace std::chrono_literals;

constexpr const char *kXorgConfig = R"(Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoAddGPU" "false"
EndSection
Section "Device"
    Identifier "card"
    Driver "dummy"
    VideoRam 16384
EndSection
Section "Screen"
    Identifier "screen"
    Device "card"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 1600 1200
    EndSubSection
EndSection
Section "InputDevice"
    Identifier "Glissor test mouse"
    Driver "inputtest"
    Option "SocketPath" "@DIR@/mouse.sock"
    Option "DeviceType" "Pointer"
EndSection
Section "InputDevice"
    Identifier "Glissor test TouchPad"
    Driver "inputtest"
    Option "SocketPath" "@DIR@/touchpad.sock"
    Option "DeviceType" "Pointer"
EndSection
Section "ServerLayout"
    Identifier "layout"
    Screen "screen"
    InputDevice "Glissor test mouse" "CorePointer"
    InputDevice "Glissor test TouchPad" "SendCoreEvents"
EndSection
)";

std::string xorg_config_for(const std::string &dir, const std::string &mouse_name) {
    std::string text = kXorgConfig;
    for (std::size_t at; (at = text.find("@DIR@")) != std::string::npos;) text.replace(at, 5, dir);
    const std::string mouse = std::string("\"") + kInputtestMouse + "\"";
    for (std::size_t at = 0; (at = text.find(mouse, at)) != std::string::npos; at += mouse_name.size() + 2)
        text.replace(at, mouse.size(), "\"" + mouse_name + "\"");
    return text;
}

std::string display_argument(std::optional<int> number) {
    return number ? ":" + std::to_string(*number) + " " : std::string();
}

int ignore_errors(Display *, XErrorEvent *) { return 0; }

}  // namespace

XServer::XServer(Kind kind, std::optional<int> number, std::string mouse_name)
    : kind_(kind), mouse_name_(std::move(mouse_name)) {
    try {
        if (kind == Kind::Xvfb)
            start_xvfb(number);
        else
            start_xorg(number);
    } catch (...) {
        stop();
        throw;
    }
    XSetErrorHandler(ignore_errors);
}

std::unique_ptr<XServer> XServer::try_start(Kind kind, std::string &why, std::string mouse_name) {
    try {
        return std::make_unique<XServer>(kind, std::nullopt, std::move(mouse_name));
    } catch (const std::runtime_error &error) {
        why = error.what();
        return nullptr;
    }
}

std::unique_ptr<XServer> XServer::xvfb_on_a_high_number() {
    // Servers that pick their own number take the lowest free one.
    int first = 200 + static_cast<int>(getpid() % 500);
    for (int number = first; number < first + 20; ++number) {
        try {
            return std::make_unique<XServer>(Kind::Xvfb, number);
        } catch (const std::runtime_error &) {
            // Taken: the next one.
        }
    }
    throw std::runtime_error("no free display number from " + std::to_string(first));
}

XServer::~XServer() { stop(); }

// The connection goes first, then the server, and the feeders last: the
// inputtest driver spins on a connection closed under it.
void XServer::stop() {
    if (connection_) XCloseDisplay(connection_);
    connection_ = nullptr;
    server_.stop(SIGTERM);
    mouse_.close_socket();
    touchpad_.close_socket();
}

// Asked for a number another server holds, the server exits: it never
// connects to a stranger's server on that number.
void XServer::start_xvfb(std::optional<int> number) {
    server_ = BackgroundProcess({"/bin/sh", "-c",
                                 "exec Xvfb " + display_argument(number) +
                                     "-displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp "
                                     "3>\"$0/display\" </dev/null >/dev/null 2>&1",
                                 dir_.path()});
    connect_when_listening(10s);
}

void XServer::start_xorg(std::optional<int> number) {
    if (access("/usr/lib/xorg/modules/input/inputtest_drv.so", R_OK) != 0 ||
        access("/usr/lib/xorg/modules/drivers/dummy_drv.so", R_OK) != 0)
        throw std::runtime_error("Xorg's dummy video or inputtest input driver is not installed");
    const std::string &dir = dir_.path();
    std::ofstream(dir + "/xorg.conf") << xorg_config_for(dir, mouse_name_);
    server_ = BackgroundProcess(
        {"/bin/sh", "-c",
         "exec Xorg " + display_argument(number) +
             "-displayfd 3 -config \"$0/xorg.conf\" -configdir \"$0\" -noreset -keeptty -novtswitch "
             "-nolisten tcp -logfile \"$0/Xorg.log\" 3>\"$0/display\" </dev/null >/dev/null 2>&1",
         dir});
    connect_when_listening(20s);
    if (!mouse_.connect(dir + "/mouse.sock") || !touchpad_.connect(dir + "/touchpad.sock"))
        throw std::runtime_error("the inputtest sockets did not answer");
}

void XServer::connect_when_listening(std::chrono::seconds limit) {
    const std::string name = kind_ == Kind::Xvfb ? "Xvfb" : "Xorg";
    const std::string number_file = dir_.path() + "/display";
    bool exited = false;
    bool connected = eventually(
        [&] {
            std::string text = file_exists(number_file) ? read_file(number_file) : "";
            if (!text.empty() && text.back() == '\n') {
                display_ = ":" + text.substr(0, text.size() - 1);
                connection_ = XOpenDisplay(display_.c_str());
                if (connection_) return true;
            }
            exited = !server_.running();
            return exited;
        },
        limit);
    if (!connected || !connection_)
        throw std::runtime_error(name + (exited ? " exited at start" : " did not start within " +
                                                                            std::to_string(limit.count()) + " s"));
    number_ = std::stoi(display_.substr(1));
}

void XServer::kill_server() {
    // Our own connection would die with it, and Xlib would end the process.
    if (connection_) XCloseDisplay(connection_);
    connection_ = nullptr;
    server_.stop(SIGKILL);
}

InputFeeder &XServer::mouse() {
    if (kind_ != Kind::XorgInputtest) throw std::logic_error("Xvfb has no inputtest mouse");
    return mouse_;
}

InputFeeder &XServer::touchpad() {
    if (kind_ != Kind::XorgInputtest) throw std::logic_error("Xvfb has no inputtest touchpad");
    return touchpad_;
}

int XServer::stroke(InputFeeder &device, int units, int step, int gap_us) {
    Window root = DefaultRootWindow(connection_);
    XWarpPointer(connection_, 0, root, 0, 0, 0, 0, 200, 600);
    XSync(connection_, False);
    device.sync();
    // The server's velocity estimate starts from rest, as a hand's stroke does.
    std::this_thread::sleep_for(100ms);
    for (int done = 0; done < units; done += step) {
        device.move(std::min(step, units - done), 0);
        std::this_thread::sleep_for(std::chrono::microseconds(gap_us));
    }
    device.sync();
    Window root_return = 0, child = 0;
    int x = 0, y = 0, window_x = 0, window_y = 0;
    unsigned int mask = 0;
    XQueryPointer(connection_, root, &root_return, &child, &x, &y, &window_x, &window_y, &mask);
    return x - 200;
}

}  // namespace glissor_test
