#!/usr/bin/env bash
# The register is read once per run: given as a regular file, through a pipe
# (/dev/stdin) or as a process substitution, every end-to-end register gives
# the same outputs, the same error line (but for the name of the register) and
# the same status. (Cases whose outputs name the register's file, or that are set
# up by a script, are left out: through a pipe the register is another file.)
#   read-once.sh FAGEN E2E_CASES
set -u
fagen=$1 cases=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 n=0
for dir in "$cases"/*/; do
    reg=$dir/given/run/reg.txt
    [ -f "$reg" ] && [ -f "$dir/args" ] || continue
    mapfile -t args < "$dir/args"
    [ "${#args[@]}" -ge 3 ] && [ "${args[2]}" = reg.txt ] && [ ! -f "$dir/setup" ] || continue
    case " ${args[*]:3} " in *reg.txt*) continue ;; esac
    n=$((n + 1))
    for how in file pipe substitution; do
        rm -rf "$work/$how"; mkdir -p "$work/$how/run" "$work/$how/working_dir"
        cp -a "$dir/given/." "$work/$how/"
        a=("${args[@]}")
        case $how in
        file) (cd "$work/$how/run" && LC_ALL=C.UTF-8 "$fagen" "${a[@]}" 2>../stderr </dev/null) ;;
        pipe) a[2]=/dev/stdin; (cd "$work/$how/run" && LC_ALL=C.UTF-8 "$fagen" "${a[@]}" 2>../stderr <reg.txt) ;;
        substitution) (cd "$work/$how/run" &&
            LC_ALL=C.UTF-8 "$fagen" "${a[@]:0:2}" <(cat reg.txt) "${a[@]:3}" 2>../stderr </dev/null) ;;
        esac
        echo $? > "$work/$how/status"
        # The register's name as the error line gives it.
        sed -i -E 's#^fagen: (/dev/stdin|/dev/fd/[0-9]+):#fagen: reg.txt:#' "$work/$how/stderr"
    done
    for how in pipe substitution; do
        if ! diff -r "$work/file" "$work/$how" >"$work/diff"; then
            echo "$(basename "$dir") as a $how:"; cat "$work/diff"; failed=1
        fi
    done
done
[ "$failed" = 0 ] && echo "$n registers: the same run from a file, a pipe and a process substitution"
exit "$failed"
