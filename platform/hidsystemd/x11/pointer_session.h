// The backend's view of one X server: its slave pointers, the speeds asked
// for, and what it changed. Nothing is written until a speed is set; a knob
// is snapshotted before its first write and put back at the end only when
// it still holds what was written.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <Result.h>
#include <hidsystem/backend_channel.h>

#include "device_knobs.h"

struct _XDisplay;
union _XEvent;

namespace hidsystemd_x11 {

class PointerSession {
public:
    explicit PointerSession(_XDisplay *display) : display_(display) {}

    // Asks for hierarchy events and reads the devices present.
    Result<void> start();  // not Status: Xlib defines that name as a macro
    void set_speeds(const hidsystem::SpeedPair &speeds);
    // A device added, enabled or attached gets the current speeds at once.
    void on_event(_XEvent &event);
    // Puts back every knob that still holds the value written here.
    void restore();
    hidsystem::BackendReport report(std::uint64_t applied_sequence) const;
    // The devices the backend may drive (not XTEST's, not Xwayland's).
    std::vector<PointerDevice> devices() const;

private:
    struct Tracked {
        DeviceFacts facts;
        bool enabled = true;
        std::optional<KnobValue> original;  // before the first write
        std::optional<KnobValue> written;
        std::string applied = "-";
    };

    void scan();
    void track(int id, const std::string &name, bool enabled, bool fresh);
    // A device met afresh is read before it is written; the devices already
    // written follow from the last write.
    enum class Basis { Reading, LastWrite };
    void apply(Tracked &device, Basis basis);
    void rewrite(Tracked &device, double speed);
    std::optional<double> speed_for(const Tracked &device) const;

    _XDisplay *display_;
    int xi_opcode_ = 0;
    hidsystem::SpeedPair speeds_;
    std::map<int, Tracked> devices_;
    std::string last_error_;
};

}  // namespace hidsystemd_x11
