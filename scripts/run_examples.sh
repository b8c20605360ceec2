#!/usr/bin/env bash
# Installs what is missing, builds the tools and runs them on the bundled sample data.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$repo/scripts/install_deps.sh"
"$repo/scripts/build.sh" --target explode_font >/dev/null

bin="$repo/build"
results="$repo/build/examples"
rm -rf "$results"
mkdir -p "$results/glyphs"

echo "== explode_font: the sample sheet into one PNG per character"
"$bin/explode_font/explode_font" "$repo/examples/dejavu_sans_18.png" "$results/glyphs" \
    >"$results/explode_font.log"
tail -n 2 "$results/explode_font.log"
echo "$(ls "$results/glyphs" | wc -l) glyph files written to $results/glyphs"
echo "progress log: $results/explode_font.log"
