#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what lands there, then builds the Debian
# package and checks what it holds.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
tools=(explode_font glue_font explode_atlas)

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
for tool in "${tools[@]}"; do
    [ -x "$scratch/prefix/bin/$tool" ] || { echo "missing: bin/$tool"; exit 1; }
    page="$scratch/prefix/share/man/man1/$tool.1"
    [ -f "$page" ] || { echo "missing: share/man/man1/$tool.1"; exit 1; }
    MANWIDTH=80 man -l -P cat "$page" | grep -q "^NAME" || { echo "man -l cannot show $page"; exit 1; }
    # The installed program runs: without arguments it prints its usage and exits with 1.
    set +e
    usage="$("$scratch/prefix/bin/$tool" 2>&1)"
    rc=$?
    set -e
    [ $rc -eq 1 ] && grep -q "^Usage: " <<<"$usage" || { echo "$tool does not run: $usage"; exit 1; }
done
echo "installed into a scratch prefix: ${tools[*]} and their manual pages"

(cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null)
deb="$(ls "$scratch"/package/*.deb)"
contents="$(dpkg-deb -c "$deb")"
for f in "${tools[@]/#/./usr/bin/}" "${tools[@]/#/./usr/share/man/man1/}"; do
    grep -q " $f\(\.1\)\?$" <<<"$contents" || { echo "$(basename "$deb") lacks $f"; exit 1; }
done
echo "$(basename "$deb") holds the three programs and their manual pages"
