// A stand-in for niri's IPC socket, as niri 25.11 serves it: in
// src/ipc/server.rs (handle_client) each connection carries one request,
// a JSON line, and gets one JSON line back before niri closes it; the
// reply is niri-ipc's `Reply`, a Rust `Result` in serde's JSON form,
// `{"Ok": RESPONSE}` or `{"Err": "message"}`, and a request that does not
// parse gets an Err. The version request is the bare string "Version" and
// its response `{"Version": "25.11 (commit)"}` (src/utils/mod.rs, version():
// YY.MM, zero-padded, then the commit in brackets). Served by a thread of
// the test; it records each request line.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace hidsystem_test {

class NiriStandin {
public:
    NiriStandin(std::string path, std::string version);
    ~NiriStandin();
    NiriStandin(const NiriStandin &) = delete;
    NiriStandin &operator=(const NiriStandin &) = delete;

    const std::string &path() const { return path_; }
    std::vector<std::string> requests() const;
    // From now on every request gets this line as its reply, as is.
    void answer_with(std::string line);
    // From now on every connection is closed as soon as its request came.
    void hang_up_on_requests();
    // niri goes away: the socket closes and its file goes.
    void stop();

private:
    void serve();
    void answer(int client);

    std::string path_;
    std::string version_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::optional<std::string> reply_;
    bool hang_up_ = false;
    std::thread thread_;
};

}  // namespace hidsystem_test
