#!/usr/bin/env bash
# Installs into a staging folder and builds the .deb, then checks that both put every file where
# it belongs and that the tool does not link against the library; runs Debian's checkers (lintian,
# desktop-file-validate, appstreamcli) on the package and fails on anything they report; checks
# that the binaries are stripped, their debug symbols in the debug package, and that they are
# hardened (hardening-check, no hardening note from lintian); and finally
# installs the package into a throw-away root, uses it and removes it (package_root_test.sh).
#   install_test.sh BUILD-DIR SOURCE-DIR
set -euo pipefail
build=$1
source=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage/root" cmake --install "$build" --prefix /usr/local >/dev/null
expect=(
    opt/tamberlode/quorrel-tools/libvarl.so
    opt/tamberlode/quorrel-tools/libvarl.so.1
    opt/tamberlode/quorrel-tools/include/varl.h
    usr/local/share/pkgconfig/varl.pc
    usr/local/bin/parbex
    usr/local/share/man/man1/parbex.1.gz
    usr/local/share/applications/parbex.desktop
    usr/local/share/metainfo/com.tamberlode.parbex.metainfo.xml
    usr/local/share/icons/hicolor/48x48/apps/parbex.png
    usr/local/share/icons/hicolor/256x256/apps/parbex.png
    usr/local/share/doc/quorrel-tools/copyright
    usr/local/share/doc/quorrel-tools/changelog.gz
    usr/local/bin/quorrel
    usr/local/share/man/man1/quorrel.1.gz
    usr/local/share/bash-completion/completions/quorrel
    usr/local/lib/firewalld/services/quorrel.xml
    usr/local/share/ansible/collections/ansible_collections/tamberlode/quorrel/MANIFEST.json
    usr/local/share/ansible/collections/ansible_collections/tamberlode/quorrel/plugins/modules/unit.py
)
for path in "${expect[@]}"; do [[ -e "$stage/root/$path" ]] || fail "cmake --install did not install /$path"; done
if ldd "$stage/root/usr/local/bin/parbex" | grep libvarl >/dev/null; then fail "parbex links against libvarl"; fi
export PKG_CONFIG_PATH="$stage/root/usr/local/share/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$stage/root"
pkg-config --exists varl || fail "pkg-config does not find varl in a /usr/local install"
unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR

# The Debian package installs the same files under /usr, with computed dependencies, and a debug
# package beside it.
(cd "$build" && cpack -G DEB -B "$stage/packages" >/dev/null) || fail "cpack"
deb=$(ls "$stage"/packages/*.deb)
ddeb=$(ls "$stage"/packages/*-dbgsym*.ddeb) || fail "cpack made no debug package"
dpkg-deb -x "$deb" "$stage/deb"
dpkg-deb -x "$ddeb" "$stage/ddeb"
for path in opt/tamberlode/quorrel-tools/libvarl.so opt/tamberlode/quorrel-tools/include/varl.h \
            usr/bin/parbex usr/share/man/man1/parbex.1.gz usr/share/applications/parbex.desktop \
            usr/share/metainfo/com.tamberlode.parbex.metainfo.xml usr/share/pkgconfig/varl.pc \
            usr/share/icons/hicolor/32x32/apps/parbex.png usr/share/doc/quorrel-tools/copyright \
            usr/lib/firewalld/services/quorrel.xml \
            usr/share/ansible/collections/ansible_collections/tamberlode/quorrel/plugins/modules/unit.py; do
    [[ -e "$stage/deb/$path" ]] || fail "the package lacks /$path"
done
# The package installs files and runs nothing: above all it never changes the firewall itself.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -xE '(\./)?(preinst|postinst|prerm|postrm|config)') \
    && fail "the package runs maintainer scripts: "$scripts
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libcurl4; do
    grep -q "\b$package\b" <<<"$depends" || fail "the package does not depend on $package: $depends"
done

# Debian's own checkers. What lintian finds by design, the library's fixed place under /opt (and
# quorrel's run-path to it), is overridden in the package itself; any other error or warning fails
# the test, and its notes (I:) are shown.
report=$(lintian --fail-on error,warning --display-info "$deb" "$ddeb" 2>&1) && status=0 || status=$?
(( status == 0 )) && ! grep -qE '^[EW]:' <<<"$report" || fail "lintian (exit $status):"$'\n'"$report"
grep -E '^[EWI]: .* hardening-' <<<"$report" && fail "lintian finds the package not hardened"
grep -E '^I:' <<<"$report" | sed 's/^/lintian: /' || true
report=$(desktop-file-validate "$stage/deb/usr/share/applications/parbex.desktop" 2>&1) \
    && [[ -z "$report" ]] || fail "desktop-file-validate:"$'\n'"$report"
# validate checks the file alone, validate-tree also what it refers to (the desktop entry, icons).
for command in "validate --no-net --pedantic $stage/deb/usr/share/metainfo/com.tamberlode.parbex.metainfo.xml" \
               "validate-tree --no-net --pedantic $stage/deb"; do
    report=$(appstreamcli $command 2>&1) || fail "appstreamcli ${command%% *}:"$'\n'"$report"
    grep -qE '^[EWIP]:' <<<"$report" && fail "appstreamcli ${command%% *}:"$'\n'"$report"
done

# Every ELF file of the package is stripped and names its debug file; the debug package holds that
# file, with the symbols, under the build id.
while IFS= read -r elf; do
    name=${elf#"$stage/deb/"}
    # (Read whole into a variable: grep -q would end a pipe early, and pipefail count that.)
    sections=$(readelf -S "$elf")
    grep -q '\.debug_info' <<<"$sections" && fail "/$name is not stripped"
    grep -q '\.gnu_debuglink' <<<"$sections" || fail "/$name names no debug file"
    build_id=$(readelf -n "$elf" | sed -n 's/^ *Build ID: *//p')
    [[ -n "$build_id" ]] || fail "/$name has no build id"
    debug="$stage/ddeb/usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug"
    [[ -f "$debug" ]] || fail "the debug package lacks the symbols of /$name"
    sections=$(readelf -S "$debug" 2>/dev/null)
    grep -q '\.debug_info' <<<"$sections" || fail "the debug file of /$name holds no symbols"
done < <(find "$stage/deb" -type f -exec sh -c 'file -b "$1" | grep -q "^ELF"' sh {} \; -print)

# The library and both programs are hardened as Debian builds its own (hardening-check). Debian 12's
# C library start files carry no control-flow protection mark, so no program linked there carries
# one, however it was compiled. Where a program built from nothing with -fcf-protection lacks the
# mark too, the protection is read from the code instead: the landing pad (endbr64) that the flag
# puts at the start of functions. The compiler's own start files bring 2 of them.
cfi_options=()
echo 'int main(void) { return 0; }' | cc -fcf-protection -x c - -o "$stage/cf-protection"
if ! readelf -n "$stage/cf-protection" | grep -q 'x86 feature: IBT, SHSTK'; then cfi_options=(--nocfprotection); fi
for binary in opt/tamberlode/quorrel-tools/libvarl.so usr/bin/parbex usr/bin/quorrel; do
    report=$(hardening-check "${cfi_options[@]}" "$stage/deb/$binary" 2>&1) || fail "hardening-check:"$'\n'"$report"
    if (( ${#cfi_options[@]} )); then
        pads=$(objdump -d --no-show-raw-insn "$stage/deb/$binary" | grep -c endbr64) || true
        (( pads > 10 )) || fail "/$binary was not built with -fcf-protection: $pads landing pads"
    fi
done

"$source/packaging/tests/package_root_test.sh" "$deb" "$ddeb"
echo "install and package: ok"
