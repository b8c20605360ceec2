#!/usr/bin/env bash
# Builds the fuzz targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer, in
# build-sanitize/) and runs one of them for a while, starting from its committed seeds.
# Usage: fuzz.sh <fuzz_atlas_index|fuzz_font_sheet|fuzz_png_writer> [seconds, default 600]
# What it finds goes to build-sanitize/fuzz/corpus/<target>; a crashing input is saved as
# build-sanitize/fuzz/<target>-crash-<hash>, to be added to fuzz/regressions/<target>.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
target="${1:?usage: fuzz.sh <target> [seconds]}"
seconds="${2:-600}"
case "$target" in
    fuzz_atlas_index | fuzz_font_sheet | fuzz_png_writer) ;;
    *) echo "error: no fuzz target named $target" >&2; exit 1 ;;
esac
"$repo/scripts/install_deps.sh" clang-14 libclang-rt-14-dev
CC=clang-14 CXX=clang++-14 BUILD_DIR="$repo/build-sanitize" "$repo/scripts/build.sh" \
    -DBUILD_TESTING=ON -DSANITIZE=ON -DBUILD_FUZZERS=ON --target "$target"
fuzz="$repo/build-sanitize/fuzz"
mkdir -p "$fuzz/corpus/$target"
exec "$fuzz/$target" -max_total_time="$seconds" -close_fd_mask=3 -print_final_stats=1 \
    -artifact_prefix="$fuzz/$target-" "$fuzz/corpus/$target" "$repo/fuzz/corpus/$target"
