// A private X server for a test, a benchmark or the walk-through, so that
// nothing ever runs on the display of whoever runs them. Two kinds:
// - Xvfb, with its virtual core devices, for windows and device settings;
// - Xorg on the dummy video driver with two pointers of the inputtest
//   driver, a mouse and a touchpad, fed over their sockets: real relative
//   motion through the server's acceleration.
// The server takes a display number it picks itself (-displayfd), so runs
// side by side never race for one, and always runs with -noreset, so
// settings survive the last client leaving. It is stopped (SIGTERM), and
// its folder removed, when the fixture goes.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "inputtest_feeder.h"
#include "process.h"
#include "temp_home.h"

struct _XDisplay;  // Xlib stays out: its macros clash with GoogleTest's names

namespace glissor_test {

inline constexpr const char *kInputtestMouse = "Glissor test mouse";
inline constexpr const char *kInputtestTouchpad = "Glissor test TouchPad";

class XServer {
public:
    enum class Kind { Xvfb, XorgInputtest };

    // Starts the server and connects to it; throws std::runtime_error
    // saying why when it cannot. `number` asks for that display number (to
    // come back on the display of a server that was killed).
    // The Xorg kind's mouse may take another name (Xwayland's, say).
    explicit XServer(Kind kind = Kind::Xvfb, std::optional<int> number = std::nullopt,
                     std::string mouse_name = kInputtestMouse);
    // The same, nullptr and `why` where it cannot start: for the Xorg
    // kind, whose drivers a machine may lack.
    static std::unique_ptr<XServer> try_start(Kind kind, std::string &why, std::string mouse_name = kInputtestMouse);
    // Xvfb on a number far above those servers pick for themselves, so that
    // the number is still free when a test brings a killed server back on it.
    static std::unique_ptr<XServer> xvfb_on_a_high_number();
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    Kind kind() const { return kind_; }
    const std::string &display() const { return display_; }  // ":N"
    int number() const { return number_; }
    // This fixture's own connection. Xlib errors on it are ignored (Xlib's
    // default handler would end the process): callers check what they get.
    _XDisplay *connection() const { return connection_; }
    // For a program that opens windows on it. No accessibility bridge: the
    // server has no session bus for it, and the bridge keeps what it
    // allocated while looking for one past exit, which LeakSanitizer reports.
    std::map<std::string, std::string> env() const {
        return {{"DISPLAY", display_}, {"WAYLAND_DISPLAY", ""}, {"NO_AT_BRIDGE", "1"}};
    }
    // SIGKILL, as a crash would end it.
    void kill_server();

    // The Xorg kind's inputtest pointers; std::logic_error on Xvfb.
    InputFeeder &mouse();
    InputFeeder &touchpad();
    // A fast horizontal stroke of `units` in steps of `step`, spaced by
    // `gap_us`, from a fixed point of the screen; the pixels the pointer moved.
    int stroke(InputFeeder &device, int units, int step = 10, int gap_us = 4000);

private:
    void start_xvfb(std::optional<int> number);
    void start_xorg(std::optional<int> number);
    // Waits for the number the server writes once it listens, and connects.
    void connect_when_listening(std::chrono::seconds limit);
    void stop();

    Kind kind_;
    std::string mouse_name_;
    TempDir dir_;
    BackgroundProcess server_;
    std::string display_;
    int number_ = -1;
    _XDisplay *connection_ = nullptr;
    InputFeeder mouse_;
    InputFeeder touchpad_;
};

}  // namespace glissor_test
