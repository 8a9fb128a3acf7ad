#!/bin/sh
# The built library exports exactly its six functions and nothing else.
#   exported_names_test.sh LIBRARY
set -eu
expected='VARL_Admin_Discover
VARL_Admin_GetConfig
VARL_Admin_SetConfig
VARL_Admin_UploadFile
VARL_DriverCfg_Version
VARL_Error_LastErr'
actual=$(nm -D --defined-only "$1" | awk '{ print $NF }' | sed 's/@.*//' | sort)
if [ "$actual" != "$expected" ]; then
    echo "expected exports:"; echo "$expected"
    echo "actual exports of $1:"; echo "$actual"
    exit 1
fi
for name in $expected; do
    nm -D --defined-only "$1" | grep -q " T $name\$" || { echo "$name is not a function"; exit 1; }
done
