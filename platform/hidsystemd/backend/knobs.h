// One desktop's pointer settings, as a backend program drives them. The
// backend program (backend_program.h) owns the channel to the service, the
// pacing, the reports and the signals; a Knobs only sets what its desktop
// reads. Nothing is written before set_speeds; restore puts back, at a
// clean end, every setting that still holds what was written here.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <Result.h>
#include <hidsystem/backend_channel.h>
#include <hidsystem/pointer_policy.h>

namespace hidsystemd_backend {

class Knobs {
public:
    virtual ~Knobs() = default;

    // Connects, and mends what a run that crashed left behind; a failure
    // says why the desktop cannot be reached.
    virtual Status connect() = 0;
    virtual void set_speeds(const hidsystem::SpeedPair &speeds) = 0;
    // How the last set_speeds went: a failure when the desktop refused some
    // of it (a locked key, a value of the user's that is not ours to
    // replace). That pair is done but does not count as applied, and the
    // reports say why until a pair is written in full.
    virtual Status last_write() const { return Status::success(); }
    virtual void restore() = 0;
    // Fills state, display (what it talks to), error and devices.
    virtual void describe(hidsystem::BackendReport &report) const = 0;
    // The least time between two writes: a settings database is written at
    // most about ten times a second; a live device or a command socket is
    // paced by the one APPLY in flight alone.
    virtual std::chrono::milliseconds write_interval() const { return std::chrono::milliseconds(0); }

    // Set by the backend program. on_lost: the desktop went away (the
    // backend reports it and ends); on_changed: something worth a report.
    std::function<void(const std::string &)> on_lost;
    std::function<void()> on_changed;
};

using KnobsFactory = std::unique_ptr<Knobs> (*)();

// A knobs file registers its kind's name, the same as its row in the table
// of kinds (hidsystem/backend_kinds.h), with one of these at namespace scope.
struct KnobsRegistration {
    KnobsRegistration(std::string_view kind, KnobsFactory factory);
};

// nullptr when no knobs of that kind are built into this program.
std::unique_ptr<Knobs> make_knobs(std::string_view kind);

// "flat" or "adaptive", the name every desktop here uses.
const char *profile_name(hidsystem::LibinputProfile profile);
// A libinput speed as compositors' commands take it: "0.500000".
std::string speed_text(double speed);
// "adaptive 0.500", for reports.
std::string describe_setting(std::string_view profile, double speed);

}  // namespace hidsystemd_backend
