// The service with and without a backend: recording alone changes nothing,
// and a desktop that never answers delays no reply.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "event_daemon.h"
#include "private_x.h"
#include "process.h"
#include "raw_client.h"
#include "temp_home.h"

namespace {

using glissor_test::EventDaemon;
using hidsystem_test::RawClient;

std::string backend_of(const EventDaemon &service) {
    return glissor_test::run_process({glissor_test::bin_path("hidctl"), "backend"}, {.env = service.env()}).out;
}

TEST(ServiceBackend, WithoutABackendTheServiceOnlyRecords) {
    glissor_test::XServer x;
    int mouse = hidsystem_test::device_id(x.connection(), "Xvfb mouse");
    auto before = hidsystem_test::feedback(x.connection(), mouse);
    glissor_test::ScopedEnv display("DISPLAY", x.display());  // within reach, and still not touched
    EventDaemon service;
    RawClient client(service.socket_path());
    EXPECT_EQ(client.ask("SET HIDMouseAcceleration " + hidsystem_test::hex_of(3 << 16)), "HIDSYSTEM/1 OK");
    EXPECT_EQ(service.get("HIDMouseAcceleration"), std::to_string(3 << 16));
    // No backend was started, so nothing can come later to change the device.
    std::string text = backend_of(service);
    EXPECT_NE(text.find("backend: none\nstate: off\n"), std::string::npos) << text;
    EXPECT_EQ(hidsystem_test::feedback(x.connection(), mouse), before);
}

// Something on an X display's port that accepts and never says a word.
class SilentDisplay {
public:
    SilentDisplay() {
        for (number_ = 90; number_ < 190; ++number_) {
            fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(6000 + number_));
            if (bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 && listen(fd_, 8) == 0) return;
            close(fd_);
        }
        fd_ = -1;
    }
    ~SilentDisplay() {
        if (fd_ >= 0) close(fd_);
    }
    bool ready() const { return fd_ >= 0; }
    std::string name() const { return "127.0.0.1:" + std::to_string(number_); }

private:
    int fd_ = -1;
    int number_ = 0;
};

TEST(ServiceBackend, ADisplayThatNeverAnswersDelaysNoReplyAndIsReported) {
    SilentDisplay silent;
    ASSERT_TRUE(silent.ready());
    EventDaemon service({}, {"--backend", "x11", "--display", silent.name()});
    RawClient client(service.socket_path());
    // Each reply comes at once. One that waited for the backend would wait
    // out the service's three-second limit for it, and the ask's own limit.
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(client.ask("SET HIDMouseAcceleration " + hidsystem_test::hex_of(i << 12)), "HIDSYSTEM/1 OK");
    EXPECT_TRUE(hidsystem_test::eventually(
        [&] { return backend_of(service).find("did not answer within 3 s") != std::string::npos; },
        std::chrono::seconds(8)))
        << backend_of(service);
    EXPECT_EQ(service.get("HIDMouseAcceleration"), std::to_string(199 << 12));
}

}  // namespace
