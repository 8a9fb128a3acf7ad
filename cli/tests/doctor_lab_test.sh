#!/usr/bin/env bash
# quorrel doctor's checks that need the wire, each made to fail once, in one lab with a second
# link (scripts/lab --units 1 --second-link --no-ftp): an interface without carrier, a strict
# reverse-path filter on the link where A3D4E answers from 192.168.1.100, a unit whose FTP server
# refuses the login, and doctor without CAP_NET_RAW.
#   doctor_lab_test.sh QUORREL
set -uo pipefail
quorrel=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[[ -n ${LAB_DIR:-} && -n ${LAB_PC_SECOND_ADDRESS:-} ]] || { echo "run this inside scripts/lab --second-link" >&2; exit 2; }

doctor() {  # ARGS...: doctor's output in $out, its exit status in $status
    out=$("$quorrel" doctor --timeout 300 "$@" 2>&1)
    status=$?
}
expect() {  # WHAT STATUS TEXT...: doctor's last run exited STATUS and printed each TEXT
    local what=$1 wanted=$2 text
    shift 2
    [[ $status == "$wanted" ]] || fail "$what: exit status $status, expected $wanted"
    for text in "$@"; do
        grep -qF -- "$text" <<<"$out" || fail "$what: no '$text' in:"$'\n'"$out"
    done
}
wait_for_carrier() {  # INTERFACE yes|no (the lab's /sys shows the machine's interfaces, so ask ip)
    local state
    for _ in $(seq 100); do
        state=$(ip -o link show "$1")
        if [[ $state == *NO-CARRIER* ]]; then [[ $2 == no ]] && return; else [[ $2 == yes ]] && return; fi
        sleep 0.02
    done
    fail "$1's carrier never became '$2'"
}

doctor
expect "the lab as it is" 0 "No problem found." "1 reply reached lab0, and quorrel received it." \
    "3 replies reached lab2, and quorrel received all of them." "A3D4E answered on lab2 from 192.168.1.100"

# The units' end of the second link goes down: lab2 stays up without a carrier.
nsenter --net="$LAB_UNITS_NETNS" ip link set lab3 down
wait_for_carrier lab2 no
doctor --interface lab2
expect "no carrier" 1 "Interfaces: problem" "lab2 does not: not running (no carrier)"
nsenter --net="$LAB_UNITS_NETNS" ip link set lab3 up
wait_for_carrier lab2 yes

# The kernel routes 192.168.1.100 out of lab0, so a strict filter on lab2 drops A3D4E's answer.
sysctl -qw net.ipv4.conf.lab2.rp_filter=1
doctor
expect "strict reverse-path filter" 1 "3 replies reached lab2 but only 2 reached quorrel" \
    "lab2's strict reverse-path filter (rp_filter 1) drops its answers" "fix: sysctl -w net.ipv4.conf.lab2.rp_filter=2"
sysctl -qw net.ipv4.conf.lab2.rp_filter=2
doctor
expect "the fix doctor gave for the reverse-path filter" 0 "No problem found."

# The unit's FTP server takes a password other than the units' login.
nsenter --net="$LAB_UNITS_NETNS" /usr/bin/python3 "$LAB_FTP_SERVER" --root "$LAB_DIR/ftp" --command-log "$LAB_DIR/ftp-commands.log" \
    --ready-file "$LAB_DIR/refusing-ftp.ready" --password changed 10.77.0.10 2>"$LAB_DIR/refusing-ftp.log" &
for _ in $(seq 250); do [[ -s $LAB_DIR/refusing-ftp.ready ]] && break; sleep 0.02; done
doctor --unit 1A2B3
expect "a refused login" 1 "Unit: problem" "1A2B3 at 10.77.0.10: the FTP server refuses the units' login (\"530 "
kill %1

# Without CAP_NET_RAW the answers at the interfaces cannot be counted; the rest still runs.
doctor_without_raw() { setpriv --inh-caps=-net_raw --bounding-set=-net_raw "$quorrel" doctor --timeout 300; }
out=$(doctor_without_raw 2>&1)
status=$?
expect "no CAP_NET_RAW" 0 "Reverse-path filter: not checked" "4 units answered." \
    "not checked: how many answers reached each interface: counting them needs CAP_NET_RAW: run it as root (sudo quorrel doctor)"

exit $(( failures > 0 ))
