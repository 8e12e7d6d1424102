#!/usr/bin/env bash
# Writes a case's expected/ tree, stderr and status from a run of the given
# fagen. Read what it wrote before committing it: a golden is only as good as
# the review it got.
set -eu
export LC_ALL=C.UTF-8
fagen=$(realpath "$1")
case_dir=$(realpath "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
[ -d "$case_dir/given" ] && cp -a "$case_dir/given/." "$tmp/"
mkdir -p "$tmp/run"
[ -f "$case_dir/no-working-dir" ] || mkdir -p "$tmp/working_dir"
[ -f "$case_dir/setup" ] && (cd "$tmp" && bash "$case_dir/setup")
args=()
[ -f "$case_dir/args" ] && mapfile -t args < "$case_dir/args"
set +e
(cd "$tmp/run" && exec -a fagen "$fagen" "${args[@]}" >/dev/null 2>"$tmp/.stderr" </dev/null)
status=$?
set -e
mv "$tmp/.stderr" "$case_dir/stderr"
[ -s "$case_dir/stderr" ] || rm "$case_dir/stderr"
if [ "$status" = 0 ]; then rm -f "$case_dir/status"; else echo "$status" > "$case_dir/status"; fi
find "$tmp" -mindepth 1 -type d -empty -delete
rm -rf "$case_dir/expected"
cp -a "$tmp/." "$case_dir/expected/"
echo "status $status"; [ -f "$case_dir/stderr" ] && cat "$case_dir/stderr"
find "$case_dir/expected" -type f | sort | while read -r f; do echo "== ${f#$case_dir/expected/}"; cat -A "$f" | head -20; done
