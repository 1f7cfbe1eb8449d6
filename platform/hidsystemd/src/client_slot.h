// One connected client: its socket and fixed buffers, one for a request
// line and one for the replies to the requests read with it (a client's
// hello and first request come in one piece, and their replies leave in one
// write). The daemon reads more of a client's requests only once its
// replies are sent, so a client that does not read cannot make it buffer
// more than that.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include <hidsystem/protocol.h>

namespace hidsystemd {

class ClientSlot {
public:
    using Clock = std::chrono::steady_clock;

    ClientSlot() = default;
    ~ClientSlot() { release(); }
    ClientSlot(const ClientSlot &) = delete;
    ClientSlot &operator=(const ClientSlot &) = delete;

    bool in_use() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void attach(int fd, Clock::time_point now);
    // The last time the client connected, sent or was sent anything.
    Clock::time_point last_activity() const { return last_activity_; }
    void touch(Clock::time_point now) { last_activity_ = now; }
    // Closes the socket and forgets everything buffered.
    void release();

    // Keeps the socket in the loop's epoll set, waiting for `events`. The
    // socket leaves the set before it is closed: a copy held elsewhere (a
    // backend between its fork and its exec) would otherwise keep it there.
    bool watch(int epoll_fd, std::uint32_t events);
    bool watched() const { return epoll_fd_ >= 0; }

    enum class Received { Something, Nothing, Failed };
    // Reads what the socket holds: Something (bytes, or the end of the
    // stream), Nothing yet, or Failed. A client that has finished sending
    // still gets its replies.
    Received receive();
    bool finished_sending() const { return finished_sending_; }
    // The first whole request line, without its LF.
    std::optional<std::string_view> peek_line() const;
    void consume_line();
    // The buffer is full and holds no whole line: the line is too long.
    bool input_full() const { return input_length_ == input_.size(); }

    // Another reply fits behind those queued.
    bool has_room_for_reply() const { return output_.size() - output_length_ >= hidsystem::kMaxLineLength; }
    // Queues a reply behind the others; only allowed while one has room and
    // nothing queued has been sent in part.
    void queue(std::string_view line);
    // Sends what it can; false when the socket failed.
    bool flush();
    bool output_pending() const { return output_sent_ < output_length_; }

    // After the queued reply, the daemon drops this client.
    void close_after_reply() { closing_ = true; }
    bool closing() const { return closing_; }
    bool wants_input() const {
        return in_use() && !closing_ && !finished_sending_ && !output_pending() && !input_full();
    }

private:
    int fd_ = -1;
    int epoll_fd_ = -1;  // the set the socket is in; -1: none
    std::uint32_t watched_events_ = 0;
    Clock::time_point last_activity_{};
    bool closing_ = false;
    bool finished_sending_ = false;
    std::array<char, hidsystem::kMaxLineLength> input_{};
    std::size_t input_length_ = 0;
    static constexpr std::size_t kRepliesPerWrite = 2;
    std::array<char, kRepliesPerWrite * hidsystem::kMaxLineLength> output_{};
    std::size_t output_length_ = 0;
    std::size_t output_sent_ = 0;
};

}  // namespace hidsystemd
