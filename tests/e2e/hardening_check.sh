#!/bin/sh
# Checks what the built images may reach, with the cross binutils' objdump
# on the build machine: the reference launcher.exe is randomised and
# no-execute, needs only system DLLs and draws its tokens from the system's
# random generator; GameHost.exe talks to the network through ws2_32 alone.
#   usage: hardening_check.sh OBJDUMP GameHost.exe launcher.exe
set -u
objdump=$1
host=$2
launcher=$3
failed=0
fail() { echo "FAIL: $*"; failed=1; }
. "$(dirname "$0")/pe_checks.sh"

# "dll function" pairs, lower-case DLL names, from the import tables.
imported_functions() {
  "$objdump" -p "$1" | awk '
    /^[[:space:]]*DLL Name:/ { dll = tolower($3); next }
    /^[[:space:]]*$/ { dll = ""; next }
    dll != "" && /^[[:space:]]*[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[A-Za-z_]/ { print dll, $3 }'
}

launcher_headers=$("$objdump" -p "$launcher") || { echo "FAIL: $objdump -p $launcher"; exit 1; }
echo "$launcher_headers" | grep -Eq '^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)' ||
  fail "launcher.exe is not PE32+"
check_hardened launcher.exe "$launcher_headers"
# bcrypt gives the tokens.
check_imports_within launcher.exe "$launcher_headers" \
  ' kernel32.dll user32.dll ws2_32.dll msvcrt.dll advapi32.dll bcrypt.dll '
launcher_dlls=$(imported_dlls "$launcher_headers")
launcher_functions=$(imported_functions "$launcher")
echo "$launcher_functions" | grep -qx 'bcrypt.dll BCryptGenRandom' ||
  fail "launcher.exe does not import BCryptGenRandom from bcrypt.dll"
# The C runtime's generator is predictable: no token may come from it.
for weak in rand srand; do
  echo "$launcher_functions" | grep -qx "msvcrt.dll $weak" && fail "launcher.exe imports $weak"
done

# The host: no networking library besides ws2_32.
host_headers=$("$objdump" -p "$host") || { echo "FAIL: $objdump -p $host"; exit 1; }
host_dlls=$(imported_dlls "$host_headers")
[ -n "$host_dlls" ] || fail "GameHost.exe: no import table found"
for dll in $host_dlls; do
  case "$dll" in
    wininet.dll|winhttp.dll|urlmon.dll|wsock32.dll|mswsock.dll|iphlpapi.dll|dnsapi.dll|\
    winsock.dll|webio.dll|httpapi.dll|netapi32.dll|rpcrt4.dll|crypt32.dll|secur32.dll)
      fail "GameHost.exe imports the networking DLL $dll" ;;
  esac
done
echo "$host_dlls" | grep -qx 'ws2_32.dll' || fail "GameHost.exe does not import ws2_32.dll"
host_socket_calls=$(imported_functions "$host" | sed -n 's/^ws2_32\.dll //p' | sort | tr '\n' ' ')
# Name lookups would let a host reach a peer other than the loopback address.
for lookup in getaddrinfo GetAddrInfoW gethostbyname inet_addr WSAConnectByNameA WSAConnectByNameW; do
  case " $host_socket_calls" in
    *" $lookup "*) fail "GameHost.exe imports the name lookup $lookup from ws2_32.dll" ;;
  esac
done

if [ $failed -ne 0 ]; then
  echo "launcher.exe imports:"; echo "$launcher_functions"
  echo "GameHost.exe imports from ws2_32.dll: $host_socket_calls"
  exit 1
fi
echo "launcher.exe: PE32+, DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT, imports:" $launcher_dlls
echo "GameHost.exe: networking through ws2_32.dll only:" $host_socket_calls
