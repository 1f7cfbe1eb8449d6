#!/usr/bin/env bash
# Runs each fuzz target for a bounded time from a seed corpus: the kept
# regression files (and, for the property-list readers, generated lists).
# A finding is left in BUILD/findings; keep it in the target's regressions
# folder so that CI reads it from then on:
#   decode_fuzzer, round_trip_fuzzer  tests/platform/CoreFoundation/codec/regressions
#   old_style_fuzzer                  tests/platform/defaults/old_style_regressions
#   backend_replies_fuzzer            tests/platform/hidsystemd/fuzz/regressions
# FUZZ_TARGETS (space-separated) runs only those targets.
set -euo pipefail

build=${1:?usage: fuzz.sh BUILD_DIR SECONDS}
seconds=${2:-300}
here=$(cd "$(dirname "$0")/.." && pwd)
targets=${FUZZ_TARGETS:-decode_fuzzer round_trip_fuzzer old_style_fuzzer backend_replies_fuzzer}

mkdir -p "$build/findings" "$build/seeds/plist" "$build/seeds/old_style" "$build/seeds/backend"
"$build/fuzz/make_seed_corpus" "$build/seeds/plist"
cp "$here/tests/platform/CoreFoundation/codec/regressions"/* "$build/seeds/plist/" 2>/dev/null || true
cp "$here/tests/platform/defaults/old_style_regressions"/* "$build/seeds/old_style/" 2>/dev/null || true
cp "$here/tests/platform/hidsystemd/fuzz/regressions"/* "$build/seeds/backend/" 2>/dev/null || true

status=0
for target in $targets; do
    case $target in
    old_style_fuzzer) seeds="$build/seeds/old_style" ;;
    backend_replies_fuzzer) seeds="$build/seeds/backend" ;;
    *) seeds="$build/seeds/plist" ;;
    esac
    corpus="$build/corpus/$target"
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
