// A private Xorg on the dummy video driver with two pointers of the server's
// inputtest driver, a mouse and a touchpad, fed over their sockets: real
// relative motion through the server's acceleration, which XTEST motion
// never goes through.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "process.h"
#include "temp_home.h"

struct _XDisplay;

namespace hidsystem_test {

inline constexpr const char *kInputtestMouse = "Glissor test mouse";
inline constexpr const char *kInputtestTouchpad = "Glissor test TouchPad";

// One inputtest device's control socket.
class InputFeeder {
public:
    InputFeeder() = default;
    ~InputFeeder();
    InputFeeder(const InputFeeder &) = delete;
    InputFeeder &operator=(const InputFeeder &) = delete;

    // Connects and exchanges protocol versions; false when it cannot.
    bool connect(const std::string &socket_path);
    // Relative motion, as a mouse reports it.
    bool move(double dx, double dy);
    // Waits until the server has processed everything sent.
    bool sync();
    void close_socket();

private:
    int fd_ = -1;
};

class PrivateXorg {
public:
    // nullopt when Xorg or its drivers are missing or it does not start;
    // `why` says which. The mouse may take another name (the touchpad's
    // keeps it a touchpad).
    static std::unique_ptr<PrivateXorg> start(std::string &why, const std::string &mouse_name = kInputtestMouse);
    // Stops Xorg before closing the feeders: the driver spins on a closed
    // connection.
    ~PrivateXorg();

    const std::string &display() const { return display_; }
    _XDisplay *connection() const { return connection_; }
    InputFeeder &mouse() { return mouse_; }
    InputFeeder &touchpad() { return touchpad_; }

    // A fast horizontal stroke of `units` in steps of `step`, spaced by
    // `gap_us`, from the middle of the screen; the pixels the pointer moved.
    int stroke(InputFeeder &device, int units, int step = 10, int gap_us = 4000);

private:
    PrivateXorg() = default;
    glissor_test::TempDir dir_;
    glissor_test::BackgroundProcess server_;
    std::string display_;
    _XDisplay *connection_ = nullptr;
    InputFeeder mouse_;
    InputFeeder touchpad_;
};

}  // namespace hidsystem_test
