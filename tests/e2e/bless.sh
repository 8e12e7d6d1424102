#!/usr/bin/env bash
# Writes a case's expected/ tree, stderr and status from a run of the given
# fagen. Read what it wrote before committing it: a golden is only as good as
# the review it got.
set -eu
fagen=$(realpath "$1")
case_dir=$(realpath "$2")
locale=C.UTF-8
[ -f "$case_dir/locale" ] && locale=$(cat "$case_dir/locale")
export $(bash "$(dirname "$0")/../support/with-locale.sh" --env "$locale") 2>/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
[ -d "$case_dir/given" ] && cp -a "$case_dir/given/." "$tmp/"
mkdir -p "$tmp/run"
[ -f "$case_dir/no-working-dir" ] || mkdir -p "$tmp/working_dir"
[ -f "$case_dir/setup" ] && (cd "$tmp" && bash "$case_dir/setup")
args=()
[ -f "$case_dir/args" ] && mapfile -t args < "$case_dir/args"
set +e
(cd "$tmp/run" && exec -a fagen timeout -s KILL 300 "$fagen" "${args[@]}" >/dev/null 2>"$tmp/.stderr" </dev/null)
status=$?
set -e
mv "$tmp/.stderr" "$case_dir/stderr"
[ -s "$case_dir/stderr" ] || rm "$case_dir/stderr"
if [ "$status" = 0 ]; then rm -f "$case_dir/status"; else echo "$status" > "$case_dir/status"; fi
if [ -f "$case_dir/generated" ]; then
    paths=$(cut -d' ' -f1 "$case_dir/generated")
    : > "$case_dir/generated"
    for path in $paths; do
        echo "$path $(sha256sum "$tmp/$path" | cut -d' ' -f1)" >> "$case_dir/generated"
        echo "== $path: $(wc -c < "$tmp/$path") bytes, $(head -c 60 "$tmp/$path" | tr '\n' '|')..." >&2
        rm -f "$tmp/$path"
    done
fi
find "$tmp" -mindepth 1 -type p -delete
find "$tmp" -mindepth 1 -type d -empty -delete
rm -rf "$case_dir/expected"
cp -a "$tmp/." "$case_dir/expected/"
echo "status $status"; [ -f "$case_dir/stderr" ] && cat "$case_dir/stderr"
find "$case_dir/expected" -type f | sort | while read -r f; do echo "== ${f#$case_dir/expected/}"; cat -A "$f" | head -20; done
