// One desktop's own pointer settings, as the desktop backend drives them.
// Nothing is written before set_speeds; restore puts back, at a clean end,
// every setting that still holds what was written here.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <hidsystem/backend_channel.h>
#include <hidsystem/pointer_policy.h>

namespace hidsystemd_desktop {

class DesktopKnobs {
public:
    virtual ~DesktopKnobs() = default;

    // Connects, and mends what a run that crashed left behind; false, with
    // the reason, when the desktop cannot be reached.
    virtual bool connect(std::string &error) = 0;
    virtual void set_speeds(const hidsystem::SpeedPair &speeds) = 0;
    virtual void restore() = 0;
    // Fills state, display (what it talks to), error and devices.
    virtual void describe(hidsystem::BackendReport &report) const = 0;
    // The fewest milliseconds between two writes: a settings database is
    // written at most about ten times a second.
    virtual int write_interval_ms() const = 0;

    // Set by the main loop. on_lost: the desktop went away (the backend
    // reports it and ends); on_changed: something worth a new report.
    std::function<void(const std::string &)> on_lost;
    std::function<void()> on_changed;
};

std::unique_ptr<DesktopKnobs> make_gnome_knobs();
std::unique_ptr<DesktopKnobs> make_kde_knobs();
std::unique_ptr<DesktopKnobs> make_sway_knobs();

// "flat" or "adaptive", the name every desktop here uses.
const char *profile_name(hidsystem::LibinputProfile profile);
// "adaptive 0.500", for reports.
std::string describe_setting(std::string_view profile, double speed);

}  // namespace hidsystemd_desktop
