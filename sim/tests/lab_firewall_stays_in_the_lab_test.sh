#!/usr/bin/env bash
# scripts/lab-firewall mounts over /run and changes the firewall of the namespaces it runs in, so it
# runs only as the child of scripts/lab's first process. Here its parent is the first process of its
# PID namespace, as for a command run from a container's shell or detached and adopted by init, but
# that process is a plain shell: it must refuse before it changes anything. The run happens in
# private namespaces, so that nothing could reach this machine's even if it did not refuse.
#   lab_firewall_stays_in_the_lab_test.sh LAB-FIREWALL
set -uo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
lab_firewall=$1

namespaces=(--net --pid --mount --fork --mount-proc)
[[ $(id -u) -eq 0 ]] || namespaces=(--user --map-root-user "${namespaces[@]}")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# The echo after it keeps the shell from replacing itself with lab-firewall: the shell stays PID 1.
output=$(unshare "${namespaces[@]}" bash -c '"$1" ufw "$2/firewall"; echo "exit $?"' shell "$lab_firewall" "$dir" 2>&1)
[[ $output == *"lab-firewall: only scripts/lab runs this, inside the lab"*"exit 2" ]] || fail "it did not refuse: $output"
[[ ! -e $dir/firewall ]] || fail "it went on to set the firewall up in $dir/firewall"
echo "lab-firewall stays in the lab: ok"
