#!/usr/bin/env bash
# Runs each fuzz target for a bounded time from a seed corpus (the kept
# regression files, and generated property lists). A finding is left in
# BUILD/findings; keep it beside that target's regressions (the property-list
# readers: tests/platform/CoreFoundation/codec/regressions; the backends'
# readers: tests/platform/hidsystemd/fuzz/regressions) so that CI runs it
# from then on.
set -euo pipefail

build=${1:?usage: fuzz.sh BUILD_DIR SECONDS}
seconds=${2:-300}
here=$(cd "$(dirname "$0")/.." && pwd)
regressions="$here/tests/platform/CoreFoundation/codec/regressions"

mkdir -p "$build/findings" "$build/seeds"
"$build/fuzz/make_seed_corpus" "$build/seeds"
cp "$regressions"/* "$build/seeds/" 2>/dev/null || true

status=0
mkdir -p "$build/seeds-backend"
cp "$here/tests/platform/hidsystemd/fuzz/regressions"/* "$build/seeds-backend/"

for target in decode_fuzzer round_trip_fuzzer backend_replies_fuzzer; do
    corpus="$build/corpus/$target"
    seeds="$build/seeds"
    [ "$target" = backend_replies_fuzzer ] && seeds="$build/seeds-backend"
    mkdir -p "$corpus"
    echo "fuzz: $target for ${seconds}s"
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$build/fuzz/$target" "$corpus" "$seeds" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=1024 -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="$build/findings/$target-" 2> "$build/$target.log"; then
        status=1
        echo "fuzz: $target found a fault; see $build/$target.log and $build/findings" >&2
    fi
    grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ *DONE)" "$build/$target.log" || true
done
exit $status
