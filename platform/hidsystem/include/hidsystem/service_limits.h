// The bounds the service keeps, so that no client can make it grow: with
// these, its memory is fixed at start apart from the parameter table.
#pragma once

#include <chrono>
#include <cstddef>

namespace hidsystem {

// Clients served at once. When all are taken, a new client replaces the one
// silent longest if that one has been silent kIdleEviction; else the new
// one is told "busy" and dropped.
inline constexpr std::size_t kMaxClients = 256;
inline constexpr std::chrono::seconds kIdleEviction{5};
// A client silent this long is disconnected whatever the load: a real one
// sends its requests at once, and holds its connection only between them.
inline constexpr std::chrono::seconds kIdleLimit{60};
// Distinct parameter keys held, the two acceleration keys included.
inline constexpr std::size_t kMaxParameterKeys = 64;
// Accepted changes kept in the log; the oldest go first.
inline constexpr std::size_t kChangeLogCapacity = 256;

}  // namespace hidsystem
