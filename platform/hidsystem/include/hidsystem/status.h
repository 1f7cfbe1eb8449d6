// The status codes of the event service's error replies. Their values are
// the IOKit return codes the client hands on to its callers unchanged, so
// they are spelled here as numbers, and the IOKit client checks at compile
// time that the two stay equal.
#pragma once

#include <cstdint>

namespace hidsystem {

enum Status : std::int32_t {
    kStatusSuccess = 0,
    kStatusNotPrivileged = static_cast<std::int32_t>(0xe00002c1),  // the peer is another user
    kStatusBadArgument = static_cast<std::int32_t>(0xe00002c2),    // malformed, wrong size, reserved key
    kStatusUnsupported = static_cast<std::int32_t>(0xe00002c7),    // unknown request or version
    kStatusBusy = static_cast<std::int32_t>(0xe00002d5),           // no room for another client
    kStatusNoSpace = static_cast<std::int32_t>(0xe00002db),        // too many parameters
    kStatusNotPermitted = static_cast<std::int32_t>(0xe00002e2),   // the service refuses the key
    kStatusNotResponding = static_cast<std::int32_t>(0xe00002ed),  // no answer, or not this protocol
    kStatusNotFound = static_cast<std::int32_t>(0xe00002f0),       // no such parameter
};

}  // namespace hidsystem
