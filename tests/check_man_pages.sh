#!/usr/bin/env bash
# Checks manual pages: groff formats each without a single warning, and man shows it.
# Usage: check_man_pages.sh PAGE...
set -uo pipefail
status=0
for page in "$@"; do
    warnings="$(groff -man -Tutf8 -ww -z "$page" 2>&1)"
    if [ -n "$warnings" ]; then
        echo "groff warns about $page:"
        echo "$warnings"
        status=1
    fi
    shown="$(MANWIDTH=80 man -l -P cat "$page" 2>&1)"
    if [ $? -ne 0 ] || ! grep -q '^NAME' <<<"$shown" || ! grep -q '^EXIT STATUS' <<<"$shown"; then
        echo "man -l does not show $page:"
        echo "$shown" | head -20
        status=1
    fi
done
[ $status -eq 0 ] && echo "$# manual pages checked"
exit $status
