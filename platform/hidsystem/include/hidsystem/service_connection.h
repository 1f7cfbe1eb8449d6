// The client side of one connection to the event service: connect, then
// exchange request lines for reply lines. Used by hidctl and the IOKit
// client; allocates nothing.
#pragma once

#include <string_view>

#include <hidsystem/error_text.h>
#include <hidsystem/protocol.h>
#include <hidsystem/socket_path.h>

namespace hidsystem {

// How long a client waits for the service to accept it or to reply.
inline constexpr int kServiceTimeoutMilliseconds = 2000;

// A connected, close-on-exec, non-blocking socket, or -1 with the reason.
// The calls below wait on it no longer than kServiceTimeoutMilliseconds.
int connect_to_service(const SocketPath &path, ErrorText &error);

enum class Exchange {
    Replied,   // `reply` holds one line, its LF removed
    Lost,      // the socket failed, or the service closed it
    TimedOut,  // no whole reply within the timeout
    Garbled,   // more than one line, or a line too long
};

// Sends one request line (LF included) and reads one reply line. Anything
// but Replied leaves the connection out of step: close it.
Exchange exchange(int fd, std::string_view request, Line &reply);

// The two halves of exchange, for a client that sends a request before
// reading the reply to an earlier one. send_request gives Replied once all
// is sent.
Exchange send_request(int fd, std::string_view request);
// Reads the reply to the one request outstanding: one line, nothing after.
Exchange receive_reply(int fd, Line &reply);
// Reads the replies to two requests sent together: two lines, nothing after.
// When only the first line came before a failure, `first` holds it.
Exchange receive_two_replies(int fd, Line &first, Line &second);

const char *describe(Exchange result);

}  // namespace hidsystem
