// A test's own protocol client: raw bytes over the daemon's socket, so a
// test can send anything, including what no real client would.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace hidsystem_test {

using namespace std::chrono_literals;

class RawClient {
public:
    explicit RawClient(const std::string &socket_path);
    ~RawClient();
    RawClient(RawClient &&other) noexcept;
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool connected() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Sends all of bytes; false when the socket fails.
    bool send(std::string_view bytes);
    // The next line, without its LF; nullopt on end of stream or timeout.
    std::optional<std::string> read_line(std::chrono::milliseconds timeout = 3s);
    // True when the daemon closes the connection within the timeout.
    bool closed_by_daemon(std::chrono::milliseconds timeout = 3s);
    // Sends "HIDSYSTEM/1 <words>\n" and returns the reply line ("" if none).
    std::string ask(const std::string &words);
    void disconnect();

private:
    int fd_ = -1;
    std::string pending_;
};

// "HIDSYSTEM/1 <words>\n".
std::string request_line(const std::string &words);
// The 4 bytes of a signed 32-bit value as protocol hex.
std::string hex_of(std::int32_t value);
// VmRSS of a process, in kB; -1 when unknown.
long resident_kilobytes(pid_t pid);

}  // namespace hidsystem_test
