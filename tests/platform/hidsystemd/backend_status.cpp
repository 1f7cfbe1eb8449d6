#include "backend_status.h"

#include <nlohmann/json.hpp>

#include "process.h"

namespace hidsystem_test {

std::optional<BackendDeviceStatus> BackendStatus::device(const std::string &name) const {
    for (const BackendDeviceStatus &device : devices)
        if (device.name.rfind(name, 0) == 0) return device;
    return std::nullopt;
}

std::optional<BackendStatus> backend_status(const std::map<std::string, std::string> &env) {
    auto run = glissor_test::run_process({glissor_test::bin_path("hidctl"), "backend", "--json"}, {.env = env});
    if (run.exit_code != 0) return std::nullopt;
    auto json = nlohmann::json::parse(run.out, nullptr, false);
    if (!json.is_object()) return std::nullopt;
    try {
        BackendStatus status;
        status.backend = json.at("backend");
        status.state = json.at("state");
        status.reason = json.at("reason");
        status.writes = json.at("writes");
        status.talks_to = json.at("talks_to");
        status.error = json.at("error");
        status.pid = json.at("pid");
        status.received = json.at("received");
        status.sent = json.at("sent");
        status.applied = json.at("applied");
        for (const auto &device : json.at("devices"))
            status.devices.push_back({device.at("id"), device.at("class"), device.at("knob"), device.at("value"),
                                      device.at("name")});
        return status;
    } catch (const nlohmann::json::exception &) {
        return std::nullopt;
    }
}

}  // namespace hidsystem_test
