// A private Xvfb for the event service's X11 tests, and what those tests read
// and change on it: per-device pointer feedback, device properties, the core
// pointer control and the device hierarchy.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include "process.h"
#include "temp_home.h"

struct _XDisplay;  // Xlib stays out: its macros clash with GoogleTest's names

namespace hidsystem_test {

class PrivateXvfb {
public:
    // On a display number Xvfb picks, or on `number` (to come back on the
    // display of a server that was killed). Always -noreset, so settings
    // survive the last client leaving.
    explicit PrivateXvfb(std::optional<int> number = std::nullopt);
    // On a number far above those servers pick for themselves, so that the
    // number is still free when a test brings a killed server back on it.
    static std::unique_ptr<PrivateXvfb> on_a_high_number();
    ~PrivateXvfb();
    PrivateXvfb(const PrivateXvfb &) = delete;
    PrivateXvfb &operator=(const PrivateXvfb &) = delete;

    const std::string &display() const { return display_; }
    int number() const { return number_; }
    _XDisplay *connection() const { return connection_; }
    // SIGKILL, as a crash would end it.
    void kill_server();

private:
    glissor_test::TempDir dir_;
    glissor_test::BackgroundProcess server_;
    std::string display_;
    int number_ = -1;
    _XDisplay *connection_ = nullptr;
};

struct Feedback {
    int numerator = 0;
    int denominator = 0;
    int threshold = 0;
    bool operator==(const Feedback &) const = default;
};

struct PointerControl {
    int numerator = 0;
    int denominator = 0;
    int threshold = 0;
    bool operator==(const PointerControl &) const = default;
};

// The id of the device of that name, or -1.
int device_id(_XDisplay *display, const std::string &name);
std::optional<Feedback> feedback(_XDisplay *display, int id);
void set_feedback(_XDisplay *display, int id, int numerator, int denominator);
PointerControl pointer_control(_XDisplay *display);

// Creates or replaces a device property, as a driver would have made it.
void put_float_property(_XDisplay *display, int id, const std::string &name, float value);
void put_byte_property(_XDisplay *display, int id, const std::string &name, const std::vector<unsigned char> &bytes);
std::optional<float> float_property(_XDisplay *display, int id, const std::string &name);
std::vector<unsigned char> byte_property(_XDisplay *display, int id, const std::string &name);

void set_enabled(_XDisplay *display, int id, bool enabled);
// A new master pointer and keyboard pair, each with its XTEST slave.
void add_master(_XDisplay *display, const std::string &name);

// Polls `check` until it holds or the limit passes; its last answer. The
// default limit is generous: the suite runs two tests at a time on two
// cores, with X servers and buses of their own.
template <typename Check>
bool eventually(Check check, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!check()) {
        if (std::chrono::steady_clock::now() >= deadline) return check();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace hidsystem_test
