// What the desktop backends' tests share: the service started with a
// backend, a value set through the protocol, and the backend's description.
#pragma once

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_status.h"
#include "event_daemon.h"
#include "private_x.h"
#include "raw_client.h"

namespace hidsystem_test {

inline std::int32_t fixed(double speed) { return static_cast<std::int32_t>(std::lround(speed * 65536)); }

class DesktopService {
public:
    explicit DesktopService(const std::vector<std::string> &arguments)
        : daemon_(std::make_unique<glissor_test::EventDaemon>(std::vector<std::string>{}, arguments)) {}

    glissor_test::EventDaemon &daemon() { return *daemon_; }
    void set(const char *key, double speed) {
        RawClient client(daemon_->socket_path());
        EXPECT_EQ(client.ask(std::string("SET ") + key + " " + hex_of(fixed(speed))), "HIDSYSTEM/1 OK");
    }
    std::string backend() const {
        return glissor_test::run_process({glissor_test::bin_path("hidctl"), "backend"}, {.env = daemon_->env()}).out;
    }
    bool backend_says(const std::string &text, std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
        return eventually([&] { return backend().find(text) != std::string::npos; }, limit);
    }
    std::optional<BackendStatus> status() const { return backend_status(daemon_->env()); }
    // Until the backend reports the last pair it was sent as written.
    bool settled() const {
        return eventually(
            [&] {
                auto now = status();
                return now && now->sent > 0 && now->sent == now->applied;
            },
            std::chrono::seconds(10));
    }

private:
    std::unique_ptr<glissor_test::EventDaemon> daemon_;
};

}  // namespace hidsystem_test
