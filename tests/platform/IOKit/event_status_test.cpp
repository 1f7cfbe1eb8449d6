// The IOKit client library against a real daemon, a dead one, and a
// service that misbehaves.
#include <IOKit/hidsystem/IOHIDLib.h>
#include <IOKit/hidsystem/event_status_driver.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <hidsystem/service_limits.h>

#include "event_daemon.h"
#include "temp_home.h"
#include "wait.h"

#include <CFText.h>

namespace {

using glissor_test::EventDaemon;
using glissor_test::ScopedEnv;
using glissor_test::TempDir;

kern_return_t set_fixed(NXEventHandle handle, CFStringRef key, std::int32_t value) {
    return IOHIDSetParameter(handle, key, &value, sizeof value);
}

class IOKitTest : public glissor_test::LiveValueTest {};

TEST_F(IOKitTest, OpenGivesZeroWhenNoDaemonAnswers) {
    TempDir dir;
    ScopedEnv nowhere("HIDSYSTEM_SOCKET", dir.path() + "/absent.sock");
    EXPECT_EQ(NXOpenEventStatus(), 0u);
    {
        // The socket of a daemon that is gone.
        EventDaemon daemon;
        std::string path = daemon.socket_path();
        daemon.process().stop(SIGKILL);
        ScopedEnv stale("HIDSYSTEM_SOCKET", path);
        EXPECT_EQ(NXOpenEventStatus(), 0u);
    }
    EXPECT_NE(set_fixed(0, CFSTR(kIOHIDMouseAccelerationType), 65536), KERN_SUCCESS);
}

TEST_F(IOKitTest, SetsReachTheDaemonInOrderAndReadBack) {
    EventDaemon daemon;
    NXEventHandle handle = NXOpenEventStatus();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(IOHIDSetMouseAcceleration(handle, 1.5), KERN_SUCCESS);
    EXPECT_EQ(set_fixed(handle, CFSTR(kIOHIDMouseAccelerationType), 98304), kIOReturnSuccess);
    EXPECT_EQ(set_fixed(handle, CFSTR(kIOHIDTrackpadAccelerationType), -65536), kIOReturnSuccess);

    std::int32_t read_back = 0;
    IOByteCount size = 0;
    EXPECT_EQ(IOHIDGetParameter(handle, CFSTR("HIDTrackpadAcceleration"), sizeof read_back, &read_back, &size),
              kIOReturnSuccess);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(read_back, -65536);
    unsigned char first_byte[1] = {0xaa};
    EXPECT_EQ(IOHIDGetParameter(handle, CFSTR("HIDMouseAcceleration"), 1, first_byte, &size), kIOReturnSuccess);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(first_byte[0], 0x00);
    EXPECT_EQ(IOHIDGetParameter(handle, CFSTR("HIDNeverSet"), 4, &read_back, &size), kIOReturnNotFound);
    NXCloseEventStatus(handle);

    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "98304");
    EXPECT_EQ(daemon.get("HIDTrackpadAcceleration"), "-65536");
    auto log = daemon.log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].key, "legacy-mouse-acceleration");
    EXPECT_EQ(log[0].value, "1.5");
    EXPECT_EQ(log[1].key, "HIDMouseAcceleration");
    EXPECT_EQ(log[2].key, "HIDTrackpadAcceleration");
}

TEST_F(IOKitTest, RefusalsAndBadArgumentsHaveTheirOwnCodes) {
    EventDaemon daemon({"HIDTrackpadAcceleration"});
    NXEventHandle handle = NXOpenEventStatus();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(set_fixed(handle, CFSTR("HIDTrackpadAcceleration"), 65536), kIOReturnNotPermitted);
    std::int16_t half = 1;
    EXPECT_EQ(IOHIDSetParameter(handle, CFSTR("HIDMouseAcceleration"), &half, sizeof half), kIOReturnBadArgument);

    std::int32_t value = 65536;
    std::vector<unsigned char> oversized(257);
    auto spaced = CFStringFromUTF8("two words");
    auto accented = CFStringFromUTF8("Acc\xc3\xa9l\xc3\xa9ration");
    auto overlong = CFStringFromUTF8(std::string(200, 'k'));
    EXPECT_EQ(IOHIDSetParameter(handle, nullptr, &value, 4), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDSetParameter(handle, CFSTR("HIDMouseAcceleration"), nullptr, 4), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDSetParameter(handle, CFSTR("HIDMouseAcceleration"), &value, 0), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDSetParameter(handle, CFSTR("HIDBig"), oversized.data(), 257), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDSetParameter(handle, spaced.get(), &value, 4), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDSetParameter(handle, accented.get(), &value, 4), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDSetParameter(handle, overlong.get(), &value, 4), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDGetParameter(handle, spaced.get(), 4, &value, nullptr), kIOReturnBadArgument);

    // None of that upset the connection.
    EXPECT_EQ(set_fixed(handle, CFSTR("HIDMouseAcceleration"), 32768), kIOReturnSuccess);
    NXCloseEventStatus(handle);
    ASSERT_EQ(daemon.log().size(), 1u);
    EXPECT_EQ(daemon.get("HIDTrackpadAcceleration"), "45056");
}

TEST_F(IOKitTest, HandlesThatAreNotOpenFailCleanlyEvenWhenTheirSlotIsReused) {
    EventDaemon daemon;
    NXEventHandle first = NXOpenEventStatus();
    ASSERT_NE(first, 0u);
    NXCloseEventStatus(first);
    NXCloseEventStatus(first);
    NXCloseEventStatus(0);
    EXPECT_EQ(set_fixed(first, CFSTR("HIDMouseAcceleration"), 1), kIOReturnNotOpen);
    EXPECT_EQ(IOHIDSetMouseAcceleration(first, 1.0), kIOReturnNotOpen);
    EXPECT_EQ(set_fixed(0, CFSTR("HIDMouseAcceleration"), 1), kIOReturnNotOpen);
    EXPECT_EQ(set_fixed(0xdeadbeef, CFSTR("HIDMouseAcceleration"), 1), kIOReturnNotOpen);

    NXEventHandle second = NXOpenEventStatus();
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_EQ(set_fixed(first, CFSTR("HIDMouseAcceleration"), 1), kIOReturnNotOpen);
    EXPECT_EQ(set_fixed(second, CFSTR("HIDMouseAcceleration"), 2), kIOReturnSuccess);
    NXCloseEventStatus(second);
    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "2");
}

TEST_F(IOKitTest, ADroppedConnectionFailsEveryCallUntilClosed) {
    EventDaemon daemon;
    NXEventHandle handle = NXOpenEventStatus();
    ASSERT_NE(handle, 0u);
    ASSERT_EQ(daemon.process().stop(SIGTERM), 0);
    // Writing to the dead socket must not raise SIGPIPE in the caller.
    EXPECT_EQ(IOHIDSetMouseAcceleration(handle, 2.0), kIOReturnNotResponding);
    EXPECT_EQ(set_fixed(handle, CFSTR("HIDMouseAcceleration"), 1), kIOReturnNotResponding);
    NXCloseEventStatus(handle);
    EXPECT_EQ(set_fixed(handle, CFSTR("HIDMouseAcceleration"), 1), kIOReturnNotOpen);

    glissor_test::BackgroundProcess successor({glissor_test::bin_path("hidsystemd"), "--socket", daemon.socket_path()});
    ASSERT_TRUE(glissor_test::eventually([&] { return glissor_test::socket_answers(daemon.socket_path()); }));
    NXEventHandle fresh = NXOpenEventStatus();
    EXPECT_NE(fresh, 0u);
    EXPECT_EQ(set_fixed(fresh, CFSTR("HIDMouseAcceleration"), 1), kIOReturnSuccess);
    NXCloseEventStatus(fresh);
}

TEST_F(IOKitTest, SixtyFourHandlesAtMostAndEachIsItsOwn) {
    EventDaemon daemon;
    std::vector<NXEventHandle> handles;
    for (int i = 0; i < 64; ++i) handles.push_back(NXOpenEventStatus());
    EXPECT_EQ(std::set<NXEventHandle>(handles.begin(), handles.end()).size(), 64u);
    for (NXEventHandle handle : handles) EXPECT_NE(handle, 0u);
    EXPECT_EQ(NXOpenEventStatus(), 0u);
    NXCloseEventStatus(handles[10]);
    handles[10] = NXOpenEventStatus();
    EXPECT_NE(handles[10], 0u);
    for (std::size_t i = 0; i < handles.size(); ++i)
        EXPECT_EQ(set_fixed(handles[i], CFSTR("HIDMouseAcceleration"), static_cast<std::int32_t>(i)), kIOReturnSuccess);
    for (NXEventHandle handle : handles) NXCloseEventStatus(handle);
    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "63");
}

TEST_F(IOKitTest, ThreadsSharingAHandleEachGetTheirOwnReplies) {
    EventDaemon daemon;
    NXEventHandle handle = NXOpenEventStatus();
    ASSERT_NE(handle, 0u);
    std::atomic<int> failures{0};
    auto worker = [&](std::int32_t base) {
        for (std::int32_t i = 0; i < 200; ++i) {
            std::int32_t got = 0;
            IOByteCount size = 0;
            if (set_fixed(handle, CFSTR("HIDMouseAcceleration"), base + i) != kIOReturnSuccess ||
                IOHIDGetParameter(handle, CFSTR("HIDTrackpadAcceleration"), 4, &got, &size) != kIOReturnSuccess ||
                got != 45056)
                ++failures;
        }
    };
    std::thread one(worker, 1000), two(worker, 2000);
    one.join();
    two.join();
    NXCloseEventStatus(handle);
    EXPECT_EQ(failures.load(), 0);
}

// A stand-in service that accepts and then does only what the test says.
class FakeService {
public:
    explicit FakeService(std::string greeting_and_replies) : replies_(std::move(greeting_and_replies)) {
        listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        bind(listen_fd_, reinterpret_cast<sockaddr *>(&address), sizeof address);
        listen(listen_fd_, 4);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeService() {
        shutdown(listen_fd_, SHUT_RDWR);
        thread_.join();
        close(listen_fd_);
    }
    const std::string &path() const { return path_; }

private:
    // Each request line is answered by the next chunk of replies_ (chunks
    // separated by '|'); an empty chunk, or running out, answers nothing.
    // The connection stays open until the client closes it.
    void serve() {
        int fd = accept(listen_fd_, nullptr, nullptr);
        if (fd < 0) return;
        std::size_t start = 0;
        char byte = 0;
        while (recv(fd, &byte, 1, 0) == 1) {
            if (byte != '\n' || start > replies_.size()) continue;
            std::size_t end = replies_.find('|', start);
            if (end == std::string::npos) end = replies_.size();
            std::string chunk = replies_.substr(start, end - start);
            if (!chunk.empty()) send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
            start = end + 1;
        }
        close(fd);
    }

    TempDir dir_;
    std::string path_ = dir_.path() + "/fake.sock";
    std::string replies_;
    int listen_fd_ = -1;
    std::thread thread_;
};

TEST_F(IOKitTest, AServiceThatBabblesOrKeepsSilentIsNotResponding) {
    {
        FakeService babbler("HIDSYSTEM/1 OK hidsystemd\n|HIDSYSTEM/1 OK\nHIDSYSTEM/1 OK\n|HIDSYSTEM/1 OK\n");
        ScopedEnv socket_env("HIDSYSTEM_SOCKET", babbler.path());
        NXEventHandle handle = NXOpenEventStatus();
        ASSERT_NE(handle, 0u);
        EXPECT_EQ(set_fixed(handle, CFSTR("HIDMouseAcceleration"), 1), kIOReturnNotResponding);
        // Out of step now: even a well-formed reply is not trusted.
        EXPECT_EQ(set_fixed(handle, CFSTR("HIDMouseAcceleration"), 1), kIOReturnNotResponding);
        NXCloseEventStatus(handle);
    }
    {
        // The hello's reply is read with the first call's: a stranger's
        // answer to it fails that call, and the handle stays useless.
        FakeService stranger("HIDSYSTEM/1 MAYBE\n|HIDSYSTEM/1 OK\n|HIDSYSTEM/1 OK\n");
        ScopedEnv socket_env("HIDSYSTEM_SOCKET", stranger.path());
        NXEventHandle handle = NXOpenEventStatus();
        EXPECT_EQ(IOHIDSetMouseAcceleration(handle, 1.0), kIOReturnNotResponding);
        EXPECT_EQ(set_fixed(handle, CFSTR(kIOHIDMouseAccelerationType), 1), kIOReturnNotResponding);
        NXCloseEventStatus(handle);
    }
    {
        // A service that turns the client away says why on the first call.
        FakeService busy("HIDSYSTEM/1 ERR e00002d5 busy\n|HIDSYSTEM/1 OK\n");
        ScopedEnv socket_env("HIDSYSTEM_SOCKET", busy.path());
        NXEventHandle handle = NXOpenEventStatus();
        EXPECT_EQ(set_fixed(handle, CFSTR(kIOHIDMouseAccelerationType), 1), kIOReturnBusy);
        EXPECT_EQ(set_fixed(handle, CFSTR(kIOHIDMouseAccelerationType), 1), kIOReturnNotResponding);
        NXCloseEventStatus(handle);
    }
    {
        FakeService silent("");
        ScopedEnv socket_env("HIDSYSTEM_SOCKET", silent.path());
        NXEventHandle handle = NXOpenEventStatus();
        auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(set_fixed(handle, CFSTR(kIOHIDMouseAccelerationType), 1), kIOReturnNotResponding);
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1900));
        NXCloseEventStatus(handle);
    }
}

// A connection to `path` that has been answered, so the daemon holds it.
int admitted_connection(const std::string &path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) return fd;
    const char hello[] = "HIDSYSTEM/1 HELLO\n";
    char reply[64];
    if (send(fd, hello, sizeof hello - 1, MSG_NOSIGNAL) > 0) [[maybe_unused]] auto got = recv(fd, reply, sizeof reply, 0);
    return fd;
}

TEST_F(IOKitTest, AFullServiceTurnsTheFirstCallAwayAsBusyUntilRoomReturns) {
    EventDaemon daemon;
    std::vector<int> held;
    for (std::size_t i = 0; i < hidsystem::kMaxClients; ++i) held.push_back(admitted_connection(daemon.socket_path()));
    // The daemon answers the hello and hangs up; the call says why.
    NXEventHandle handle = NXOpenEventStatus();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(IOHIDSetMouseAcceleration(handle, 1.0), kIOReturnBusy);
    EXPECT_EQ(IOHIDSetMouseAcceleration(handle, 1.0), kIOReturnNotResponding);
    NXCloseEventStatus(handle);
    for (int fd : held) close(fd);

    // Busy until the daemon has seen the others leave, then served.
    kern_return_t result = kIOReturnBusy;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (result == kIOReturnBusy && std::chrono::steady_clock::now() < deadline) {
        handle = NXOpenEventStatus();
        result = IOHIDSetMouseAcceleration(handle, 2.0);
        NXCloseEventStatus(handle);
    }
    EXPECT_EQ(result, kIOReturnSuccess);
    EXPECT_EQ(daemon.log().size(), 1u);
}

TEST_F(IOKitTest, TheHelloTravelsWithTheFirstRequestAndRepliesStayPaired) {
    // Both replies arrive in one piece: the hello's must not swallow the
    // first call's, nor may the call's reply be taken for the hello's.
    FakeService service("|HIDSYSTEM/1 OK hidsystemd\nHIDSYSTEM/1 ERR e00002c2 wrong-size\n|HIDSYSTEM/1 OK\n");
    ScopedEnv socket_env("HIDSYSTEM_SOCKET", service.path());
    NXEventHandle handle = NXOpenEventStatus();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(set_fixed(handle, CFSTR(kIOHIDMouseAccelerationType), 1), kIOReturnBadArgument);
    EXPECT_EQ(set_fixed(handle, CFSTR(kIOHIDMouseAccelerationType), 2), kIOReturnSuccess);
    NXCloseEventStatus(handle);
}

TEST(IOKitLibrary, ExportsOnlyItsApi) {
    auto result = glissor_test::run_process(
        {"/usr/bin/nm", "-D", "--defined-only", "--format=posix", std::string(GLISSOR_LIB_DIR) + "/libIOKit.so"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::set<std::string> exported;
    std::istringstream lines(result.out);
    for (std::string name, type, rest; lines >> name >> type && std::getline(lines, rest);) exported.insert(name);
    EXPECT_EQ(exported, (std::set<std::string>{"IOHIDGetParameter", "IOHIDSetMouseAcceleration", "IOHIDSetParameter",
                                               "NXCloseEventStatus", "NXOpenEventStatus"}));
}

}  // namespace
