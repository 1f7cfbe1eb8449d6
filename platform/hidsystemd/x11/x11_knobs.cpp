// x11: a session with no desktop that keeps pointer settings of its own.
// The X server's slave pointers are the knobs, written live.
#include "knobs.h"
#include "x_pointers.h"

namespace hidsystemd_backend {

namespace {

class X11Knobs final : public Knobs {
public:
    Status connect() override {
        return pointers_.connect("", [this](const std::string &why) { if (on_lost) on_lost(why); },
                                 [this] { if (on_changed) on_changed(); });
    }
    void set_speeds(const hidsystem::SpeedPair &speeds) override { pointers_.set_speeds(speeds); }
    void restore() override { pointers_.restore(); }
    void describe(hidsystem::BackendReport &report) const override { pointers_.describe(report); }

private:
    hidsystemd_x11::XPointers pointers_;
};

}  // namespace

const KnobsRegistration kX11("x11", [] { return std::unique_ptr<Knobs>(std::make_unique<X11Knobs>()); });

}  // namespace hidsystemd_backend
