// The client side of i3-ipc over a Unix socket: "i3-ipc", the payload's
// length and the message type (both 32-bit, native byte order), then the
// payload. One request at a time, each waiting for its reply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <Result.h>

namespace hidsystemd_backend {

inline constexpr std::uint32_t kRunCommand = 0;
inline constexpr std::uint32_t kSubscribe = 2;
inline constexpr std::uint32_t kGetInputs = 100;
// Events carry the high bit; sway announces a reload as a workspace event
// whose "change" is "reload".
inline constexpr std::uint32_t kWorkspaceEvent = 0x80000000u;

struct I3Message {
    std::uint32_t type = 0;
    std::string payload;
};

class I3Ipc {
public:
    I3Ipc() = default;
    ~I3Ipc();
    I3Ipc(const I3Ipc &) = delete;
    I3Ipc &operator=(const I3Ipc &) = delete;

    Status connect(const std::string &path);
    // The reply's payload; a failure when the socket fails, stays silent
    // for two seconds or answers with another type.
    Result<std::string> request(std::uint32_t type, std::string_view payload);
    // The next whole message, a reply or an event; a failure when the
    // socket fails, closes or stays silent for two seconds.
    Result<I3Message> read_message();
    int fd() const { return fd_; }

private:
    bool send_all(const char *data, std::size_t size);
    bool receive_all(char *data, std::size_t size);

    int fd_ = -1;
};

}  // namespace hidsystemd_backend
