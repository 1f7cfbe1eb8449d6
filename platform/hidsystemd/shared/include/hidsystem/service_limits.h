// The bounds the service keeps, so that no client can make it grow: with
// these, its memory is fixed at start apart from the parameter table.
#pragma once

#include <cstddef>

namespace hidsystem {

// Clients served at once; one more is told "busy" and dropped.
inline constexpr std::size_t kMaxClients = 256;
// Distinct parameter keys held, the two acceleration keys included.
inline constexpr std::size_t kMaxParameterKeys = 64;
// Accepted changes kept in the log; the oldest go first.
inline constexpr std::size_t kChangeLogCapacity = 256;

}  // namespace hidsystem
