#!/usr/bin/env bash
# Installs into a staging folder and builds the .deb, then checks that both put every file where
# it belongs, that a C program builds against the library through pkg-config, and that the tool
# does not link against the library.
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
    usr/local/share/applications/parbex.desktop
    usr/local/share/icons/hicolor/48x48/apps/parbex.png
    usr/local/share/icons/hicolor/256x256/apps/parbex.png
)
for path in "${expect[@]}"; do [[ -e "$stage/root/$path" ]] || fail "cmake --install did not install /$path"; done
if ldd "$stage/root/usr/local/bin/parbex" | grep -q libvarl; then fail "parbex links against libvarl"; fi
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$source/packaging/parbex.desktop"; fi

# A C program that wants the library finds it with pkg-config.
cat > "$stage/version.c" <<'C'
#include <stdio.h>
#include <varl.h>
int main(void) {
    int32_t major = -1, minor = -1;
    VARL_DriverCfg_Version(&major, &minor);
    printf("%d.%d\n", major, minor);
    return 0;
}
C
export PKG_CONFIG_PATH="$stage/root/usr/local/share/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$stage/root"
pkg-config --exists varl || fail "pkg-config does not find varl"
cc -Wall -Wextra -Werror -o "$stage/version" "$stage/version.c" $(pkg-config --cflags --libs varl)
[[ "$(LD_LIBRARY_PATH="$stage/root/opt/tamberlode/quorrel-tools" "$stage/version")" == "1.0" ]] || fail "version program"

# The Debian package installs the same files under /usr.
(cd "$build" && cpack -G DEB -B "$stage/packages" >/dev/null) || fail "cpack"
deb=$(ls "$stage"/packages/*.deb)
contents=$(dpkg-deb -c "$deb")
for path in ./opt/tamberlode/quorrel-tools/libvarl.so ./opt/tamberlode/quorrel-tools/include/varl.h \
            ./usr/bin/parbex ./usr/share/applications/parbex.desktop ./usr/share/pkgconfig/varl.pc \
            ./usr/share/icons/hicolor/32x32/apps/parbex.png; do
    grep -q " $path" <<<"$contents" || fail "the package lacks $path"
done
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "the package does not depend on Qt"
echo "install and package: ok"
