#include "parameter_store.h"

#include <cstring>

namespace hidsystemd {

namespace {

constexpr std::string_view kMouseAcceleration = "HIDMouseAcceleration";
constexpr std::string_view kTrackpadAcceleration = "HIDTrackpadAcceleration";

template <typename T>
hidsystem::ParameterBytes bytes_of(T value) {
    hidsystem::ParameterBytes bytes;
    std::memcpy(bytes.data.data(), &value, sizeof value);
    bytes.size = sizeof value;
    return bytes;
}

}  // namespace

std::size_t required_size(std::string_view key) {
    if (key == kMouseAcceleration || key == kTrackpadAcceleration) return sizeof(std::int32_t);
    if (key == hidsystem::kLegacyAccelerationKey) return hidsystem::kLegacyAccelerationSize;
    return 0;
}

ParameterStore::ParameterStore(const std::vector<std::string> &refused_keys)
    : legacy_acceleration_(bytes_of(kDefaultLegacyAcceleration)),
      refused_keys_(refused_keys.begin(), refused_keys.end()) {
    values_.emplace(kMouseAcceleration, bytes_of(kDefaultAccelerationFixed));
    values_.emplace(kTrackpadAcceleration, bytes_of(kDefaultAccelerationFixed));
}

bool ParameterStore::refused(std::string_view key) const { return refused_keys_.find(key) != refused_keys_.end(); }

SetOutcome ParameterStore::set(std::string_view key, const hidsystem::ParameterBytes &value) {
    if (refused(key)) return SetOutcome::Refused;
    // The legacy value has a call of its own; a parameter of that name would
    // be indistinguishable from it in the log.
    if (key == hidsystem::kLegacyAccelerationKey) return SetOutcome::ReservedKey;
    std::size_t size = required_size(key);
    if (size != 0 && value.size != size) return SetOutcome::WrongSize;
    auto existing = values_.find(key);
    if (existing != values_.end()) {
        existing->second = value;
        return SetOutcome::Accepted;
    }
    if (values_.size() >= kMaxParameterKeys) return SetOutcome::NoSpace;
    values_.emplace(std::string(key), value);
    return SetOutcome::Accepted;
}

SetOutcome ParameterStore::set_legacy_acceleration(const hidsystem::ParameterBytes &value) {
    if (refused(hidsystem::kLegacyAccelerationKey)) return SetOutcome::Refused;
    if (value.size != hidsystem::kLegacyAccelerationSize) return SetOutcome::WrongSize;
    legacy_acceleration_ = value;
    return SetOutcome::Accepted;
}

const hidsystem::ParameterBytes *ParameterStore::get(std::string_view key) const {
    if (key == hidsystem::kLegacyAccelerationKey) return &legacy_acceleration_;
    auto found = values_.find(key);
    return found == values_.end() ? nullptr : &found->second;
}

}  // namespace hidsystemd
