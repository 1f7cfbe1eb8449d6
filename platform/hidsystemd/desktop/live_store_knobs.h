// The shape shared by the X11 desktops whose own daemon applies a stored
// setting to the devices only at login or when one appears (Xfce, KDE
// Plasma and LXQt on X11): the store is written as the desktop's settings
// window would write it, so the next login and hot-plug keep the choice,
// and the X devices are written live beside it, so it is felt at once. A
// kind says how to reach its store, write it and put one record back.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "knob_snapshot.h"
#include "knobs.h"
#include "x_pointers.h"

namespace hidsystemd_backend {

class LiveStoreKnobs : public Knobs {
public:
    // `kind` names the snapshot file; `knob` is what reports call the store.
    LiveStoreKnobs(std::string_view kind, std::string knob);

    Status connect() final;
    void set_speeds(const hidsystem::SpeedPair &speeds) final;
    // Refused when the store refused any of it, though the devices got it
    // live: the next login would not.
    Status last_write() const final { return last_write_; }
    void restore() final;
    void describe(hidsystem::BackendReport &report) const final;
    std::chrono::milliseconds write_interval() const final { return std::chrono::milliseconds(100); }

protected:
    // Reaches the store; the X server is connected after it.
    virtual Status connect_store() { return Status::success(); }
    // Writes what speeds() asks into the store, for devices() as they are.
    virtual void write_store() = 0;
    // Puts one record back if it still holds what was written.
    virtual void put_back(const KnobRecord &record) = 0;
    // What the store is, for reports.
    virtual std::string store_name() const = 0;

    const hidsystem::SpeedPair &speeds() const { return speeds_; }
    std::vector<hidsystemd_x11::PointerDevice> devices() const { return pointers_.devices(); }
    SnapshotKeeper &keeper() { return keeper_; }
    // What a place of the store shows now, for reports; true when it
    // already shows that (nothing to write).
    bool shows(const std::string &place, const std::string &text) const;
    void show(const std::string &place, hidsystem::PointerClass kind, std::string text);
    // The store refused a write: said, and the pair being written does not
    // count as applied.
    void fail(std::string why) {
        error_ = why;
        last_write_ = Failure(std::move(why));
    }

private:
    void device_changed();

    hidsystemd_x11::XPointers pointers_;
    SnapshotKeeper keeper_;
    std::string knob_;
    hidsystem::SpeedPair speeds_;
    std::map<std::string, std::pair<hidsystem::PointerClass, std::string>> shown_;
    std::string error_;
    Status last_write_;
};

}  // namespace hidsystemd_backend
