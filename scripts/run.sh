#!/usr/bin/env bash
# The main job of `make run`: Glissor on a sandbox of its own under the
# build directory (its own home, its own event service), so nobody's real
# settings are touched. Everything it starts is stopped when it ends.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
sandbox="$build/sandbox"
# shellcheck source=/dev/null
source "$build/glissor.env"
domain=$GLISSOR_PANE_IDENTIFIER
bin="$build/bin"

mkdir -p "$sandbox/home" "$sandbox/system"
export HOME="$sandbox/home"
export CFPREFERENCES_SYSTEM_DIR="$sandbox/system"
export HIDSYSTEM_SOCKET="$sandbox/hidsystem.sock"

daemon_pid=""
cleanup() {
    [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null && wait "$daemon_pid" 2>/dev/null
    return 0
}
trap cleanup EXIT INT TERM

"$bin/hidsystemd" --socket "$HIDSYSTEM_SOCKET" &
daemon_pid=$!
for _ in $(seq 100); do "$bin/hidctl" ping >/dev/null 2>&1 && break; sleep 0.05; done

echo "Sandbox: $sandbox (home, preferences and event service of its own)"
echo "Stored settings ($domain):"
"$bin/defaults" read "$domain" 2>/dev/null || echo "  none yet: both speeds read as 1.0"
