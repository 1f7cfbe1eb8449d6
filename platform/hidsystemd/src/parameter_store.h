// The acceleration parameters the service holds, in memory only: a restart
// brings back the defaults. Keys it has never seen are accepted too, up to
// a fixed number of them, so memory stays bounded.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <hidsystem/protocol.h>
#include <hidsystem/service_limits.h>

namespace hidsystemd {

using hidsystem::kMaxParameterKeys;

// What a fresh daemon holds.
using hidsystem::kDefaultAccelerationFixed;
inline constexpr double kDefaultLegacyAcceleration = 0.6875;

enum class SetOutcome { Accepted, Refused, WrongSize, ReservedKey, NoSpace };

class ParameterStore {
public:
    explicit ParameterStore(const std::vector<std::string> &refused_keys);

    SetOutcome set(std::string_view key, const hidsystem::ParameterBytes &value);
    // The legacy call, which stores a double under kLegacyAccelerationKey.
    SetOutcome set_legacy_acceleration(const hidsystem::ParameterBytes &value);
    // The value, or NULL when the key was never set. Borrowed until the next set.
    const hidsystem::ParameterBytes *get(std::string_view key) const;

private:
    bool refused(std::string_view key) const;
    std::map<std::string, hidsystem::ParameterBytes, std::less<>> values_;
    hidsystem::ParameterBytes legacy_acceleration_;
    std::set<std::string, std::less<>> refused_keys_;
};

// The size a key must have, or 0 when any size will do.
std::size_t required_size(std::string_view key);

}  // namespace hidsystemd
