#!/usr/bin/env bash
# Configures and builds in build/ (or in $BUILD_DIR): everything, or the targets named after
# --target.
# Usage: build.sh [cmake configure options...] [--target NAME...]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$repo/build}"
configure=()
while [ $# -gt 0 ] && [ "$1" != --target ]; do
    configure+=("$1")
    shift
done
cmake -S "$repo" -B "$build" "${configure[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" "$@"
