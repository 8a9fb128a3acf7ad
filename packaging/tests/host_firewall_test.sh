#!/usr/bin/env bash
# A real host firewall in the lab: at its default policy a discovery finds no unit, since the units'
# answers come from their own addresses and connection tracking does not take them for replies;
# after the allowance that the README and quorrel(1) give, it finds every unit. For firewalld that
# is the service "quorrel" as the package installs it, which firewalld must have loaded, added now
# and, with --permanent, kept across a reload. quorrel doctor names the firewall and that allowance
# at the default policy (exit 1), and finds no problem after it (exit 0). Around the lab, the
# machine's own ruleset and the firewalls' files must stay as they were.
#   host_firewall_test.sh firewalld|ufw QUORREL LAB-COMMAND...
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

if [[ ${1:-} != --inside ]]; then
    firewall=$1
    quorrel=$2
    shift 2
    machine() {
        nft list ruleset
        ls -d /run/dbus/system_bus_socket /run/firewalld /run/ufw* 2>/dev/null || true
        find /etc/firewalld /usr/lib/firewalld /etc/ufw /lib/ufw -type f -exec md5sum {} + 2>/dev/null | sort || true
    }
    before=$(machine)
    status=0
    "$@" --units 3 --no-ftp --firewall "$firewall" -- "$0" --inside "$quorrel" || status=$?
    changed=$(diff <(echo "$before") <(machine)) || fail "the lab's $firewall reached the machine:"$'\n'"$changed"
    exit "$status"
fi

quorrel=$2
[[ -n ${LAB_FIREWALL:-} ]] || fail "run this test inside scripts/lab --firewall firewalld|ufw"
units=$(grep -c '^unit ' "$LAB_DIR/units.conf")
(( units > 0 )) || fail "the lab has no units"
# The number of units a discovery finds: quorrel's CSV less its header.
found() {
    local listing
    listing=$("$quorrel" discover --format csv --timeout 300 2>/dev/null) || fail "quorrel discover exited $?"
    echo $(( $(grep -c . <<<"$listing") - 1 ))
}

# quorrel doctor: its output in $report, its exit status in $doctor_status.
doctor() {
    doctor_status=0
    report=$("$quorrel" doctor --timeout 300 2>&1) || doctor_status=$?
}
expect_in_report() {  # TEXT...
    local text
    for text in "$@"; do grep -qF -- "$text" <<<"$report" || fail "doctor did not say '$text':"$'\n'"$report"; done
}

[[ $(found) == 0 ]] || fail "$LAB_FIREWALL at its default policy let the units' answers in"
doctor
(( doctor_status == 1 )) || fail "doctor at $LAB_FIREWALL's default policy did not exit 1:"$'\n'"$report"
case $LAB_FIREWALL in
    firewalld) expect_in_report "$units replies reached lab0 but none reached quorrel: the host firewall (firewalld) drops them." \
                   "fix: firewall-cmd --add-service=quorrel" "firewall-cmd --permanent --add-service=quorrel" ;;
    ufw) expect_in_report "$units replies reached lab0 but none reached quorrel: the host firewall (ufw) drops them." \
             "fix: ufw allow proto udp from any port 8001" ;;
esac
case $LAB_FIREWALL in
    firewalld)
        firewall-cmd --add-service=quorrel >/dev/null
        [[ $(found) == "$units" ]] || fail "firewall-cmd --add-service=quorrel: found $(found) of $units units"
        firewall-cmd --permanent --add-service=quorrel >/dev/null
        firewall-cmd --reload >/dev/null
        [[ $(found) == "$units" ]] || fail "after --permanent and a reload: found $(found) of $units units"
        ;;
    ufw)
        ufw allow proto udp from any port 8001 >/dev/null 2>&1
        [[ $(found) == "$units" ]] || fail "ufw allow proto udp from any port 8001: found $(found) of $units units"
        ;;
esac
doctor
(( doctor_status == 0 )) || fail "doctor after the allowance did not exit 0:"$'\n'"$report"
expect_in_report "No problem found."
echo "$LAB_FIREWALL: no unit at the default policy, all $units after the allowance"
