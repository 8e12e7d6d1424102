#!/usr/bin/env bash
# Runs a command under a locale, making the locale first when the machine lacks
# it (with localedef, into a folder of our own).
#   with-locale.sh LOCALE COMMAND...   e.g. with-locale.sh en_US.ISO-8859-1 fagen-lint reg
#   with-locale.sh --env LOCALE        prints the variables to run under it
set -eu
printOnly=0
if [ "$1" = --env ]; then printOnly=1; shift; fi
want=$1
shift
norm() { tr 'A-Z' 'a-z' | tr -d '_.-'; }
vars="LC_ALL=$want"
if ! locale -a 2>/dev/null | norm | grep -qx "$(printf '%s' "$want" | norm)"; then
    dir=${TMPDIR:-/tmp}/fagen-locales-$(id -u)
    # A locale is made aside and moved into place whole: tests run side by side,
    # and one must never take another's half-made locale (or an empty folder a
    # failed build left) for a made one.
    if [ ! -f "$dir/$want/LC_CTYPE" ]; then
        mkdir -p "$dir"
        new=$(mktemp -d "$dir/.new.XXXXXX")
        lang=${want%%.*} charmap=${want#*.}
        localedef -i "$lang" -f "$charmap" "$new/$want" >/dev/null 2>&1 && [ -f "$new/$want/LC_CTYPE" ] ||
            { rm -rf "$new"; echo "with-locale.sh: cannot make the locale $want" >&2; exit 77; }
        mv -T "$new/$want" "$dir/$want" 2>/dev/null || true
        if [ -f "$dir/$want/LC_CTYPE" ]; then rm -rf "$new"; else dir=$new; fi
    fi
    vars="LOCPATH=$dir $vars"
fi
if [ "$printOnly" = 1 ]; then echo "$vars"; exit 0; fi
# shellcheck disable=SC2086
exec env $vars "$@"
