#!/usr/bin/env bash
# Runs every benchmark of a build and prints its figures, with the machine.
set -euo pipefail
build=${1:-build}
echo "machine: $(lscpu | sed -n 's/^Model name:[[:space:]]*//p'), $(nproc) cores"
for bench in "$build"/bench/*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    "$bench"
done
