#!/usr/bin/env bash
# Installs what is missing, builds the tools and runs them on the bundled sample data.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$repo/scripts/install_deps.sh"
"$repo/scripts/build.sh" --target explode_font glue_font explode_atlas >/dev/null

bin="$repo/build"
results="$repo/build/examples"
rm -rf "$results"
mkdir -p "$results/glyphs" "$results/sheet" "$results/glyphs_again" "$results/atlas"
font=dejavu_sans_18.png

echo "== explode_font: the sample sheet into one PNG per character"
"$bin/explode_font/explode_font" "$repo/examples/$font" "$results/glyphs" \
    >"$results/explode_font.log"
tail -n 2 "$results/explode_font.log"
echo "$(ls "$results/glyphs" | wc -l) glyph files written to $results/glyphs"

echo "== glue_font: the glyph files back into a sheet"
"$bin/glue_font/glue_font" "$results/sheet/$font" "$results/glyphs"

echo "== explode_font: the glued sheet gives the same glyph files again"
"$bin/explode_font/explode_font" "$results/sheet/$font" "$results/glyphs_again" \
    >"$results/explode_again.log"
if diff -r "$results/glyphs" "$results/glyphs_again" >/dev/null; then
    echo "$(ls "$results/glyphs_again" | wc -l) glyph files in $results/glyphs_again," \
        "identical to those in $results/glyphs"
else
    echo "the glyph files of the glued sheet differ from the first ones:" >&2
    diff -r "$results/glyphs" "$results/glyphs_again" >&2 || true
    exit 1
fi
echo "progress logs: $results/explode_font.log, $results/explode_again.log"

echo "== explode_atlas: every entry of the sample atlas index into a PNG and an offset file"
"$bin/explode_atlas/explode_atlas" "$repo/examples/atlas/sprites.txt" "$repo/examples/atlas" \
    "$results/atlas"
for offset in "$results/atlas"/*.offset; do
    entry="$(basename "$offset" .offset)"
    echo "$entry.png: $(tr '\n' ' ' <"$offset")"
done
echo "$(ls "$results/atlas" | wc -l) files written to $results/atlas"
