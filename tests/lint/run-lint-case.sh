#!/usr/bin/env bash
# Runs fagen-lint on one golden case, cases/NAME.reg, in a fresh folder and
# compares what it prints with NAME.expected and its exit status with
# NAME.status (0 if absent). Optional files:
#   NAME.args    the arguments, one a line (default: NAME.reg); the register
#                is also on standard input
#   NAME.locale  the locale to run under (default C.UTF-8; skipped when the
#                machine cannot make it)
#   NAME.stdout  where standard output goes instead (e.g. /dev/full); then
#                only standard error is compared
# With --bless, writes the expected files instead (read them before committing).
set -u
lint=$1 reg=$2
case=${reg%.reg}
name=$(basename "$reg")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$reg" "$work/"
args=("$name")
[ -f "$case.args" ] && mapfile -t args < "$case.args"
locale=C.UTF-8
[ -f "$case.locale" ] && locale=$(cat "$case.locale")
# A locale the machine cannot make skips the case (status 77).
bash "$here/../support/with-locale.sh" --env "$locale" >/dev/null || exit 77
if [ -f "$case.stdout" ]; then
    (cd "$work" && bash "$here/../support/with-locale.sh" "$locale" "$lint" "${args[@]}" \
        <"$name" >"$(cat "$case.stdout")" 2>"$work/out")
else
    (cd "$work" && bash "$here/../support/with-locale.sh" "$locale" "$lint" "${args[@]}" <"$name" >"$work/out" 2>&1)
fi
status=$?
if [ "${3:-}" = --bless ]; then
    cp "$work/out" "$case.expected"
    if [ "$status" = 0 ]; then rm -f "$case.status"; else echo "$status" > "$case.status"; fi
    exit 0
fi
want=0
[ -f "$case.status" ] && want=$(cat "$case.status")
failed=0
[ "$status" = "$want" ] || { echo "status $status, expected $want"; failed=1; }
diff -u "$case.expected" "$work/out" || failed=1
exit "$failed"
