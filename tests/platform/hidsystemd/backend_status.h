// What `hidctl backend --json` says, for the tests: the one reader of the
// backend's description, so no test parses hidctl's text for people.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hidsystem_test {

struct BackendDeviceStatus {
    std::uint64_t id = 0;
    std::string device_class, knob, value, name;
};

struct BackendStatus {
    std::string backend, state, reason, writes, talks_to, error;
    int pid = 0;
    std::uint64_t received = 0, sent = 0, applied = 0;
    std::vector<BackendDeviceStatus> devices;

    // The device of that name (or whose name begins with it), if shown.
    std::optional<BackendDeviceStatus> device(const std::string &name) const;
};

// nullopt when hidctl fails or prints something that is not its JSON.
std::optional<BackendStatus> backend_status(const std::map<std::string, std::string> &env);

}  // namespace hidsystem_test
