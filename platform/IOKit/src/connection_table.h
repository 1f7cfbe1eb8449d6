// The open connections behind NXEventHandle values: a fixed table, so
// opening and calling allocate nothing. A handle names a table slot and the
// slot's generation, so a closed handle stays invalid after its slot is
// reused, and a made-up number is refused instead of being used as a socket.
#pragma once

#include <IOKit/IOReturn.h>

#include <hidsystem/protocol.h>

namespace iokit {

inline constexpr unsigned kMaxOpenConnections = 64;

// Connects to the service; 0 when nothing listens on the service's socket or
// the table is full. The first call on the handle sends the hello with its
// own request and fails, dropping the connection, when whatever listens
// there is no service of this protocol or turns the client away.
mach_port_t open_connection();
// Closes the connection; an unknown handle is ignored.
void close_connection(mach_port_t handle);

// One request on the handle's connection. kIOReturnSuccess with the parsed
// reply; the service's code for an ERR reply; kIOReturnNotOpen for a handle
// that is not open; kIOReturnNotResponding when the connection is lost (it
// then stays lost until closed).
IOReturn call_service(mach_port_t handle, const hidsystem::Line &request, hidsystem::Line &reply_line,
                      hidsystem::Reply &reply);

}  // namespace iokit
