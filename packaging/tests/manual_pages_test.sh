#!/usr/bin/env bash
# Every manual page the build made renders with man(1) without a single groff warning (all
# warnings on), on a UTF-8 terminal and on a plain ASCII one (where a character with no ASCII
# form warns), and has a NAME line that the whatis database can read.
#   manual_pages_test.sh PAGE...
set -uo pipefail
[[ $# -ge 1 ]] || { echo "FAIL: no manual pages given" >&2; exit 1; }
failed=0
for page in "$@"; do
    for locale in C.UTF-8 C; do
        warnings=$(LC_ALL=$locale MANWIDTH=80 man --warnings=all -l "$page" 2>&1 >/dev/null)
        status=$?
        if (( status != 0 )) || [[ -n "$warnings" ]]; then
            echo "FAIL: man -l $page in the $locale locale (exit $status):" >&2
            echo "$warnings" >&2
            failed=1
        fi
    done
    lexgrog "$page" >/dev/null || { echo "FAIL: $page: no whatis entry in its NAME section" >&2; failed=1; }
done
(( failed == 0 )) && echo "manual pages: $# rendered without warnings"
exit "$failed"
