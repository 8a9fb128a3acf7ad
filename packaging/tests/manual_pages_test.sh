#!/usr/bin/env bash
# Every manual page the build made renders with man(1) without a single groff warning (all
# warnings on), and has a NAME line that the whatis database can read.
#   manual_pages_test.sh PAGE...
set -uo pipefail
[[ $# -ge 1 ]] || { echo "FAIL: no manual pages given" >&2; exit 1; }
failed=0
for page in "$@"; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -l "$page" 2>&1 >/dev/null)
    status=$?
    if (( status != 0 )) || [[ -n "$warnings" ]]; then
        echo "FAIL: man -l $page (exit $status):" >&2
        echo "$warnings" >&2
        failed=1
    fi
    lexgrog "$page" >/dev/null || { echo "FAIL: $page: no whatis entry in its NAME section" >&2; failed=1; }
done
(( failed == 0 )) && echo "manual pages: $# rendered without warnings"
exit "$failed"
