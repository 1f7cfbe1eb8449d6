#include "connection_table.h"

#include <unistd.h>

#include <array>
#include <cstring>
#include <mutex>

#include <IOKit/IOReturn.h>
#include <hidsystem/service_connection.h>
#include <hidsystem/socket_path.h>
#include <hidsystem/status.h>

namespace iokit {

// The service's error replies carry its status codes, which this client
// hands on as IOReturn values: the two sets must stay equal.
static_assert(hidsystem::kStatusSuccess == kIOReturnSuccess);
static_assert(hidsystem::kStatusNotPrivileged == kIOReturnNotPrivileged);
static_assert(hidsystem::kStatusBadArgument == kIOReturnBadArgument);
static_assert(hidsystem::kStatusUnsupported == kIOReturnUnsupported);
static_assert(hidsystem::kStatusBusy == kIOReturnBusy);
static_assert(hidsystem::kStatusNoSpace == kIOReturnNoSpace);
static_assert(hidsystem::kStatusNotPermitted == kIOReturnNotPermitted);
static_assert(hidsystem::kStatusNotResponding == kIOReturnNotResponding);
static_assert(hidsystem::kStatusNotFound == kIOReturnNotFound);

namespace {

constexpr unsigned kSlotBits = 6;
static_assert(1u << kSlotBits == kMaxOpenConnections);
constexpr unsigned kGenerationLimit = 1u << (32 - kSlotBits);

struct Connection {
    std::mutex lock;
    bool in_use = false;
    unsigned generation = 0;
    int fd = -1;  // -1 once lost
    // The hello goes out with the first request.
    bool hello_unsent = false;
};

std::array<Connection, kMaxOpenConnections> connections;

mach_port_t handle_of(unsigned slot, unsigned generation) { return generation << kSlotBits | slot; }

unsigned next_generation(unsigned generation) {
    // Never 0, so that no handle is 0.
    unsigned next = (generation + 1) % kGenerationLimit;
    return next == 0 ? 1 : next;
}

// The connection the handle names, when it is open; its lock must be held.
Connection *find_locked(mach_port_t handle, std::unique_lock<std::mutex> &guard) {
    Connection &connection = connections[handle & (kMaxOpenConnections - 1)];
    guard = std::unique_lock<std::mutex>(connection.lock);
    if (handle == 0 || !connection.in_use || connection.generation != handle >> kSlotBits) return nullptr;
    return &connection;
}

void drop(Connection &connection) {
    if (connection.fd >= 0) close(connection.fd);
    connection.fd = -1;
}

// Checks the reply to the hello; a service that turned the client away
// (busy, not the owner) says why.
IOReturn check_hello_reply(const hidsystem::Line &reply_line) {
    auto parsed = hidsystem::parse_reply(reply_line.text());
    if (!parsed) return kIOReturnNotResponding;
    if (!parsed->ok) return parsed->code != kIOReturnSuccess ? parsed->code : kIOReturnNotResponding;
    return kIOReturnSuccess;
}

// The first request goes out behind the hello, in one write, and its reply
// comes behind the hello's (the service answers in order): opening costs
// neither a round trip nor a write of its own.
hidsystem::Exchange greet_and_send(Connection &connection, const hidsystem::Line &request,
                                   hidsystem::Line &reply_line, IOReturn &hello) {
    hidsystem::Line hello_request;
    hidsystem::encode_hello(hello_request);
    std::array<char, 2 * hidsystem::kMaxLineLength> both;
    std::string_view first = hello_request.text(), second = request.text();
    std::memcpy(both.data(), first.data(), first.size());
    std::memcpy(both.data() + first.size(), second.data(), second.size());
    hidsystem::Exchange result =
        hidsystem::send_request(connection.fd, std::string_view(both.data(), first.size() + second.size()));
    hidsystem::Line hello_reply;
    // A service that turns the client away answers the hello and hangs up,
    // perhaps before this write arrived: its answer is still there to read.
    if (result == hidsystem::Exchange::Replied || result == hidsystem::Exchange::Lost) {
        hidsystem::Exchange received = hidsystem::receive_two_replies(connection.fd, hello_reply, reply_line);
        if (result == hidsystem::Exchange::Replied) result = received;
    }
    hello = hello_reply.text().empty() ? kIOReturnSuccess : check_hello_reply(hello_reply);
    connection.hello_unsent = false;
    return result;
}

IOReturn exchange_on(Connection &connection, const hidsystem::Line &request, hidsystem::Line &reply_line,
                     hidsystem::Reply &reply) {
    if (connection.fd < 0) return kIOReturnNotResponding;
    hidsystem::Exchange result;
    if (connection.hello_unsent) {
        IOReturn hello = kIOReturnSuccess;
        result = greet_and_send(connection, request, reply_line, hello);
        if (hello != kIOReturnSuccess) {
            // Whoever answers there is not a service this client can talk to.
            drop(connection);
            return hello;
        }
    } else {
        result = hidsystem::exchange(connection.fd, request.text(), reply_line);
    }
    auto parsed = result == hidsystem::Exchange::Replied ? hidsystem::parse_reply(reply_line.text()) : std::nullopt;
    if (!parsed) {
        // Out of step with the service: nothing later on it can be trusted.
        drop(connection);
        return kIOReturnNotResponding;
    }
    reply = *parsed;
    return reply.ok ? kIOReturnSuccess : reply.code;
}

// A connected socket, or -1 when nothing listens on the service's socket.
int connect_to_service() {
    hidsystem::SocketPath path;
    hidsystem::ErrorText error;
    if (!hidsystem::resolve_socket_path(nullptr, path, error)) return -1;
    return hidsystem::connect_to_service(path, error);
}

}  // namespace

mach_port_t open_connection() {
    for (unsigned slot = 0; slot < kMaxOpenConnections; ++slot) {
        Connection &connection = connections[slot];
        std::lock_guard<std::mutex> guard(connection.lock);
        if (connection.in_use) continue;
        int fd = connect_to_service();
        if (fd < 0) return 0;
        connection.in_use = true;
        connection.fd = fd;
        connection.hello_unsent = true;
        connection.generation = next_generation(connection.generation);
        return handle_of(slot, connection.generation);
    }
    return 0;
}

void close_connection(mach_port_t handle) {
    std::unique_lock<std::mutex> guard;
    Connection *connection = find_locked(handle, guard);
    if (!connection) return;
    drop(*connection);
    connection->in_use = false;
}

IOReturn call_service(mach_port_t handle, const hidsystem::Line &request, hidsystem::Line &reply_line,
                      hidsystem::Reply &reply) {
    std::unique_lock<std::mutex> guard;
    Connection *connection = find_locked(handle, guard);
    if (!connection) return kIOReturnNotOpen;
    return exchange_on(*connection, request, reply_line, reply);
}

}  // namespace iokit
