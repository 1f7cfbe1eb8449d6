// What the backends read from their peers (sway's replies and events, the
// service's channel messages, a desktop's INI file, COSMIC's keys, niri's
// configuration and replies), run over one input
// with the invariants that must hold whatever it is. The fuzzer and the
// regression test share it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hidsystem_test {

// Aborts (through assert-like checks) when an invariant breaks.
void exercise_backend_replies(const std::uint8_t *data, std::size_t size);

}  // namespace hidsystem_test
