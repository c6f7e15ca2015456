#!/bin/sh
# Checks the headers and imports of the built GameHost.exe with the cross
# binutils' objdump, on the build machine itself: a 64-bit GUI image with
# address-space randomisation and no-execute data, that needs nothing but
# DLLs every Windows installation has.
#   usage: pe_image_check.sh OBJDUMP GameHost.exe
set -u
objdump=$1
image=$2
failed=0
fail() { echo "FAIL: $*"; failed=1; }
. "$(dirname "$0")/pe_checks.sh"

headers=$("$objdump" -p "$image") || { echo "FAIL: $objdump -p $image"; exit 1; }
format=$("$objdump" -f "$image") || { echo "FAIL: $objdump -f $image"; exit 1; }

echo "$format" | grep -q 'file format pei-x86-64' || fail "not a PE image for x86-64"
echo "$format" | grep -q 'architecture: i386:x86-64' || fail "architecture is not x86-64"
echo "$headers" | grep -Eq '^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)' || fail "not PE32+"
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' ||
  fail "subsystem is not Windows GUI (2)"

check_hardened GameHost.exe "$headers"
check_imports_within GameHost.exe "$headers" \
  ' kernel32.dll user32.dll gdi32.dll ws2_32.dll msvcrt.dll advapi32.dll '
imports=$(imported_dlls "$headers")
echo "$imports" | grep -q '^kernel32.dll$' || fail "does not import KERNEL32.dll"

if [ $failed -ne 0 ]; then
  echo "$headers" | sed -n '/^Magic/,/^SizeOfStackReserve/p;/DLL Name/p'
  exit 1
fi
echo "GameHost.exe: PE32+ x86-64, Windows GUI, DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT, imports:" $imports
