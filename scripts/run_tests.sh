#!/usr/bin/env bash
# Installs what is missing, builds the tools and runs the whole test suite twice: a plain build
# in build/, then a clang build in build-sanitize/ with AddressSanitizer and
# UndefinedBehaviorSanitizer (stopping at the first report) that also runs each fuzz target
# briefly. Stops at the first build or suite that fails, with a non-zero status.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$repo/scripts/install_deps.sh" clang-14 libclang-rt-14-dev man-db

# The basic PNG test images, where they sit beside the checkout; tests that need them are
# reported as skipped without.
suite_args=()
if [ -d "$repo/../shared/pngsuite" ]; then
    suite_args=(-DPNGSUITE_DIR="$(cd "$repo/../shared/pngsuite" && pwd)")
else
    suite_args=(-DPNGSUITE_DIR=)
fi

echo "== Plain build (build/)"
"$repo/scripts/build.sh" -DBUILD_TESTING=ON "${suite_args[@]}"
(cd "$repo/build" && ctest --output-on-failure -j "$(nproc)")

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build, with fuzz smoke tests (build-sanitize/)"
CC=clang-14 CXX=clang++-14 BUILD_DIR="$repo/build-sanitize" "$repo/scripts/build.sh" \
    -DBUILD_TESTING=ON -DSANITIZE=ON -DBUILD_FUZZERS=ON "${suite_args[@]}"
cd "$repo/build-sanitize"
# A report aborts the process, so a tool that hits one never passes for a clean failure.
export ASAN_OPTIONS=abort_on_error=1:halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=abort_on_error=1:halt_on_error=1:print_stacktrace=1
ctest --output-on-failure -j "$(nproc)"
