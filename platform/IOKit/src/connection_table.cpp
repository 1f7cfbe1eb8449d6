#include "connection_table.h"

#include <unistd.h>

#include <array>
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
    // The hello went out with the connection; its reply comes ahead of the
    // first request's.
    bool hello_unanswered = false;
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

// Reads the reply to the hello sent on opening. The service answers
// requests in order, so it precedes the reply to the request just sent.
IOReturn read_hello_reply(Connection &connection) {
    hidsystem::Line reply_line;
    if (hidsystem::receive_next_reply(connection.fd, reply_line) != hidsystem::Exchange::Replied)
        return kIOReturnNotResponding;
    auto parsed = hidsystem::parse_reply(reply_line.text());
    if (!parsed) return kIOReturnNotResponding;
    // A service that turned the client away (busy, not the owner) says why.
    if (!parsed->ok) return parsed->code != kIOReturnSuccess ? parsed->code : kIOReturnNotResponding;
    connection.hello_unanswered = false;
    return kIOReturnSuccess;
}

IOReturn exchange_on(Connection &connection, const hidsystem::Line &request, hidsystem::Line &reply_line,
                     hidsystem::Reply &reply) {
    if (connection.fd < 0) return kIOReturnNotResponding;
    hidsystem::Exchange result = hidsystem::send_request(connection.fd, request.text());
    if (result == hidsystem::Exchange::Replied && connection.hello_unanswered) {
        IOReturn hello = read_hello_reply(connection);
        if (hello != kIOReturnSuccess) {
            // Whoever answers there is not a service this client can talk to.
            drop(connection);
            return hello;
        }
    }
    if (result == hidsystem::Exchange::Replied) result = hidsystem::receive_reply(connection.fd, reply_line);
    auto parsed = result == hidsystem::Exchange::Replied ? hidsystem::parse_reply(reply_line.text()) : std::nullopt;
    if (!parsed) {
        // Out of step with the service: nothing later on it can be trusted.
        drop(connection);
        return kIOReturnNotResponding;
    }
    reply = *parsed;
    return reply.ok ? kIOReturnSuccess : reply.code;
}

// A connected socket on which the hello has been sent, or -1 when nothing
// listens there. The hello's reply is read with the first request's, which
// saves a round trip on every open.
int connect_and_greet() {
    hidsystem::SocketPath path;
    hidsystem::ErrorText error;
    if (!hidsystem::resolve_socket_path(nullptr, path, error)) return -1;
    int fd = hidsystem::connect_to_service(path, error);
    if (fd < 0) return -1;
    hidsystem::Line request;
    hidsystem::encode_hello(request);
    if (hidsystem::send_request(fd, request.text()) == hidsystem::Exchange::Replied) return fd;
    close(fd);
    return -1;
}

}  // namespace

mach_port_t open_connection() {
    for (unsigned slot = 0; slot < kMaxOpenConnections; ++slot) {
        Connection &connection = connections[slot];
        std::lock_guard<std::mutex> guard(connection.lock);
        if (connection.in_use) continue;
        int fd = connect_and_greet();
        if (fd < 0) return 0;
        connection.in_use = true;
        connection.fd = fd;
        connection.hello_unanswered = true;
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
