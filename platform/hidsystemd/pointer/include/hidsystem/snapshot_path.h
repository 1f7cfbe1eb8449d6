// Where a backend that writes a persistent settings store keeps what it
// found there before its first write, so that a crash is mended at the
// next start: $XDG_STATE_HOME/glissor/hidsystemd-KIND.snapshot, else
// $HOME/.local/state/glissor/... (a relative XDG_STATE_HOME is skipped).
#pragma once

#include <string>
#include <string_view>

namespace hidsystem {

// Empty when neither variable gives an absolute directory.
std::string snapshot_path(std::string_view backend_kind);

}  // namespace hidsystem
