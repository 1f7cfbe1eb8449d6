#include "private_xorg.h"

#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <thread>

namespace hidsystem_test {

namespace {

using namespace std::chrono_literals;

// The inputtest driver's wire format (protocol 1.1): native byte order,
// every message led by its length and type.
constexpr std::uint32_t kClientVersion = 0;
constexpr std::uint32_t kWaitForSync = 1;
constexpr std::uint32_t kMotion = 2;
constexpr int kValuators = 64;

struct Header {
    std::uint32_t length;
    std::uint32_t type;
};
struct VersionMessage {
    Header header;
    std::uint16_t major;
    std::uint16_t minor;
};
struct ValuatorData {
    std::uint32_t has_unaccelerated;
    std::uint8_t mask[(kValuators + 7) / 8];
    double valuators[kValuators];
    double unaccelerated[kValuators];
};
struct MotionMessage {
    Header header;
    std::uint32_t is_absolute;
    ValuatorData data;
};
static_assert(sizeof(MotionMessage) == 1056);

constexpr const char *kConfig = R"(Section "ServerFlags"
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

bool send_all(int fd, const void *data, std::size_t size) {
    auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool receive_header(int fd, Header &header, std::size_t size) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 5000) <= 0) return false;
    char buffer[64];
    ssize_t got = recv(fd, buffer, size, MSG_WAITALL);
    if (got != static_cast<ssize_t>(size)) return false;
    std::memcpy(&header, buffer, sizeof header);
    return true;
}

std::string config_for(const std::string &dir, const std::string &mouse_name) {
    std::string text = kConfig;
    for (std::size_t at; (at = text.find("@DIR@")) != std::string::npos;) text.replace(at, 5, dir);
    const std::string mouse = std::string("\"") + kInputtestMouse + "\"";
    for (std::size_t at = 0; (at = text.find(mouse, at)) != std::string::npos; at += mouse_name.size() + 2)
        text.replace(at, mouse.size(), "\"" + mouse_name + "\"");
    return text;
}

}  // namespace

InputFeeder::~InputFeeder() { close_socket(); }

void InputFeeder::close_socket() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool InputFeeder::connect(const std::string &socket_path) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) return false;
    VersionMessage version{{sizeof(VersionMessage), kClientVersion}, 1, 1};
    Header reply{};
    return send_all(fd_, &version, sizeof version) && receive_header(fd_, reply, sizeof(VersionMessage));
}

bool InputFeeder::move(double dx, double dy) {
    MotionMessage motion{};
    motion.header = {sizeof motion, kMotion};
    motion.data.mask[0] = 0x3;  // valuators 0 and 1: x and y
    motion.data.valuators[0] = dx;
    motion.data.valuators[1] = dy;
    return send_all(fd_, &motion, sizeof motion);
}

bool InputFeeder::sync() {
    Header wait{sizeof(Header), kWaitForSync};
    Header reply{};
    return send_all(fd_, &wait, sizeof wait) && receive_header(fd_, reply, sizeof(Header));
}

std::unique_ptr<PrivateXorg> PrivateXorg::start(std::string &why, const std::string &mouse_name) {
    if (access("/usr/lib/xorg/modules/input/inputtest_drv.so", R_OK) != 0 ||
        access("/usr/lib/xorg/modules/drivers/dummy_drv.so", R_OK) != 0) {
        why = "Xorg's dummy video or inputtest input driver is not installed";
        return nullptr;
    }
    std::unique_ptr<PrivateXorg> xorg(new PrivateXorg());
    const std::string dir = xorg->dir_.path();
    std::ofstream(dir + "/xorg.conf") << config_for(dir, mouse_name);
    std::string number_file = dir + "/display";
    xorg->server_ = glissor_test::BackgroundProcess(
        {"/bin/sh", "-c",
         "exec Xorg -displayfd 3 -config \"$0/xorg.conf\" -configdir \"$0\" -noreset -keeptty -novtswitch "
         "-nolisten tcp -logfile \"$0/Xorg.log\" 3>\"$0/display\" </dev/null >/dev/null 2>&1",
         dir});
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!xorg->connection_) {
        std::string text = glissor_test::file_exists(number_file) ? glissor_test::read_file(number_file) : "";
        if (!text.empty() && text.back() == '\n') {
            xorg->display_ = ":" + text.substr(0, text.size() - 1);
            xorg->connection_ = XOpenDisplay(xorg->display_.c_str());
        }
        if (xorg->connection_) break;
        if (!xorg->server_.running() || std::chrono::steady_clock::now() > deadline) {
            why = "Xorg did not start; see its log in " + dir;
            return nullptr;
        }
        std::this_thread::sleep_for(20ms);
    }
    if (!xorg->mouse_.connect(dir + "/mouse.sock") || !xorg->touchpad_.connect(dir + "/touchpad.sock")) {
        why = "the inputtest sockets did not answer";
        return nullptr;
    }
    return xorg;
}

PrivateXorg::~PrivateXorg() {
    if (connection_) XCloseDisplay(connection_);
    server_.stop(SIGTERM);
    mouse_.close_socket();
    touchpad_.close_socket();
}

int PrivateXorg::stroke(InputFeeder &device, int units, int step, int gap_us) {
    Window root = DefaultRootWindow(connection_);
    XWarpPointer(connection_, 0, root, 0, 0, 0, 0, 200, 600);
    XSync(connection_, False);
    device.sync();
    // A pause first, so the server's velocity estimate starts from rest.
    std::this_thread::sleep_for(100ms);
    for (int done = 0; done < units; done += step) {
        device.move(std::min(step, units - done), 0);
        std::this_thread::sleep_for(std::chrono::microseconds(gap_us));
    }
    device.sync();
    Window root_return = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(connection_, root, &root_return, &child, &x, &y, &wx, &wy, &mask);
    return x - 200;
}

}  // namespace hidsystem_test
