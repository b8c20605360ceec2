#!/usr/bin/env bash
# Configures and builds in build/: everything, or the targets named after --target.
# Usage: build.sh [cmake configure options...] [--target NAME...]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
configure=()
while [ $# -gt 0 ] && [ "$1" != --target ]; do
    configure+=("$1")
    shift
done
cmake -S "$repo" -B "$repo/build" "${configure[@]}" >/dev/null
cmake --build "$repo/build" -j "$(nproc)" "$@"
