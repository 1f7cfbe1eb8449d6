#include "live_store_knobs.h"

#include <hidsystem/snapshot_path.h>

namespace hidsystemd_backend {

LiveStoreKnobs::LiveStoreKnobs(std::string_view kind, std::string knob)
    : keeper_(hidsystem::snapshot_path(kind)), knob_(std::move(knob)) {}

// A run that crashed left records: what still holds its values goes back
// before anything new is written.
Status LiveStoreKnobs::connect() {
    if (Status store = connect_store(); !store) return store;
    Result<void> live = pointers_.connect("", [this](const std::string &lost) { if (on_lost) on_lost(lost); },
                                          [this] { device_changed(); });
    if (!live) return live;
    for (const KnobRecord &record : keeper_.leftovers()) put_back(record);
    keeper_.forget_all();
    return Status::success();
}

void LiveStoreKnobs::set_speeds(const hidsystem::SpeedPair &speeds) {
    speeds_ = speeds;
    pointers_.set_speeds(speeds);
    last_write_ = Status::success();
    write_store();
}

void LiveStoreKnobs::restore() {
    for (const auto &[key, record] : keeper_.records()) put_back(record);
    keeper_.forget_all();
    pointers_.restore();
}

void LiveStoreKnobs::describe(hidsystem::BackendReport &report) const {
    report.state = "connected";
    report.display = store_name() + ", X display " + pointers_.display_name();
    report.error = !keeper_.error().empty() ? keeper_.error() : error_;
    int id = 1;
    for (const auto &[place, shown] : shown_)
        report.devices.push_back({id++, hidsystem::class_name(shown.first), knob_, shown.second, place});
    pointers_.describe(report);
}

bool LiveStoreKnobs::shows(const std::string &place, const std::string &text) const {
    auto found = shown_.find(place);
    return found != shown_.end() && found->second.second == text;
}

void LiveStoreKnobs::show(const std::string &place, hidsystem::PointerClass kind, std::string text) {
    shown_[place] = {kind, std::move(text)};
}

// A device that appeared got the speeds live; the store follows.
void LiveStoreKnobs::device_changed() {
    write_store();
    if (on_changed) on_changed();
}

}  // namespace hidsystemd_backend
