#!/bin/sh
# Runs a test program inside the lab with the given libvarl.so at the tool's fixed location, so the
# tool loads the real library from exactly where the program looks for it. The lab's private mount
# namespace keeps the tmpfs over /opt, and the library on it, invisible outside.
#
#   run_at_fixed_location.sh LIBVARL TEST [ARGS...]
set -eu
library=$1
shift
mount -t tmpfs -o mode=0755 parbex-lab-opt /opt
mkdir -p /opt/tamberlode/quorrel-tools
cp "$library" /opt/tamberlode/quorrel-tools/libvarl.so
exec "$@"
