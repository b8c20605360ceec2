#!/usr/bin/env bash
# Installs what is missing, builds the tools and runs the whole test suite.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$repo/scripts/install_deps.sh"

# The basic PNG test images, where they sit beside the checkout; tests that need them are
# reported as skipped without.
suite_args=()
if [ -d "$repo/../shared/pngsuite" ]; then
    suite_args=(-DPNGSUITE_DIR="$(cd "$repo/../shared/pngsuite" && pwd)")
else
    suite_args=(-DPNGSUITE_DIR=)
fi
"$repo/scripts/build.sh" -DBUILD_TESTING=ON "${suite_args[@]}"
cd "$repo/build"
ctest --output-on-failure -j "$(nproc)"
