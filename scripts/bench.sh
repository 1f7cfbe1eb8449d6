#!/usr/bin/env bash
# Runs every benchmark of a build and prints its figures, with the machine.
set -euo pipefail
build=${1:-build}
echo "machine: $(lscpu | sed -n 's/^Model name:[[:space:]]*//p'), $(nproc) cores"
for bench in "$build"/bench/*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    if [ "$(basename "$bench")" = loginitems_bench ]; then
        # The ratios to the floors, beside the absolute times.
        csv=$(mktemp)
        # Three rounds, medians kept, in a shuffled order: a virtual
        # machine's fsync and page faults vary from one minute to the next,
        # and an operation and its floor should see the same minutes.
        "$bench" --benchmark_out="$csv" --benchmark_out_format=csv \
            --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
            --benchmark_enable_random_interleaving=true
        LC_ALL=C awk -f "$(dirname "$0")/login_items_ratios.awk" "$csv"  # "1.20x" in every locale
        rm -f "$csv"
    else
        "$bench"
    fi
done
