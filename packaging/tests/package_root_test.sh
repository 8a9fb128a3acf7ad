#!/usr/bin/env bash
# Installs the package and its debug package into a throw-away root with dpkg, checks from there
# that the programs start, that the manual pages render, that Ansible's collection is whole and
# documents itself, and that a C program builds and runs against the library through pkg-config,
# then purges both packages and checks that nothing is left. Runs in a private mount namespace (a
# user namespace too for a normal user), where the root's /opt is mounted over /opt: the library's
# one fixed location is then the installed one, and the machine's own /opt and /usr are never
# touched.
#   package_root_test.sh DEB DEBUG-DEB
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

if [[ "${QUORREL_PACKAGE_ROOT_INSIDE:-}" != 1 ]]; then
    namespaces=(--mount --propagation private)
    if [[ $(id -u) -ne 0 ]]; then
        unshare --user --map-root-user --mount true 2>/dev/null \
            || fail "this kernel does not let a normal user create namespaces; run the test as root"
        namespaces=(--user --map-root-user "${namespaces[@]}")
    fi
    exec unshare "${namespaces[@]}" env QUORREL_PACKAGE_ROOT_INSIDE=1 "$0" "$@"
fi
[[ $(readlink /proc/self/ns/mnt) != $(readlink /proc/$PPID/ns/mnt) ]] \
    || fail "not in a mount namespace of its own; refusing to mount over /opt"

deb=$1
ddeb=$2
root=$(mktemp -d)
trap 'umount /opt 2>/dev/null || true; rm -rf "$root"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
listing() { (cd "$root" && find . -path ./var/lib/dpkg -prune -o -print | sort); }
before=$(listing)

# The root holds none of the libraries the package depends on; the machine's own serve instead.
dpkg --root="$root" --force-depends -i "$deb" "$ddeb" >"$root/dpkg.log" 2>&1 \
    || { cat "$root/dpkg.log" >&2; fail "dpkg -i"; }
rm "$root/dpkg.log"
mount --bind "$root/opt" /opt

parbex=$root/usr/bin/parbex
version=$(QT_QPA_PLATFORM=offscreen timeout 20 "$parbex" --version) || fail "parbex --version exited $?"
[[ $version =~ ^Parbex\ [0-9] ]] || fail "parbex --version printed: $version"

version=$(timeout 20 "$root/usr/bin/quorrel" --version) || fail "quorrel --version exited $?"
[[ $version =~ ^quorrel\ [0-9] ]] || fail "quorrel --version printed: $version"
completion=$root/usr/share/bash-completion/completions/quorrel
bash -c 'source "$1" && complete -p quorrel' bash "$completion" >/dev/null \
    || fail "$completion does not complete quorrel"

# Ansible looks for collections in /usr/share/ansible/collections without any configuration; the
# collection installed there is the one ansible-galaxy built (its files match its manifest) and
# its modules document themselves.
collections=/usr/share/ansible/collections
ansible_home=$(mktemp -d)
searched=$(env -u ANSIBLE_COLLECTIONS_PATH -u ANSIBLE_CONFIG ANSIBLE_HOME="$ansible_home" ansible-config dump \
               | grep '^COLLECTIONS_PATHS(default)') || fail "ansible-config dump"
[[ $searched == *"'$collections'"* ]] || fail "Ansible does not look in $collections: $searched"
export ANSIBLE_HOME=$ansible_home ANSIBLE_COLLECTIONS_PATH=$root$collections
report=$(ansible-galaxy collection verify --offline tamberlode.quorrel 2>&1) \
    || fail "ansible-galaxy collection verify:"$'\n'"$report"
ansible-doc tamberlode.quorrel.unit | grep -q '^= serial' || fail "ansible-doc does not show the module unit"
unset ANSIBLE_HOME ANSIBLE_COLLECTIONS_PATH
rm -rf "$ansible_home"

for page in "$root"/usr/share/man/man*/*; do
    name=$(basename "$page" .gz)
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 MANPATH="$root/usr/share/man" man --warnings=all "${name##*.}" "${name%.*}" 2>&1 >/dev/null) \
        || fail "man ${name%.*}: $warnings"
    [[ -z $warnings ]] || fail "man ${name%.*} warns: $warnings"
done

# A C program finds the library through pkg-config and runs with it from its fixed location.
cat > "$root/version.c" <<'C'
#include <stdio.h>
#include <varl.h>
int main(void) {
    int32_t major = -1, minor = -1;
    VARL_DriverCfg_Version(&major, &minor);
    printf("%d.%d\n", major, minor);
    return 0;
}
C
export PKG_CONFIG_PATH="$root/usr/share/pkgconfig"
pkg-config --exists varl || fail "pkg-config does not find varl"
cc -Wall -Wextra -Werror -o "$root/version" "$root/version.c" $(pkg-config --cflags --libs varl)
[[ "$("$root/version")" == "1.0" ]] || fail "the C program did not get the library's version"
rm "$root/version" "$root/version.c"

umount /opt
dpkg --root="$root" --purge quorrel-tools-dbgsym quorrel-tools >/dev/null 2>&1 || fail "dpkg --purge"
after=$(listing)
left=$(diff <(echo "$before") <(echo "$after")) || fail "removing the package left:"$'\n'"$left"
left=$(ls "$root/var/lib/dpkg/info" | grep quorrel-tools || true)
[[ -z $left ]] || fail "dpkg still keeps: $left"
echo "package root: installed, used and purged without a trace"
