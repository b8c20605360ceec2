#!/usr/bin/env bash
# Installs what is missing, builds the tools and the timing programs in build/, generates the
# inputs (deterministically, in build/bench-work/, about 60 MB) and prints the table of the
# tools against the floor of their work.
# Usage: run_bench.sh [runs per case, default 5]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$repo/scripts/install_deps.sh"
"$repo/scripts/build.sh" -DBUILD_BENCHMARKS=ON --target bench_tools
"$repo/build/bench/bench_tools" "$repo/build/bench-work" "${1:-5}"
