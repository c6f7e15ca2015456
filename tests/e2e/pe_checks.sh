# The checks that both image scripts make of an image's objdump -p headers,
# sourced by them; each reports through the caller's fail().

# Address-space randomisation (with high-entropy addresses) and no-execute
# data.  objdump lists the DllCharacteristics flags one per line after the
# value.
#   check_hardened NAME HEADERS
check_hardened() {
  for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
    echo "$2" | sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p' | grep -qw "$flag" ||
      fail "$1: DllCharacteristics lack $flag"
  done
}

# The lower-case names of the imported DLLs.
#   imported_dlls HEADERS
imported_dlls() {
  echo "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'
}

# Every imported DLL is one of ALLOWED (space-separated, lower case, with a
# space at each end).  A static build carries its C++ runtime, its libgcc and
# its threads inside the image, so nothing else may be needed.
#   check_imports_within NAME HEADERS ALLOWED
check_imports_within() {
  dlls=$(imported_dlls "$2")
  [ -n "$dlls" ] || fail "$1: no import table found"
  for dll in $dlls; do
    case "$3" in
      *" $dll "*) ;;
      *) fail "$1 imports $dll, which is not a Windows system DLL of the allowed set" ;;
    esac
  done
}
