#!/usr/bin/env bash
# Installs, from Debian's packages, whatever of the build and test dependencies is missing,
# and of any further packages named on the command line.
# Runs apt-get only when something is missing; needs root for that (or sudo).
set -euo pipefail

packages=(g++ make cmake pkg-config libsdl1.2-dev libsdl-image1.2-dev libpng-dev libgtest-dev "$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "error: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# A fresh machine knows no packages until the lists have been fetched once.
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
