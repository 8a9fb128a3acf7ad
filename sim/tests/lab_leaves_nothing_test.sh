#!/usr/bin/env bash
# A lab run, even one whose command fails or is killed, leaves no interface in the host's network
# and no process behind, and passes the command's exit status on.
#   lab_leaves_nothing_test.sh LAB-COMMAND...
set -uo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
lab=("$@")

links_before=$(ip -o link show | awk -F': ' '{print $2}' | sort)

dir_file=$(mktemp)
"${lab[@]}" --units 3 --routed-site 2 -- bash -c 'echo "$LAB_DIR" > '"$dir_file"'; ip link show lab0 >/dev/null && exit 7'
status=$?
[[ $status -eq 7 ]] || fail "lab returned $status, the command 7"
lab_dir=$(cat "$dir_file")
[[ -n "$lab_dir" ]] || fail "LAB_DIR was not given to the command"

# A lab whose command is killed from outside, as a test timeout would.
"${lab[@]}" --units 2 -- bash -c 'echo "$LAB_DIR" > '"$dir_file"'.2; sleep 60' &
runner=$!
for _ in $(seq 100); do [[ -s "$dir_file.2" ]] && break; sleep 0.05; done
killed_dir=$(cat "$dir_file.2")
kill -KILL "$runner"
wait "$runner" 2>/dev/null

sleep 0.5
for dir in "$lab_dir" "$killed_dir"; do
    [[ -n "$dir" ]] || fail "no LAB_DIR from a lab run"
    if pgrep -f -- "$dir" >/dev/null; then
        pgrep -af -- "$dir" >&2
        fail "processes of the lab in $dir are still running"
    fi
done
[[ ! -e "$lab_dir" ]] || fail "$lab_dir was left behind"

links_after=$(ip -o link show | awk -F': ' '{print $2}' | sort)
[[ "$links_before" == "$links_after" ]] || fail "host interfaces changed: $(diff <(echo "$links_before") <(echo "$links_after"))"
ip link show lab0 >/dev/null 2>&1 && fail "lab0 exists in the host"
# A lab killed from outside cannot remove its own folder; nothing of it runs any more.
rm -rf "$killed_dir"
rm -f "$dir_file" "$dir_file.2"
echo "lab leaves nothing behind: ok"
