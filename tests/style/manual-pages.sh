#!/usr/bin/env bash
# The manual pages render without a warning.
#   manual-pages.sh GROFF PAGE...
set -u
groff=$1
shift
failed=0
for page in "$@"; do
    out=$("$groff" -man -ww -z "$page" 2>&1)
    if [ -n "$out" ]; then echo "$page:"; echo "$out"; failed=1; fi
done
exit "$failed"
